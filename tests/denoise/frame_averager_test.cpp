// The N-frame mean: exact rounding, every frame count, frames that do not
// fit, and the vector kernels against the plain one.

#include "denoise/FrameAverager.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using denoise::FrameAverager;
using denoise::FrameShape;

namespace {

std::vector<std::uint8_t> randomBytes(std::size_t n, std::mt19937& rng)
{
    std::vector<std::uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(rng());
    return v;
}

} // namespace

// Every count, random frames: each byte must be the mean of its values
// rounded to the nearest whole number, halves up, worked out here in
// floating point from the frames themselves.
TEST(FrameAverager, MeanIsRoundedExactlyForEveryCount)
{
    const FrameShape shape{7, 5, 24}; // 21 pixel bytes and 3 padding bytes per row
    std::mt19937 rng(7);
    for (int n : FrameAverager::kCounts) {
        for (denoise::Path path : denoise::SupportedPaths()) {
            FrameAverager avg(n, shape, path);
            ASSERT_FALSE(avg.Failed());
            std::vector<double> total(shape.bytes(), 0.0);
            for (int k = 0; k < n; ++k) {
                const auto frame = randomBytes(shape.bytes(), rng);
                for (std::size_t i = 0; i < frame.size(); ++i)
                    total[i] += frame[i];
                EXPECT_EQ(avg.Add(frame.data(), shape),
                          k + 1 == n ? FrameAverager::AddResult::Complete : FrameAverager::AddResult::Added);
                EXPECT_EQ(avg.Counted(), k + 1);
            }
            std::vector<std::uint8_t> mean(shape.bytes(), 0);
            ASSERT_TRUE(avg.Mean(mean.data()));
            for (std::size_t i = 0; i < mean.size(); ++i)
                ASSERT_EQ(mean[i], static_cast<int>(std::floor(total[i] / n + 0.5)))
                    << "N " << n << " path " << denoise::PathName(path) << " byte " << i;
        }
    }
}

// Ties and the extremes, chosen by hand: 4 frames summing to 2 mod 4 round
// up, 1 mod 4 down; 256 frames of 255 neither overflow nor lose the top.
TEST(FrameAverager, TiesRoundUpAndFullSumsFit)
{
    const FrameShape shape{1, 1, 4};
    FrameAverager four(4, shape);
    // byte 0: 0 0 1 1 -> 0.5 -> 1; byte 1: 10 10 10 11 -> 10.25 -> 10;
    // byte 2: 254 255 255 255 -> 254.75 -> 255; byte 3: 3 4 4 4 -> 3.75 -> 4
    const std::uint8_t frames[4][4] = {{0, 10, 254, 3}, {0, 10, 255, 4}, {1, 10, 255, 4}, {1, 11, 255, 4}};
    for (const auto& f : frames)
        four.Add(f, shape);
    std::uint8_t mean[4] = {};
    ASSERT_TRUE(four.Mean(mean));
    EXPECT_EQ(mean[0], 1);
    EXPECT_EQ(mean[1], 10);
    EXPECT_EQ(mean[2], 255);
    EXPECT_EQ(mean[3], 4);

    FrameAverager full(256, shape);
    const std::uint8_t white[4] = {255, 255, 255, 255};
    const std::uint8_t mixed[4] = {255, 0, 128, 127};
    for (int k = 0; k < 256; ++k)
        full.Add(k % 2 == 0 ? white : mixed, shape);
    ASSERT_TRUE(full.Mean(mean));
    EXPECT_EQ(mean[0], 255);
    EXPECT_EQ(mean[1], 128);  // 127.5 rounds up
    EXPECT_EQ(mean[2], 192);  // 191.5 rounds up
    EXPECT_EQ(mean[3], 191);
}

