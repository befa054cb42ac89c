// A bright square moving over a still, noisy background, smoothed plainly
// and with motion sparing: the trail behind the square must go, the noise on
// the still part must fall about as much.

#include "app/SmoothFrame.h"
#include "tests/app/smooth_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int kW = 192, kH = 96, kSquare = 16, kStep = 4, kFrames = 40, kBackground = 90, kBright = 230;
constexpr std::size_t kRow = kW * 3; // a whole number of 4-byte units: no padding

int squareLeft(int frame)
{
    return 8 + frame * kStep;
}

bool inSquare(int x, int y, int frame)
{
    return x >= squareLeft(frame) && x < squareLeft(frame) + kSquare && y >= 40 && y < 40 + kSquare;
}

// Frame k: the background with fresh noise on every byte (the sum of three
// uniform steps in -8..8, standard deviation about 8.5), the square clean.
std::vector<std::uint8_t> sceneFrame(int k, std::mt19937& rng)
{
    std::uniform_int_distribution<int> step(-8, 8);
    std::vector<std::uint8_t> frame(kRow * kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            for (int c = 0; c < 3; ++c)
                frame[y * kRow + x * 3 + c] = static_cast<std::uint8_t>(
                    inSquare(x, y, k) ? kBright : kBackground + step(rng) + step(rng) + step(rng));
    return frame;
}

struct Measures {
    double trail;      // mean square of (corrected - background) just behind the square
    double stillNoise; // standard deviation of the corrected still part
    double rawNoise;   // the same of the frames themselves
};

Measures run(const MotionSparing& motion)
{
    std::mt19937 rng(42); // the same frames for both runs
    const smoothtest::Format format(kW, kH);
    smoothtest::Pictures pics;
    double trail = 0, trailCount = 0;
    double sum = 0, sumSq = 0, n = 0, rawSum = 0, rawSq = 0;
    for (int k = 0; k < kFrames; ++k) {
        const auto frame = sceneFrame(k, rng);
        EXPECT_TRUE(SmoothFrame(pics.corrected, pics.raw, format.info(), format.size(), frame.data(),
                                static_cast<std::uint32_t>(frame.size()), 60, motion));
        if (k < 20)
            continue; // let the picture settle from its black start
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const double v = pics.corrected.bits[y * kRow + x * 3 + c];
                    // Just behind: where the square was during the last four
                    // frames and is no longer.
                    if (!inSquare(x, y, k) && inSquare(x, y, k - 4) + inSquare(x, y, k - 1) > 0 && y >= 40 &&
                        y < 40 + kSquare && x < squareLeft(k)) {
                        trail += (v - kBackground) * (v - kBackground);
                        ++trailCount;
                    }
                    // The still part: rows the square never crosses.
                    if (y < 32 || y >= 64) {
                        const double r = frame[y * kRow + x * 3 + c];
                        sum += v;
                        sumSq += v * v;
                        rawSum += r;
                        rawSq += r * r;
                        ++n;
                    }
                }
            }
        }
    }
    const double mean = sum / n, rawMean = rawSum / n;
    return {trail / trailCount, std::sqrt(sumSq / n - mean * mean), std::sqrt(rawSq / n - rawMean * rawMean)};
}

} // namespace

TEST(MotionScene, TrailGoesAndStillNoiseFallsAlike)
{
    const Measures plain = run(MotionSparing{false, 24});
    const Measures spared = run(MotionSparing{true, 24});
    std::printf("raw noise %.2f; plain: noise %.2f (%.0f %% less), trail energy %.1f; "
                "motion sparing: noise %.2f (%.0f %% less), trail energy %.1f\n",
                plain.rawNoise, plain.stillNoise, 100 * (1 - plain.stillNoise / plain.rawNoise), plain.trail,
                spared.stillNoise, 100 * (1 - spared.stillNoise / spared.rawNoise), spared.trail);
    RecordProperty("plain_noise", std::to_string(plain.stillNoise));
    RecordProperty("spared_noise", std::to_string(spared.stillNoise));
    RecordProperty("plain_trail", std::to_string(plain.trail));
    RecordProperty("spared_trail", std::to_string(spared.trail));

    // Plain smoothing leaves a bright trail: at strength 60 a byte keeps
    // 76/128 of the square's excess for each frame behind it.
    EXPECT_GT(plain.trail, 1000.0);
    // With motion sparing the pixels behind the square are the frame's own:
    // what is left is about the background noise (variance about 72).
    EXPECT_LT(spared.trail, 150.0);
    EXPECT_LT(spared.trail, plain.trail / 20);
    // Both calm the still part; motion sparing a little less, as the odd
    // noisy pixel beyond the threshold is taken unsmoothed (here about 49 %
    // and 42 % less noise than the frames).
    EXPECT_LT(plain.stillNoise, 0.6 * plain.rawNoise);
    EXPECT_LT(spared.stillNoise, 0.65 * spared.rawNoise);
    EXPECT_LT(spared.stillNoise, 1.25 * plain.stillNoise);
}
