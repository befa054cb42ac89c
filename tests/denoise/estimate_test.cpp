// The automatic smoother's measurements on their own: the camera's shift
// (GlobalMotion) to a quarter pixel, and no shift where nothing moved; the
// noise level (NoiseEstimator) on textured, dark, flat-heavy and clipped
// scenes; and no change of light left over from an earlier frame.

#include "denoise/BandPool.h"
#include "denoise/GlobalMotion.h"
#include "denoise/NoiseEstimator.h"
#include "tests/denoise/denoise_scenes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

namespace {

using denoise::GlobalMotion;
using denoise::NoiseEstimator;
using denoise::Shift;
using namespace denoise_test;

constexpr int kW = 320, kH = 240;
constexpr std::size_t kRow = kW * 3 + 8; // padded rows

// A scene with detail at every scale and no repeating pattern, as a camera
// sees one: soft blobs of many sizes on a shading.
double Landscape(double x, double y, int c)
{
    struct Blob {
        double x, y, r, level[3];
    };
    static const std::vector<Blob> blobs = [] {
        std::mt19937 rng(42);
        std::uniform_real_distribution<double> u(0, 1);
        std::vector<Blob> b;
        for (int k = 0; k < 90; ++k) {
            const double r = 3 + 30 * u(rng) * u(rng);
            b.push_back({-60 + 480 * u(rng), -60 + 400 * u(rng), r, {80 * u(rng) - 40, 80 * u(rng) - 40, 80 * u(rng) - 40}});
        }
        return b;
    }();
    double v = 110 + 0.2 * x - 0.1 * y;
    for (const Blob& b : blobs) {
        const double d2 = ((x - b.x) * (x - b.x) + (y - b.y) * (y - b.y)) / (b.r * b.r);
        if (d2 < 12)
            v += b.level[c] * std::exp(-d2);
    }
    return v;
}

// That scene at a shift, with noise.
Frame Shifted(double ox, double oy, double sigma, std::mt19937& rng)
{
    return AddNoise(Render(kW, kH, kRow, ox, oy, Landscape), kW, kH, kRow, sigma, rng);
}

TEST(GlobalMotion, FindsAKnownShiftToAQuarterPixel)
{
    struct Case {
        double dx, dy;
    };
    std::mt19937 rng(3);
    denoise::BandPool pool(3);
    for (const Case c : {Case{0.25, 0}, Case{0, -0.5}, Case{3.25, -1.5}, Case{-7.75, 2}, Case{0.5, 0.75},
                         Case{20, -12.75}, Case{-41.5, 30.25}}) {
        const Frame a = Render(kW, kH, kRow, 50, 40, Landscape);
        const Frame b = Render(kW, kH, kRow, 50 + c.dx, 40 + c.dy, Landscape);
        for (const double sigma : {0.0, 4.0, 8.0}) {
            GlobalMotion motion;
            const Frame na = AddNoise(a, kW, kH, kRow, sigma, rng), nb = AddNoise(b, kW, kH, kRow, sigma, rng);
            EXPECT_EQ(motion.Estimate(na.data(), kRow, kW, kH).x4, 0);
            const Shift s = motion.Estimate(nb.data(), kRow, kW, kH);
            // Under strong noise a shift below a pixel may also count as
            // none: a shift must beat no shift clearly.
            const bool small = std::abs(c.dx) < 1 && std::abs(c.dy) < 1 && sigma >= 8;
            if (!(small && s.x4 == 0 && s.y4 == 0)) {
                EXPECT_NEAR(s.x4, c.dx * 4, 1) << "shift " << c.dx << ", " << c.dy << ", noise " << sigma;
                EXPECT_NEAR(s.y4, c.dy * 4, 1) << "shift " << c.dx << ", " << c.dy << ", noise " << sigma;
            }
            // The same on threads.
            GlobalMotion banded;
            banded.Estimate(na.data(), kRow, kW, kH, &pool);
            const Shift t = banded.Estimate(nb.data(), kRow, kW, kH, &pool);
            EXPECT_TRUE(t.x4 == s.x4 && t.y4 == s.y4) << "on " << pool.Threads() << " threads";
        }
    }
}

// Noise alone must never read as a movement: a still camera stays still on
// flat and nearly flat pictures, bright or dark, light noise or strong.
TEST(GlobalMotion, NoiseOnAStillSceneIsNoMovement)
{
    std::mt19937 rng(11);
    const auto faint = [](double x, double y, int c) { return 100 + 0.15 * (Texture(x, y, c) - 120); };
    for (const int level : {20, 128, 240})
        for (const double sigma : {2.0, 8.0, 15.0}) {
            GlobalMotion motion;
            const Frame scene = level == 128 ? Render(kW, kH, kRow, 0, 0, faint)
                                             : Frame(kRow * kH, static_cast<std::uint8_t>(level));
            for (int k = 0; k < 24; ++k) {
                const Frame f = AddNoise(scene, kW, kH, kRow, sigma, rng);
                const Shift s = motion.Estimate(f.data(), kRow, kW, kH);
                ASSERT_TRUE(s.x4 == 0 && s.y4 == 0) << "level " << level << ", noise " << sigma << ", frame " << k
                                                    << ": moved " << s.x4 << ", " << s.y4;
            }
        }
}

// A scene for the noise estimate, `frames` noisy frames of it (the scene
// still), and the deviation of the noise where it was added.
struct NoisyScene {
    std::vector<Frame> frames;
    double trueLevel;
};

enum class Kind { Textured, Dark, BlackBars, WhiteBars, ClippedWindow };

NoisyScene MakeScene(Kind kind, double barShare, double sigma, int frames, unsigned seed)
{
    const int bar = static_cast<int>(std::lround(kH * barShare / 2));
    const auto inBar = [&](int, int y) { return y < bar || y >= kH - bar; };
    const auto inWindow = [&](int x, int y) { return x >= kW / 4 && x < kW * 3 / 4 && y >= kH / 5 && y < kH * 4 / 5; };
    Frame clean = Render(kW, kH, kRow, 0, 0, [&](double x, double y, int c) {
        if (kind == Kind::Dark)
            return 28 + 0.25 * (Texture(x, y, c) - 120);
        if (kind == Kind::ClippedWindow && inWindow(static_cast<int>(x), static_cast<int>(y)))
            return 255.0;
        return Texture(x, y, c);
    });
    NoisyScene s;
    std::mt19937 rng(seed);
    double se = 0, n = 0;
    for (int k = 0; k < frames; ++k) {
        // Bars come after the camera (exactly 0 or 255); a blown-out window is
        // clipped after its noise. The true level is measured away from both.
        Frame f = AddNoise(clean, kW, kH, kRow, sigma, rng, [&](int x, int y) {
            const bool flat = (kind == Kind::BlackBars || kind == Kind::WhiteBars) && inBar(x, y);
            return !flat;
        });
        if (kind == Kind::BlackBars || kind == Kind::WhiteBars) {
            const std::uint8_t level = kind == Kind::BlackBars ? 0 : 255;
            FillRows(f, kW, kRow, 0, bar, level);
            FillRows(f, kW, kRow, kH - bar, kH, level);
        }
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                if (inBar(x, y) && kind != Kind::Textured && kind != Kind::Dark && kind != Kind::ClippedWindow)
                    continue;
                if (kind == Kind::ClippedWindow && inWindow(x, y))
                    continue;
                for (int c = 0; c < 3; ++c) {
                    const double d = double(f[y * kRow + x * 3 + c]) - clean[y * kRow + x * 3 + c];
                    se += d * d;
                    n += 1;
                }
            }
        s.frames.push_back(std::move(f));
    }
    s.trueLevel = std::sqrt(se / n);
    return s;
}

