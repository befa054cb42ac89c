// The frame step against a deliberately plain rendering of its rules (three
// fresh pictures, copies, a byte loop), over random frame sequences, on every
// code path this processor can take.

#include "smooth_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace smoothtest;

namespace {

void oracleStep(DIB& correctedPic, DIB& rawPic, const BITMAPINFO* format, const std::uint8_t* lpData,
                std::uint32_t dwBufferLength, int s)
{
    const BITMAPINFOHEADER& h = format->bmiHeader;
    DIB history = newdib(h.biWidth, h.biHeight, 24, nullptr, 0);
    if (correctedPic.rowbytes == history.rowbytes && DIBHeight(correctedPic) == DIBHeight(history))
        std::memcpy(history.bits, correctedPic.bits,
                    static_cast<std::size_t>(DIBHeight(correctedPic)) * correctedPic.rowbytes);
    deldib(correctedPic);
    correctedPic = newdib(h.biWidth, h.biHeight, h.biBitCount, format, 0);
    deldib(rawPic);
    rawPic = newdib(h.biWidth, h.biHeight, h.biBitCount, format, 0);

    std::int32_t n = static_cast<std::int32_t>(dwBufferLength);
    const std::int32_t limit = DIBHeight(correctedPic) * correctedPic.rowbytes;
    if (n > limit)
        n = limit;
    if (n > 0) {
        std::memcpy(correctedPic.bits, lpData, static_cast<std::size_t>(n));
        std::memcpy(rawPic.bits, correctedPic.bits, static_cast<std::size_t>(n));
    }
    s = std::clamp(s, 0, 100);
    const std::int32_t d = s * 128 / 100;
    const std::int32_t o = 128 - d;
    for (int y = 0; y < DIBHeight(correctedPic); ++y) {
        std::uint8_t* p = correctedPic.bits + y * correctedPic.rowbytes;
        const std::uint8_t* q = history.bits + y * history.rowbytes;
        for (int x = 0; x < DIBWidth(correctedPic); ++x)
            for (int b = 0; b < 3; ++b, ++p, ++q)
                *p = static_cast<std::uint8_t>((o * *p + d * *q) >> 7);
    }
    deldib(history);
}

class SmoothOracle : public ::testing::TestWithParam<smooth::Path> {
protected:
    void SetUp() override
    {
        previous_ = smooth::CurrentPath();
        ASSERT_TRUE(smooth::SetPath(GetParam()));
    }
    void TearDown() override { smooth::SetPath(previous_); }

private:
    smooth::Path previous_ = smooth::Path::Plain;
};

} // namespace

TEST_P(SmoothOracle, MatchesThePlainRulesByteForByte)
{
    std::mt19937 rng(12345u + static_cast<unsigned>(GetParam()));
    const int sizes[][2] = {{1, 1}, {2, 3}, {5, 4}, {11, 7}, {33, 5}, {639, 3}, {640, 3}, {641, 4}, {97, 31}};
    const int strengths[] = {0, 5, 30, 50, 60, 90, 95, 100, 60};

    Pictures mine, oracle;
    for (int frameNo = 0; frameNo < 160; ++frameNo) {
        // Sizes change now and then, so history is both kept and dropped.
        const auto* size = sizes[(frameNo / 4 + (rng() % 3 == 0 ? rng() : 0)) % std::size(sizes)];
        Format f(size[0], size[1]);
        const std::size_t bytes = ((size[0] * 24 + 31) / 32) * 4 * static_cast<std::size_t>(size[1]);
        std::vector<std::uint8_t> frame(bytes + 64);
        for (auto& b : frame)
            b = static_cast<std::uint8_t>(rng());
        std::uint32_t length;
        switch (rng() % 6) {
        case 0: length = 0; break;
        case 1: length = static_cast<std::uint32_t>(rng() % (bytes + 1)); break;
        case 2: length = static_cast<std::uint32_t>(bytes + 64); break;
        default: length = static_cast<std::uint32_t>(bytes); break;
        }
        const int s = strengths[rng() % std::size(strengths)];

        ASSERT_TRUE(SmoothFrame(mine.corrected, mine.raw, f.info(), f.size(), frame.data(), length, s));
        oracleStep(oracle.corrected, oracle.raw, f.info(), frame.data(), length, s);

        ASSERT_EQ(mine.bytes(), oracle.bytes());
        ASSERT_EQ(DIBWidth(mine.corrected), DIBWidth(oracle.corrected));
        ASSERT_EQ(0, std::memcmp(mine.corrected.bits, oracle.corrected.bits, mine.bytes()))
            << "corrected differs at frame " << frameNo << " (" << size[0] << "x" << size[1] << ", s=" << s
            << ", length " << length << ")";
        ASSERT_EQ(0, std::memcmp(mine.raw.bits, oracle.raw.bits, mine.bytes())) << "raw differs at frame " << frameNo;
    }
}

TEST_P(SmoothOracle, LargeFramesOnTheVectorPath)
{
    std::mt19937 rng(99);
    Pictures mine, oracle;
    Format f(1283, 37); // odd width: rows end in padding, loops end in tails
    const std::size_t bytes = ((1283 * 24 + 31) / 32) * 4 * 37;
    for (int i = 0; i < 6; ++i) {
        std::vector<std::uint8_t> frame(bytes);
        for (auto& b : frame)
            b = static_cast<std::uint8_t>(rng());
        const int s = 5 + 15 * i;
        ASSERT_TRUE(SmoothFrame(mine.corrected, mine.raw, f.info(), f.size(), frame.data(), static_cast<std::uint32_t>(bytes), s));
        oracleStep(oracle.corrected, oracle.raw, f.info(), frame.data(), static_cast<std::uint32_t>(bytes), s);
        ASSERT_EQ(0, std::memcmp(mine.corrected.bits, oracle.corrected.bits, bytes)) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPath, SmoothOracle, ::testing::ValuesIn(smooth::SupportedPaths()),
                         [](const auto& info) { return std::string(smooth::PathName(info.param)); });
