// The blend that spares movement: the vector kernels against the plain one,
// the pixel rule itself, and the frame step with it on (padding, short
// frames, the switch off).

#include "app/SmoothFrame.h"
#include "denoise/MotionKernels.h"
#include "tests/app/smooth_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

namespace {

// Buffers on cache-line boundaries, as pictures are: a kernel called at
// their start writes the raw copy past the cache, one called a byte or two
// in cannot, and both ways must give the same bytes.
template <class T>
struct LineAligned {
    using value_type = T;
    LineAligned() = default;
    template <class U>
    LineAligned(const LineAligned<U>&)
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t{64})); }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t{64}); }
    bool operator==(const LineAligned&) const = default;
};
using LineBytes = std::vector<std::uint8_t, LineAligned<std::uint8_t>>;
using Bytes = std::vector<std::uint8_t>;

// A frame near its history: most differences small, so that the threshold
// falls among them, with some pixels far off.
void nearPair(Bytes& frame, Bytes& history, std::mt19937& rng)
{
    for (std::size_t i = 0; i < frame.size(); ++i) {
        history[i] = static_cast<std::uint8_t>(rng());
        const int spread = (rng() % 8 == 0) ? 255 : 40;
        frame[i] = static_cast<std::uint8_t>(std::clamp<int>(history[i] + int(rng() % (2 * spread + 1)) - spread, 0, 255));
    }
}

// The rule, written per pixel as plainly as possible.
void oracle(Bytes& corrected, Bytes& raw, const Bytes& frame, const Bytes& history, std::size_t pixels, int o, int d,
            int threshold)
{
    for (std::size_t p = 0; p < pixels; ++p) {
        int largest = 0;
        for (int c = 0; c < 3; ++c)
            largest = std::max(largest, std::abs(int(frame[3 * p + c]) - int(history[3 * p + c])));
        for (int c = 0; c < 3; ++c) {
            const std::size_t i = 3 * p + c;
            raw[i] = frame[i];
            corrected[i] = largest > threshold ? frame[i] : std::uint8_t((o * frame[i] + d * history[i]) / 128);
        }
    }
}

} // namespace

TEST(MotionKernels, AllPathsAgreeWithTheRuleByteForByte)
{
    std::mt19937 rng(11);
    const std::size_t counts[] = {0, 1, 2, 5, 15, 16, 17, 31, 32, 33, 47, 48, 63, 64, 65, 97, 641};
    for (std::size_t pixels : counts) {
        for (std::size_t start : {0u, 1u, 2u}) { // unaligned rows and a start inside a vector
            const std::size_t n = 3 * pixels + start + 1;
            Bytes frame(n), history(n);
            nearPair(frame, history, rng);
            for (int d : {0, 1, 38, 64, 76, 115, 121, 127, 128}) {
                for (int threshold : {0, 1, 24, 40, 64, 254}) {
                    Bytes expectedC(n, 0xA5), expectedR(n, 0xA5);
                    oracle(expectedC, expectedR, frame, history, pixels, 128 - d, d, threshold);
                    // The kernel starts `start` bytes in: shift the picture so.
                    LineBytes f(start, 0), h(start, 0);
                    f.insert(f.end(), frame.begin(), frame.end());
                    h.insert(h.end(), history.begin(), history.end());
                    for (denoise::Path path : denoise::SupportedPaths()) {
                        LineBytes c(n + start, 0xA5), r(n + start, 0xA5);
                        denoise::MotionBlendFor(path)(c.data() + start, r.data() + start, f.data() + start,
                                                      h.data() + start, pixels, 128 - d, d, threshold);
                        // Nothing outside the pixels is written.
                        ASSERT_TRUE(std::all_of(c.begin(), c.begin() + start, [](auto b) { return b == 0xA5; }));
                        ASSERT_TRUE(Bytes(c.begin() + start, c.end()) == expectedC)
                            << denoise::PathName(path) << " pixels " << pixels << " d " << d << " t " << threshold;
                        ASSERT_TRUE(Bytes(r.begin() + start, r.end()) == expectedR) << denoise::PathName(path);
                    }
                }
            }
        }
    }
}

