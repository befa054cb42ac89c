// The block motion field: a part that moves on its own is found to the whole
// pixel, while the still room and a camera's shift stay as they are; noise
// alone moves nothing.

#include "denoise/BlockMotion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

using denoise::BlockMotion;

namespace {

constexpr int kW = 128, kH = 96;

// A textured room, its pixel (x, y) seen at (x + ox, y + oy), with a
// textured square of 40 pixels at (sx, sy) in front of it; fresh noise.
std::vector<std::uint8_t> frame(double ox, double oy, int sx, int sy, double noise, std::mt19937& rng)
{
    std::normal_distribution<double> n(0, noise);
    std::vector<std::uint8_t> f(static_cast<std::size_t>(kW) * kH * 3);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const bool square = x >= sx && x < sx + 40 && y >= sy && y < sy + 40;
            const double u = square ? x - sx : x + ox, v = square ? y - sy : y + oy;
            for (int c = 0; c < 3; ++c) {
                // The square's texture: a fixed random pattern, alike nowhere else.
                // Through a signed integer: the background's coordinates
                // may be negative, and a negative double has no unsigned value.
                const unsigned hash = (static_cast<unsigned>(std::lround(u)) * 73856093u) ^
                                      (static_cast<unsigned>(std::lround(v)) * 19349663u);
                const double base = square ? 140 + static_cast<double>(hash % 61) + 10 * c
                                           : 100 + 50 * std::sin(u * 0.31 + c) * std::cos(v * 0.23) +
                                                 20 * std::sin(u * 1.3 + v * 0.9);
                f[(static_cast<std::size_t>(y) * kW + x) * 3 + c] =
                    static_cast<std::uint8_t>(std::clamp(std::lround(base + n(rng)), 0L, 255L));
            }
        }
    return f;
}

BlockMotion::Vector at(const BlockMotion& m, int x, int y)
{
    return m.RowOfBlocks(y)[x / BlockMotion::kBlock];
}

} // namespace

TEST(BlockMotion, FindsAPartThatMovesOnItsOwnAndLeavesTheRoom)
{
    std::mt19937 rng(1);
    BlockMotion m;
    m.Estimate(frame(0, 0, 40, 32, 4, rng).data(), kW * 3, kW, kH, 0, 0, 4);
    EXPECT_EQ(m.Departures(), 0);
    // The square goes 5 right and 3 up: its blocks show what was 5 left, 3 below.
    m.Estimate(frame(0, 0, 45, 29, 4, rng).data(), kW * 3, kW, kH, 0, 0, 4);
    EXPECT_EQ(m.Columns(), kW / 16);
    EXPECT_EQ(m.Rows(), kH / 16);
    // The blocks wholly inside the square now (x 48..79, y 32..63).
    for (int y : {32, 48})
        for (int x : {48, 64}) {
            EXPECT_EQ(at(m, x, y).dx, -5) << x << "," << y;
            EXPECT_EQ(at(m, x, y).dy, 3) << x << "," << y;
        }
    // Blocks of the room far from the square stay.
    for (int y : {0, 80})
        for (int x : {0, 112}) {
            EXPECT_EQ(at(m, x, y).dx, 0);
            EXPECT_EQ(at(m, x, y).dy, 0);
        }
}

TEST(BlockMotion, KeepsTheCamerasShiftAndIsNotMovedByNoise)
{
    for (const double noise : {2.0, 8.0, 15.0}) {
        std::mt19937 rng(7);
        BlockMotion m;
        // The whole picture moves by the camera: (3, -2); the square with it.
        m.Estimate(frame(0, 0, 200, 200, noise, rng).data(), kW * 3, kW, kH, 0, 0, noise);
        m.Estimate(frame(3, -2, 200, 200, noise, rng).data(), kW * 3, kW, kH, 3, -2, noise);
        EXPECT_EQ(m.Departures(), 0) << noise;
        for (int y = 16; y < kH - 16; y += 16)
            for (int x = 16; x < kW - 16; x += 16) {
                EXPECT_EQ(at(m, x, y).dx, 3) << noise;
                EXPECT_EQ(at(m, x, y).dy, -2) << noise;
            }
        // Still frames with fresh noise: nothing moves.
        m.Reset();
        m.Estimate(frame(0, 0, 40, 32, noise, rng).data(), kW * 3, kW, kH, 0, 0, noise);
        for (int k = 0; k < 3; ++k) {
            m.Estimate(frame(0, 0, 40, 32, noise, rng).data(), kW * 3, kW, kH, 0, 0, noise);
            EXPECT_EQ(m.Departures(), 0) << noise << " frame " << k;
        }
    }
}

TEST(BlockMotion, OddSizesAndASizeChangeStartAfresh)
{
    std::mt19937 rng(3);
    BlockMotion m;
    std::vector<std::uint8_t> tiny(5 * 3 * 3, 77);
    m.Estimate(tiny.data(), 15, 5, 3, 0, 0, 2);
    m.Estimate(tiny.data(), 15, 5, 3, 1, 0, 2);
    EXPECT_EQ(m.Columns(), 1);
    EXPECT_EQ(m.Rows(), 1);
    EXPECT_EQ(m.RowOfBlocks(2)[0].dx, 1);
    // Another size: the first frame of it has the camera's shift everywhere.
    m.Estimate(frame(0, 0, 40, 32, 4, rng).data(), kW * 3, kW, kH, 0, 0, 4);
    EXPECT_EQ(m.Departures(), 0);
    EXPECT_EQ(at(m, 100, 90).dx, 0);
}

TEST(BlockMotion, TheBlocksOutvoteASmallShiftOfAStillCamera)
{
    for (const double noise : {2.0, 8.0}) {
        std::mt19937 rng(5);
        BlockMotion m;
        // The room stands still while the square moves; the camera's
        // estimate says a pixel to the left.
        m.Estimate(frame(0, 0, 40, 32, noise, rng).data(), kW * 3, kW, kH, 0, 0, noise);
        m.Estimate(frame(0, 0, 44, 32, noise, rng).data(), kW * 3, kW, kH, -1, 0, noise);
        EXPECT_TRUE(m.CameraStill()) << noise;
        EXPECT_EQ(at(m, 0, 0).dx, 0) << noise;
        EXPECT_EQ(at(m, 112, 80).dx, 0) << noise;
        // A camera that did move a pixel keeps its shift.
        m.Estimate(frame(1, 0, 200, 200, noise, rng).data(), kW * 3, kW, kH, 1, 0, noise);
        EXPECT_FALSE(m.CameraStill()) << noise;
        EXPECT_EQ(at(m, 16, 80).dx, 1) << noise;
    }
}
