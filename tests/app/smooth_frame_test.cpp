// The frame step's numbers: weights, truncation, history rules and the
// limits on what is taken from a frame.

#include "smooth_test_support.h"

#include <gtest/gtest.h>

using namespace smoothtest;

TEST(SmoothWeights, TruncatedStrengthTimes128Div100)
{
    const struct {
        int s, d, o;
    } table[] = {{0, 0, 128},   {5, 6, 122},  {25, 32, 96},  {30, 38, 90},  {50, 64, 64},
                 {60, 76, 52},  {75, 96, 32}, {90, 115, 13}, {95, 121, 7}, {100, 128, 0}};
    for (const auto& row : table) {
        const SmoothWeights w = WeightsForStrength(row.s);
        EXPECT_EQ(w.d, row.d) << "s=" << row.s;
        EXPECT_EQ(w.o, row.o) << "s=" << row.s;
    }
    // Values the field holds only while the user types are kept in 0..100.
    EXPECT_EQ(WeightsForStrength(-20).d, 0);
    EXPECT_EQ(WeightsForStrength(250).d, 128);
    EXPECT_EQ(WeightsForStrength(250).o, 0);
}

TEST(SmoothFrame, BlendOfOneByteIsTruncated)
{
    Format f(1, 1);
    Pictures p;
    // History byte 200: first a frame of 200 at strength 0 makes it so.
    ASSERT_TRUE(p.step(f, {200, 200, 200, 0}, 0));
    ASSERT_TRUE(p.step(f, {100, 100, 100, 0}, 60));
    EXPECT_EQ(p.corrected.bits[0], 159); // (52*100 + 76*200) >> 7 = 20400 / 128
    EXPECT_EQ(p.raw.bits[0], 100);
}

TEST(SmoothFrame, FadeInAndSettlingSequences)
{
    auto sequence = [](int start, int value, int strength, int frames) {
        Format f(4, 2);
        Pictures p;
        std::vector<int> out;
        p.step(f, flatFrame(f, static_cast<std::uint8_t>(start)), 0); // the history to start from
        for (int i = 0; i < frames; ++i) {
            p.step(f, flatFrame(f, static_cast<std::uint8_t>(value)), strength);
            out.push_back(p.corrected.bits[5]);
        }
        return out;
    };
    EXPECT_EQ(sequence(0, 100, 60, 11), (std::vector<int>{40, 64, 78, 86, 91, 94, 96, 97, 98, 98, 98}));
    EXPECT_EQ(sequence(110, 100, 60, 5), (std::vector<int>{105, 102, 101, 100, 100}));
    EXPECT_EQ(sequence(90, 100, 60, 6), (std::vector<int>{94, 96, 97, 98, 98, 98}));
    // At strength 95 the value stops up to 127 div 7 = 18 levels under.
    const auto slow = sequence(0, 100, 95, 400);
    EXPECT_GE(slow.back(), 100 - 18);
    EXPECT_LT(slow.back(), 100);
}

TEST(SmoothFrame, StartPictureFadesInForA640x480Source)
{
    Format f(640, 480);
    Pictures p;
    ASSERT_TRUE(p.step(f, flatFrame(f, 100), 60));
    EXPECT_EQ(p.corrected.bits[0], 40);
    EXPECT_EQ(p.corrected.bits[p.bytes() - 1], 40);
    EXPECT_EQ(p.raw.bits[p.bytes() - 1], 100);
}

TEST(SmoothFrame, StrengthZeroCopiesAndStrength100Freezes)
{
    Format f(3, 3);
    Pictures p;
    std::vector<std::uint8_t> frame(12 * 3);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(p.step(f, frame, 0));
    EXPECT_EQ(0, std::memcmp(p.corrected.bits, p.raw.bits, p.bytes()));
    std::vector<std::uint8_t> before(p.corrected.bits, p.corrected.bits + p.bytes());

    ASSERT_TRUE(p.step(f, flatFrame(f, 255), 100));
    // Only the padding (3 bytes after each 9-byte row) follows the frame.
    for (std::size_t i = 0; i < p.bytes(); ++i) {
        if (i % 12 < 9)
            EXPECT_EQ(p.corrected.bits[i], before[i]) << i;
        else
            EXPECT_EQ(p.corrected.bits[i], 255) << i;
    }
}

TEST(SmoothFrame, HistorySurvivesEqualRowLengthAndHeight)
{
    // 639 and 640 pixels wide both take 1920-byte rows.
    Pictures p;
    Format wide(640, 10), narrow(639, 10);
    ASSERT_TRUE(p.step(wide, flatFrame(wide, 200), 0));
    ASSERT_TRUE(p.step(narrow, flatFrame(narrow, 100), 60));
    EXPECT_EQ(DIBWidth(p.corrected), 639);
    EXPECT_EQ(p.corrected.bits[0], 159);
    // The last pixel column of the 639-wide rows lies in the padding now:
    // copied, not blended.
    EXPECT_EQ(p.corrected.bits[639 * 3], 100);
}

TEST(SmoothFrame, ChangeOfSizeBlendsWithBlack)
{
    Pictures p;
    Format big(640, 480), small(320, 240);
    ASSERT_TRUE(p.step(big, flatFrame(big, 200), 0));
    ASSERT_TRUE(p.step(small, flatFrame(small, 200), 60));
    EXPECT_EQ(DIBWidth(p.corrected), 320);
    EXPECT_EQ(DIBHeight(p.raw), 240);
    EXPECT_EQ(p.corrected.bits[0], (52 * 200) >> 7); // 81, not a blend with the old 200
    // Same row length but another height drops the history too.
    Format shorter(320, 239);
    ASSERT_TRUE(p.step(shorter, flatFrame(shorter, 200), 60));
    EXPECT_EQ(p.corrected.bits[0], 81);
}