// One byte of a pixel beyond the threshold takes the whole pixel from the
// frame, in whichever byte of the pixel it lies and wherever the pixel lies
// in the vector blocks; exactly the threshold still blends.
TEST(MotionKernels, OneByteMovesTheWholePixel)
{
    const std::size_t pixels = 100;
    for (denoise::Path path : denoise::SupportedPaths()) {
        for (std::size_t p : {0u, 5u, 15u, 16u, 31u, 32u, 47u, 63u, 99u}) {
            for (int c = 0; c < 3; ++c) {
                for (int delta : {24, 25}) {
                    // Still everywhere (frame equal to history) but for one byte.
                    Bytes frame(3 * pixels, 120), history(3 * pixels, 120), corrected(3 * pixels), raw(3 * pixels);
                    frame[3 * p + c] = static_cast<std::uint8_t>(120 + delta);
                    denoise::MotionBlendFor(path)(corrected.data(), raw.data(), frame.data(), history.data(), pixels,
                                                  52, 76, 24);
                    for (int k = 0; k < 3; ++k) {
                        const std::uint8_t blended = std::uint8_t((52 * frame[3 * p + k] + 76 * 120) >> 7);
                        const std::uint8_t want = delta > 24 ? frame[3 * p + k] : blended;
                        ASSERT_EQ(corrected[3 * p + k], want)
                            << denoise::PathName(path) << " pixel " << p << " byte " << c << " delta " << delta;
                    }
                    // Its neighbours are still: 120 over 120 blends to 120.
                    if (p > 0) {
                        ASSERT_EQ(corrected[3 * p - 1], 120);
                    }
                    if (p + 1 < pixels) {
                        ASSERT_EQ(corrected[3 * p + 3], 120);
                    }
                }
            }
        }
    }
}

using smoothtest::Format;
using smoothtest::Pictures;

// The frame step with motion sparing: pixels as the rule says, padding from
// the frame, a short frame's missing bytes as black (a pixel cut by its end
// judged whole), and every path alike.
TEST(SmoothFrameMotion, PaddingShortFramesAndPathsFollowTheRule)
{
    const smooth::Path before = smooth::CurrentPath();
    std::mt19937 rng(5);
    const int w = 13, h = 7; // 39 pixel bytes, 1 padding byte per row
    const Format format(w, h);
    const std::size_t rowbytes = 40;
    Bytes first(rowbytes * h), second(rowbytes * h);
    nearPair(second, first, rng);

    // Whole frame, then frames that end inside a row, inside a pixel, and in
    // the padding.
    for (std::size_t length : {rowbytes * h, rowbytes * 3 + 7, rowbytes * 4 + 39, std::size_t(0)}) {
        Bytes reference;
        for (smooth::Path path : smooth::SupportedPaths()) {
            ASSERT_TRUE(smooth::SetPath(path));
            Pictures pics;
            ASSERT_TRUE(pics.step(format, first, 0)); // history := first
            ASSERT_TRUE(SmoothFrame(pics.corrected, pics.raw, format.info(), format.size(), second.data(),
                                    static_cast<std::uint32_t>(length), 60, MotionSparing{true, 24}));
            Bytes got(pics.corrected.bits, pics.corrected.bits + pics.bytes());

            // What the rule gives, row by row.
            Bytes taken(rowbytes * h, 0);
            std::copy(second.begin(), second.begin() + length, taken.begin());
            Bytes want(rowbytes * h), raw(rowbytes * h);
            for (int y = 0; y < h; ++y) {
                Bytes f(taken.begin() + y * rowbytes, taken.begin() + (y + 1) * rowbytes);
                Bytes hist(first.begin() + y * rowbytes, first.begin() + (y + 1) * rowbytes);
                Bytes c(rowbytes), r(rowbytes);
                oracle(c, r, f, hist, w, 52, 76, 24);
                c[39] = f[39];
                std::copy(c.begin(), c.end(), want.begin() + y * rowbytes);
            }
            ASSERT_EQ(got, want) << smooth::PathName(path) << " length " << length;
            ASSERT_TRUE(std::equal(taken.begin(), taken.end(), pics.raw.bits));
            if (reference.empty())
                reference = got;
            ASSERT_EQ(got, reference);
        }
    }
    smooth::SetPath(before);
}

// Off, or on where nothing can count as moving, the step is the usual one.
TEST(SmoothFrameMotion, OffOrNeverExceededIsTheUsualStep)
{
    std::mt19937 rng(9);
    const Format format(31, 9);
    Bytes a(96 * 9), b(96 * 9);
    nearPair(b, a, rng);
    auto run = [&](MotionSparing motion, int strength) {
        Pictures pics;
        pics.step(format, a, 0);
        SmoothFrame(pics.corrected, pics.raw, format.info(), format.size(), b.data(),
                    static_cast<std::uint32_t>(b.size()), strength, motion);
        return Bytes(pics.corrected.bits, pics.corrected.bits + pics.bytes());
    };
    for (int strength : {0, 5, 60, 95, 100}) {
        const Bytes usual = run(MotionSparing{}, strength);
        EXPECT_EQ(run(MotionSparing{false, 0}, strength), usual);
        EXPECT_EQ(run(MotionSparing{true, 255}, strength), usual);
        EXPECT_EQ(run(MotionSparing{true, 1000}, strength), usual);
        // Strength 0 takes the frame either way.
        if (strength == 0) {
            EXPECT_EQ(run(MotionSparing{true, 0}, strength), usual);
        } else {
            EXPECT_NE(run(MotionSparing{true, 0}, strength), usual);
        }
    }
}
