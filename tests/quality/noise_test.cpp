// The noise of the quality set is of the level and kind it claims, the same
// for the same seed; the scenes move the way their names say.

#include "bench/quality/Imagery.h"
#include "bench/quality/Metrics.h"
#include "bench/quality/Noise.h"
#include "bench/quality/Scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace quality;

namespace {

Clip greyClip(Size size, int frames, std::uint8_t value)
{
    Clip clip{size, {}};
    for (int t = 0; t < frames; ++t)
        clip.frames.emplace_back(clip.frameBytes(), value);
    return clip;
}

// Limited-range BT.601 luma and colour differences of one BGR pixel.
double luma(const std::uint8_t* p)
{
    return 16.0 + 219.0 / 255.0 * (0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0]);
}

double blueDifference(const std::uint8_t* p)
{
    const double l = 0.299 * p[2] + 0.587 * p[1] + 0.114 * p[0];
    return 224.0 / 255.0 * (p[0] - l) / (2.0 * (1.0 - 0.114));
}

double correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    double ab = 0, aa = 0, bb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        ab += a[i] * b[i];
        aa += a[i] * a[i];
        bb += b[i] * b[i];
    }
    return ab / std::sqrt(aa * bb);
}

double meanByte(const std::vector<std::uint8_t>& frame)
{
    double sum = 0;
    for (const auto b : frame)
        sum += b;
    return sum / static_cast<double>(frame.size());
}

} // namespace

TEST(Noise, GaussianLevelIsTheOneAsked)
{
    const Clip clean = greyClip({64, 48}, 8, 128);
    for (const char* name : {"gauss4", "gauss8", "gauss15"}) {
        SCOPED_TRACE(name);
        const NoiseKind kind = ParseNoise(name);
        EXPECT_EQ(kind.name(), name);
        const double rms = RmsDifference(NoisyCopy(clean, kind, 1), clean);
        EXPECT_NEAR(rms, kind.sigma, kind.sigma * 0.03);
    }
}

TEST(Noise, SameSeedSameNoise)
{
    const Clip clean = greyClip({16, 8}, 2, 100);
    const NoiseKind kind = ParseNoise("cam8");
    EXPECT_EQ(NoisyCopy(clean, kind, 5).frames, NoisyCopy(clean, kind, 5).frames);
    EXPECT_NE(NoisyCopy(clean, kind, 5).frames, NoisyCopy(clean, kind, 6).frames);
    // Each frame has noise of its own.
    const Clip noisy = NoisyCopy(clean, kind, 5);
    EXPECT_NE(noisy.frames[0], noisy.frames[1]);
}

TEST(Noise, CameraNoiseHasLumaLevelAndColourSharedByPixelPairs)
{
    const Size size{64, 48};
    const Clip clean = greyClip(size, 6, 120);
    const NoiseKind kind = ParseNoise("cam8");
    const Clip noisy = NoisyCopy(clean, kind, 3);

    double lumaSquares = 0;
    std::size_t pixels = 0;
    std::vector<double> even, odd, next; // blue-difference noise of pixels 2k, 2k+1 and 2k+2
    for (std::size_t f = 0; f < noisy.frames.size(); ++f)
        for (int y = 0; y < size.height; ++y) {
            const std::uint8_t* n = noisy.frames[f].data() + static_cast<std::size_t>(y) * size.width * 3;
            const std::uint8_t* c = clean.frames[f].data() + static_cast<std::size_t>(y) * size.width * 3;
            for (int x = 0; x < size.width; ++x) {
                const double d = luma(n + 3 * x) - luma(c + 3 * x);
                lumaSquares += d * d;
                ++pixels;
            }
            for (int x = 0; x + 2 < size.width; x += 2) {
                even.push_back(blueDifference(n + 3 * x) - blueDifference(c + 3 * x));
                odd.push_back(blueDifference(n + 3 * x + 3) - blueDifference(c + 3 * x + 3));
                next.push_back(blueDifference(n + 3 * x + 6) - blueDifference(c + 3 * x + 6));
            }
        }
    EXPECT_NEAR(std::sqrt(lumaSquares / static_cast<double>(pixels)), kind.sigma, kind.sigma * 0.05);
    EXPECT_GT(correlation(even, odd), 0.9);             // one colour noise for the pair
    EXPECT_LT(std::abs(correlation(odd, next)), 0.1);   // none shared with the next pair
    // In BGR the colour noise adds to the luma noise: stronger than its level.
    EXPECT_GT(RmsDifference(noisy, clean), 1.5 * kind.sigma);
}

TEST(Noise, RefusesUnknownNames)
{
    for (const char* name : {"gauss", "pink8", "cam-1", "gauss8x", "cam101"})
        EXPECT_THROW(ParseNoise(name), Error) << name;
}