// A frame of another shape is refused without touching the sums, no mean
// exists before the last frame, and frames past the last are not counted.
TEST(FrameAverager, RefusesWhatDoesNotFitAndNeverGivesHalfAMean)
{
    const FrameShape shape{4, 2, 12};
    FrameAverager avg(4, shape);
    const std::vector<std::uint8_t> ten(shape.bytes(), 10), twenty(shape.bytes(), 20);
    std::vector<std::uint8_t> out(shape.bytes(), 77);

    EXPECT_EQ(avg.Add(ten.data(), shape), FrameAverager::AddResult::Added);
    EXPECT_FALSE(avg.Mean(out.data()));
    EXPECT_EQ(out, std::vector<std::uint8_t>(shape.bytes(), 77));

    const std::vector<std::uint8_t> big(1000, 255);
    EXPECT_EQ(avg.Add(big.data(), FrameShape{5, 2, 16}), FrameAverager::AddResult::WrongShape);
    EXPECT_EQ(avg.Add(big.data(), FrameShape{4, 3, 12}), FrameAverager::AddResult::WrongShape);
    EXPECT_EQ(avg.Add(big.data(), FrameShape{4, 2, 16}), FrameAverager::AddResult::WrongShape);
    EXPECT_EQ(avg.Add(nullptr, shape), FrameAverager::AddResult::WrongShape);
    EXPECT_EQ(avg.Counted(), 1);

    avg.Add(ten.data(), shape);
    avg.Add(twenty.data(), shape);
    EXPECT_EQ(avg.Add(twenty.data(), shape), FrameAverager::AddResult::Complete);
    EXPECT_EQ(avg.Add(twenty.data(), shape), FrameAverager::AddResult::Full);
    EXPECT_EQ(avg.Counted(), 4);
    ASSERT_TRUE(avg.Mean(out.data()));
    EXPECT_EQ(out, std::vector<std::uint8_t>(shape.bytes(), 15));
}

TEST(FrameAverager, InvalidCountsAndShapesTakeNothing)
{
    const std::uint8_t byte[3] = {1, 2, 3};
    for (int n : {-4, 0, 1, 2, 3, 5, 12, 100, 255, 257, 512}) {
        FrameAverager avg(n, FrameShape{1, 1, 3});
        EXPECT_TRUE(avg.Failed()) << n;
        EXPECT_EQ(avg.Add(byte, FrameShape{1, 1, 3}), FrameAverager::AddResult::WrongShape);
    }
    EXPECT_TRUE(FrameAverager(4, FrameShape{0, 1, 3}).Failed());
    EXPECT_TRUE(FrameAverager(4, FrameShape{1, 0, 3}).Failed());
    EXPECT_TRUE(FrameAverager(4, FrameShape{1, 1, 0}).Failed());
}

// Every path must keep the true sums for every length, including tails that
// are no whole group of 64 bytes or block of 256, pictures of fewer blocks
// than there are stripes, and stripes of unequal size, through the flushes
// of one stripe per frame and the final flush of all, up to the 16-bit top:
// frames of nearly 255 wrap almost every low byte, so a wrap flushed twice,
// or a slot taken again before its flush, shows at once.
TEST(AverageKernels, AllPathsKeepTheTrueSums)
{
    std::mt19937 rng(3);
    for (std::size_t len : {1u, 31u, 32u, 33u, 63u, 64u, 65u, 97u, 128u, 255u, 257u, 1923u, 5763u, 12389u, 20001u}) {
        // Frames that start high, so that the sums come near 65280.
        std::vector<std::vector<std::uint8_t>> frames;
        for (int f = 0; f < 256; ++f) {
            auto bytes = randomBytes(len, rng);
            for (auto& b : bytes)
                b = static_cast<std::uint8_t>(f < 200 ? 255 - b % 8 : b);
            frames.push_back(std::move(bytes));
        }
        const FrameShape shape{1, 1, len};
        for (denoise::Path path : denoise::SupportedPaths()) {
            FrameAverager avg(256, shape, path);
            std::vector<std::uint32_t> truth(len, 0);
            for (int f = 0; f < 256; ++f) {
                avg.Add(frames[f].data(), shape);
                for (std::size_t i = 0; i < len; ++i)
                    truth[i] += frames[f][i];
                if (f % 7 != 0 && f != 255)
                    continue;
                for (std::size_t i = 0; i < len; ++i)
                    ASSERT_EQ(avg.SumAt(i), truth[i])
                        << denoise::PathName(path) << " len " << len << " frame " << f << " byte " << i;
            }
            std::vector<std::uint8_t> mean(len);
            ASSERT_TRUE(avg.Mean(mean.data()));
            for (std::size_t i = 0; i < len; ++i)
                ASSERT_EQ(mean[i], (truth[i] + 128) >> 8) << denoise::PathName(path) << " len " << len << " byte " << i;
        }
    }
}