TEST(SmoothFrame, BufferLengthLimitsWhatIsTaken)
{
    Format f(2, 2); // rows of 8 bytes, 6 of them pixels
    {
        Pictures p;
        ASSERT_TRUE(p.step(f, std::vector<std::uint8_t>(16, 50), 0));
        // A short frame: 5 bytes taken, the rest black, and the history
        // (50 everywhere) blended in on the pixel bytes only.
        std::vector<std::uint8_t> frame(16, 250);
        ASSERT_TRUE(SmoothFrame(p.corrected, p.raw, f.info(), f.size(), frame.data(), 5, 50));
        const std::uint8_t raw[16] = {250, 250, 250, 250, 250, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        EXPECT_EQ(0, std::memcmp(p.raw.bits, raw, 16));
        EXPECT_EQ(p.corrected.bits[4], 150); // (64*250 + 64*50) >> 7
        EXPECT_EQ(p.corrected.bits[5], 25);  // (64*0 + 64*50) >> 7
        EXPECT_EQ(p.corrected.bits[6], 0);   // padding: taken, not blended
        EXPECT_EQ(p.corrected.bits[8], 25);
    }
    {
        // An over-long buffer: only the picture's bytes are read (the
        // sanitizers would catch a read past the frame's first 16 bytes).
        Pictures p;
        std::vector<std::uint8_t> frame(16, 9);
        ASSERT_TRUE(SmoothFrame(p.corrected, p.raw, f.info(), f.size(), frame.data(), 1000000, 0));
        EXPECT_EQ(p.raw.bits[15], 9);
    }
    {
        // Length 0: raw black, corrected = history * d >> 7.
        Pictures p;
        ASSERT_TRUE(p.step(f, std::vector<std::uint8_t>(16, 200), 0));
        std::vector<std::uint8_t> frame(16, 9);
        ASSERT_TRUE(SmoothFrame(p.corrected, p.raw, f.info(), f.size(), frame.data(), 0, 60));
        EXPECT_EQ(p.raw.bits[0], 0);
        EXPECT_EQ(p.corrected.bits[0], (76 * 200) >> 7);
        EXPECT_EQ(p.corrected.bits[6], 0);
        // A length with the top bit set counts as negative: nothing taken.
        ASSERT_TRUE(SmoothFrame(p.corrected, p.raw, f.info(), f.size(), frame.data(), 0x80000000u, 0));
        EXPECT_EQ(p.raw.bits[0], 0);
    }
}

TEST(SmoothFrame, RefusedFormatsLeaveBothPicturesAlone)
{
    Pictures p;
    const DIB corrected = p.corrected, raw = p.raw;
    for (int bits : {8, 16, 32}) {
        Format f(4, 4, bits);
        EXPECT_FALSE(p.step(f, flatFrame(f, 1), 60)) << bits;
    }
    Format topDown(4, -4);
    EXPECT_FALSE(p.step(topDown, std::vector<std::uint8_t>(64, 1), 60));
    Format empty(0, 4);
    EXPECT_FALSE(p.step(empty, std::vector<std::uint8_t>(64, 1), 60));
    Format ok(4, 4);
    EXPECT_FALSE(SmoothFrame(p.corrected, p.raw, ok.info(), 39, nullptr, 0, 60)); // header cut short
    Format huge(1 << 30, 1 << 20);
    EXPECT_FALSE(p.step(huge, std::vector<std::uint8_t>(64, 1), 60));
    EXPECT_EQ(p.corrected.bits, corrected.bits);
    EXPECT_EQ(p.raw.bits, raw.bits);
}

TEST(SmoothFrame, CompressionCodeAndDriverBytesAreIgnored)
{
    Format f(2, 1, 24, 64);
    f.header().biCompression = 0x32595559; // a four-character code
    Pictures p;
    ASSERT_TRUE(p.step(f, std::vector<std::uint8_t>(8, 100), 50));
    EXPECT_EQ(p.corrected.bits[0], 50); // blended with the black history
    EXPECT_EQ(p.corrected.info->bmiHeader.biCompression, BI_RGB);
}

namespace {

class FakeSource : public VideoFormatSource {
public:
    explicit FakeSource(Format f) : format(std::move(f)) {}
    std::uint32_t GetVideoFormatSize() override { return open ? static_cast<std::uint32_t>(format.size()) : 0; }
    std::uint32_t GetVideoFormat(BITMAPINFO* out, std::uint32_t size) override
    {
        const std::uint32_t n = std::min<std::uint32_t>(size & 0xFFFF, static_cast<std::uint32_t>(format.size()));
        std::memcpy(out, format.info(), n);
        return n;
    }
    Format format;
    bool open = true;
};

} // namespace

TEST(TakeFrame, AsksTheSourceForItsFormatEachFrame)
{
    FakeSource source{Format(640, 480)};
    Pictures p;
    std::vector<std::uint8_t> bytes = flatFrame(source.format, 100);
    VIDEOHDR header;
    header.lpData = bytes.data();
    header.dwBufferLength = static_cast<DWORD>(bytes.size());
    header.dwBytesUsed = 10; // not consulted
    ASSERT_TRUE(TakeFrame(source, header, 60, p.corrected, p.raw));
    EXPECT_EQ(p.raw.bits[p.bytes() - 1], 100);

    source.format = Format(640, 480, 16);
    EXPECT_FALSE(TakeFrame(source, header, 60, p.corrected, p.raw));
    source.open = false;
    EXPECT_FALSE(TakeFrame(source, header, 60, p.corrected, p.raw));
    EXPECT_EQ(p.raw.bits[p.bytes() - 1], 100);
}