TEST(Scenes, MoveAsTheirNamesSay)
{
    const Size size{64, 48};
    const int frames = 30;
    auto changed = [](const Clip& c, std::size_t a, std::size_t b) { return RmsDifference(
        Clip{c.size, {c.frames[a]}}, Clip{c.size, {c.frames[b]}}); };

    const Clip still = MakeScene("still", size, frames);
    ASSERT_EQ(still.frames.size(), static_cast<std::size_t>(frames));
    EXPECT_EQ(still.frames.front(), still.frames.back());
    // A picture, not a flat field.
    double spread = 0;
    const double mean = meanByte(still.frames[0]);
    for (const auto b : still.frames[0])
        spread += (b - mean) * (b - mean);
    EXPECT_GT(std::sqrt(spread / static_cast<double>(still.frames[0].size())), 20.0);

    for (const char* moving : {"subject", "pan", "shake", "testcam"}) {
        const Clip clip = MakeScene(moving, size, frames);
        EXPECT_GT(changed(clip, 10, 11), 0.5) << moving;
    }
    // The pan moves less than a pixel a frame, yet every frame differs.
    const Clip pan = MakeScene("pan", size, frames);
    EXPECT_NE(pan.frames[0], pan.frames[1]);

    const Clip light = MakeScene("light", size, frames);
    EXPECT_LT(meanByte(light.frames[frames / 2]), 0.7 * meanByte(light.frames[0]));
    EXPECT_GT(meanByte(light.frames[frames - 1]), 1.05 * meanByte(light.frames[0]) - 10);

    const Clip dark = MakeScene("dark", size, frames);
    EXPECT_LT(meanByte(dark.frames[0]), 50.0);
    EXPECT_THROW(MakeScene("nowhere", size, frames), Error);
}

namespace {

// The root mean square of the difference between two equal-sized boxes of
// two frames, the second shifted by (dx, dy).
double boxDifference(const Clip& c, std::size_t a, std::size_t b, int x0, int y0, int bw, int bh, int dx = 0, int dy = 0)
{
    double sum = 0;
    for (int y = y0; y < y0 + bh; ++y)
        for (int x = x0; x < x0 + bw; ++x)
            for (int ch = 0; ch < 3; ++ch) {
                const double d = c.frames[a][(static_cast<std::size_t>(y) * c.size.width + x) * 3 + ch] -
                                 c.frames[b][(static_cast<std::size_t>(y + dy) * c.size.width + x + dx) * 3 + ch];
                sum += d * d;
            }
    return std::sqrt(sum / (3.0 * bw * bh));
}

// How well the best whole-pixel shift (within 4 pixels) explains the change
// of a box from frame a to frame b: the remaining difference.
double bestShiftDifference(const Clip& c, std::size_t a, std::size_t b, int x0, int y0, int bw, int bh)
{
    double best = 1e9;
    for (int dy = -4; dy <= 4; ++dy)
        for (int dx = -4; dx <= 4; ++dx)
            best = std::min(best, boxDifference(c, a, b, x0, y0, bw, bh, dx, dy));
    return best;
}

} // namespace

TEST(Scenes, TheVideoCallMovesInPartsBeforeAStillRoomWithABlownOutWindow)
{
    for (const Size size : {Size{176, 144}, Size{640, 360}}) {
        const int frames = 24;
        const Clip call = MakeScene("face", size, frames);
        ASSERT_EQ(call.frames.size(), static_cast<std::size_t>(frames));
        ASSERT_EQ(call.size, size);
        const int w = size.width, h = size.height;

        // The window: a good part of the picture is 255 in every channel.
        std::size_t clipped = 0;
        for (std::size_t i = 0; i + 2 < call.frames[0].size(); i += 3)
            clipped += call.frames[0][i] == 255 && call.frames[0][i + 1] == 255 && call.frames[0][i + 2] == 255;
        EXPECT_GT(clipped, static_cast<std::size_t>(w) * h / 20) << w;

        // The room stands still: the top left corner is the same in every frame.
        for (int t = 1; t < frames; ++t)
            EXPECT_EQ(boxDifference(call, 0, t, 0, 0, w / 8, h / 8), 0.0) << w << " frame " << t;

        // The face moves in every frame, and no shift of the whole face
        // explains how it changed: it turns, nods and speaks.
        const int fx = w * 40 / 100 - h / 6, fy = h * 45 / 100 - h / 6, side = h / 3;
        for (int t = 4; t + 1 < frames; t += 4) {
            EXPECT_GT(boxDifference(call, t, t + 1, fx, fy, side, side), 0.5) << w << " frame " << t;
            const double same = boxDifference(call, t, t + 3, fx, fy, side, side);
            EXPECT_GT(bestShiftDifference(call, t, t + 3, fx, fy, side, side), 0.25 * same) << w << " frame " << t;
        }
        // Fine texture everywhere: neighbouring pixels of the room differ.
        double rough = 0;
        const auto& f = call.frames[0];
        for (int y = h / 2; y < h / 2 + 8; ++y)
            for (int x = 2; x < w / 5; ++x) {
                const std::size_t i = (static_cast<std::size_t>(y) * w + x) * 3 + 1;
                rough += std::abs(2 * f[i] - f[i - 3] - f[i + 3]);
            }
        EXPECT_GT(rough / (8.0 * (w / 5 - 2)), 0.8) << w;
    }
}

TEST(Scenes, TheSubjectsPatternTurnsAndBends)
{
    // The same subject at two turns: the outline stays, the pattern inside
    // moves, and by different amounts in different places.
    const Sprite a = MakeSubject(48, 7, 0.0), b = MakeSubject(48, 7, 0.2);
    EXPECT_EQ(a.alpha, b.alpha);
    EXPECT_NE(a.picture.bgr, b.picture.bgr);
    EXPECT_EQ(MakeSubject(48, 7, 0.2).picture.bgr, b.picture.bgr);
}