// The frames one after another into an estimator, as the smoother hands
// them (no camera movement).
void Feed(NoiseEstimator& e, const std::vector<Frame>& frames)
{
    for (std::size_t k = 0; k < frames.size(); ++k) {
        if (k == 0)
            e.UpdateSingle(frames[k].data(), kRow, kW, kH);
        else
            e.Update(frames[k].data(), kRow, kW, kH, 0, 0);
    }
}

const char* KindName(Kind k)
{
    switch (k) {
    case Kind::Textured:
        return "textured";
    case Kind::Dark:
        return "dark";
    case Kind::BlackBars:
        return "bars of 0";
    case Kind::WhiteBars:
        return "bars of 255";
    case Kind::ClippedWindow:
        return "clipped window";
    }
    return "?";
}

// Within 15 % of the true level on every kind of scene, also where most of
// the picture is flat or clipped: blocks without noise are no evidence of
// low noise.
TEST(NoiseEstimator, HoldsOnTexturedDarkFlatAndClippedScenes)
{
    struct Case {
        Kind kind;
        double bars;
    };
    for (const Case c : {Case{Kind::Textured, 0}, Case{Kind::Dark, 0}, Case{Kind::BlackBars, 0.3},
                         Case{Kind::BlackBars, 0.6}, Case{Kind::WhiteBars, 0.3}, Case{Kind::WhiteBars, 0.6},
                         Case{Kind::ClippedWindow, 0}})
        for (const double sigma : {3.0, 8.0, 15.0}) {
            const NoisyScene s = MakeScene(c.kind, c.bars, sigma, 10, 7);
            NoiseEstimator e;
            Feed(e, s.frames);
            EXPECT_NEAR(e.Spread().level, s.trueLevel, 0.15 * s.trueLevel)
                << KindName(c.kind) << " " << c.bars << ", noise " << sigma;
            // The first frame's guess only stands in, but flat parts must not
            // make it zero either.
            NoiseEstimator single;
            single.UpdateSingle(s.frames[0].data(), kRow, kW, kH);
            EXPECT_GT(single.Spread().level, 0.5 * s.trueLevel) << KindName(c.kind) << " " << c.bars;
        }
}

// A change of light is measured from one pair of frames and holds for that
// pair only: a frame that cannot be measured, or a reset, leaves none.
TEST(NoiseEstimator, NoStaleChangeOfLight)
{
    std::mt19937 rng(5);
    const Frame before = Shifted(0, 0, 3, rng);
    Frame brighter = Shifted(0, 0, 3, rng);
    for (auto& b : brighter)
        b = static_cast<std::uint8_t>(std::min(255L, std::lround(b * 1.2)));
    NoiseEstimator e;
    e.UpdateSingle(before.data(), kRow, kW, kH);
    e.Update(brighter.data(), kRow, kW, kH, 0, 0);
    ASSERT_GT(e.Light().gain[1], 1.1);
    // Shifted so far that too little of the frames overlaps to measure.
    e.Update(brighter.data(), kRow, kW, kH, kW - 20, 0);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(e.Light().gain[c], 1) << "byte " << c;
        EXPECT_EQ(e.Light().offset[c], 0) << "byte " << c;
    }
    // Flat frames hold no block that shows noise: nothing is measured, and
    // what was known is kept.
    const double known = e.Spread().level;
    ASSERT_GT(known, 2);
    const Frame flat(kRow * kH, 128), flatter(kRow * kH, 140);
    e.UpdateSingle(flat.data(), kRow, kW, kH);
    e.Update(flatter.data(), kRow, kW, kH, 0, 0);
    EXPECT_EQ(e.Light().gain[1], 1);
    EXPECT_EQ(e.Light().offset[1], 0);
    EXPECT_EQ(e.Spread().level, known);
}

} // namespace
