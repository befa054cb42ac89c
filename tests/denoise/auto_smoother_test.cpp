// The automatic smoother on generated clips: its noise estimate, what it
// gains over the noisy frames on still, moving and panning scenes, the
// 64-frame mean it settles on, the same bytes on every processor path, and
// frames that could break it (new sizes, black, saturated, flat, no noise,
// very strong noise, tiny pictures).

#include "denoise/AutoSmoother.h"
#include "tests/denoise/denoise_scenes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using denoise::AutoSmoother;
using denoise::FrameShape;

using Frame = std::vector<std::uint8_t>;

// A scene larger than the frames, so that a window can pan over it: smooth
// shading, flat patches with hard edges and a striped texture.
struct Scene {
    int w, h;
    std::vector<double> v; // 3 values per pixel

    Scene(int w_, int h_, unsigned seed) : w(w_), h(h_), v(static_cast<std::size_t>(w_) * h_ * 3)
    {
        std::mt19937 rng(seed);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    at(x, y, c) = 110 + 50 * std::sin(x / 23.0 + c) * std::cos(y / 17.0 - c);
        std::uniform_int_distribution<int> pos(0, std::max(w, h));
        for (int k = 0; k < 12; ++k) {
            const int x0 = pos(rng) % w, y0 = pos(rng) % h, size = 6 + pos(rng) % 20;
            const double level = 20 + pos(rng) % 215;
            for (int y = y0; y < std::min(h, y0 + size); ++y)
                for (int x = x0; x < std::min(w, x0 + size); ++x)
                    for (int c = 0; c < 3; ++c)
                        at(x, y, c) = k % 3 == 0 ? level + 25 * std::sin(x * 1.3 + y * 0.4) : level + 10 * c;
        }
    }
    double& at(int x, int y, int c) { return v[(static_cast<std::size_t>(y) * w + x) * 3 + c]; }
    double at(int x, int y, int c) const { return v[(static_cast<std::size_t>(y) * w + x) * 3 + c]; }

    // The window at (ox, oy), its rows `rowbytes` long.
    Frame window(int ox, int oy, int fw, int fh, std::size_t rowbytes) const
    {
        Frame f(rowbytes * fh, 0);
        for (int y = 0; y < fh; ++y)
            for (int x = 0; x < fw; ++x)
                for (int c = 0; c < 3; ++c)
                    f[y * rowbytes + x * 3 + c] =
                        static_cast<std::uint8_t>(std::clamp(std::lround(at(ox + x, oy + y, c)), 0L, 255L));
        return f;
    }
};

enum class Noise { PerByte, CameraLike };

// Adds noise of deviation `sigma` to the pixels. Camera-like noise is added
// to luma per pixel and to both chroma components per pair of pixels (as a
// 4:2:2 camera delivers them), then turned back into B, G, R.
Frame addNoise(const Frame& clean, int w, int h, std::size_t rowbytes, double sigma, Noise kind, std::mt19937& rng)
{
    std::normal_distribution<double> n(0, sigma);
    Frame f = clean;
    const auto put = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
    for (int y = 0; y < h; ++y) {
        double cb = 0, cr = 0;
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &f[y * rowbytes + x * 3];
            if (kind == Noise::PerByte) {
                for (int c = 0; c < 3; ++c)
                    p[c] = put(p[c] + n(rng));
                continue;
            }
            if (x % 2 == 0) {
                cb = n(rng);
                cr = n(rng);
            }
            const double ny = n(rng);
            // The B, G, R change of a change (ny, cb, cr) in Y, Cb, Cr (BT.601).
            p[0] = put(p[0] + ny + 1.772 * cb);
            p[1] = put(p[1] + ny - 0.344 * cb - 0.714 * cr);
            p[2] = put(p[2] + ny + 1.402 * cr);
        }
    }
    return f;
}

double psnr(const Frame& a, const Frame& b, int w, int h, std::size_t rowbytes)
{
    double se = 0;
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < w * 3; ++i) {
            const double d = double(a[y * rowbytes + i]) - b[y * rowbytes + i];
            se += d * d;
        }
    se /= double(w) * h * 3;
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / se);
}

double rmsNoise(const Frame& clean, const Frame& noisy, int w, int h, std::size_t rowbytes)
{
    return 255.0 / std::pow(10.0, psnr(clean, noisy, w, h, rowbytes) / 20);
}

enum class Movement { Still, Pan, SubPixelPan, MovingSquare, LightChange };

struct Clip {
    int w = 160, h = 120;
    std::size_t rowbytes = 160 * 3 + 4; // with padding, which must stay untouched
    std::vector<Frame> clean, noisy;
    double trueLevel = 0; // RMS of the noise actually added (clipping included)
};

Clip makeClip(Movement m, double sigma, Noise kind, int frames, unsigned seed = 5)
{
    Clip clip;
    const Scene scene(clip.w + 120, clip.h + 40, seed);
    std::mt19937 rng(seed + 100);
    double se = 0;
    for (int k = 0; k < frames; ++k) {
        Frame f;
        switch (m) {
        case Movement::Pan:
            f = scene.window(2 * k, 10, clip.w, clip.h, clip.rowbytes);
            break;
        case Movement::SubPixelPan: {
            // Half a pixel a frame: every second frame lies between pixels.
            const Frame a = scene.window(k / 2, 10, clip.w, clip.h, clip.rowbytes);
            const Frame b = scene.window(k / 2 + 1, 10, clip.w, clip.h, clip.rowbytes);
            f = a;
            if (k % 2)
                for (std::size_t i = 0; i < f.size(); ++i)
                    f[i] = static_cast<std::uint8_t>((a[i] + b[i] + 1) / 2);
            break;
        }
        case Movement::MovingSquare:
            f = scene.window(20, 10, clip.w, clip.h, clip.rowbytes);
            for (int y = 40; y < 70; ++y)
                for (int x = 4 * k; x < std::min(clip.w, 4 * k + 30); ++x)
                    for (int c = 0; c < 3; ++c)
                        f[y * clip.rowbytes + x * 3 + c] = static_cast<std::uint8_t>(40 + 180 * ((x / 5 + y / 5) % 2));
            break;
        case Movement::LightChange:
        case Movement::Still:
            f = scene.window(20, 10, clip.w, clip.h, clip.rowbytes);
            if (m == Movement::LightChange)
                for (auto& b : f)
                    b = static_cast<std::uint8_t>(std::lround(b * (0.75 + 0.01 * k)));
            break;
        }
        Frame n = addNoise(f, clip.w, clip.h, clip.rowbytes, sigma, kind, rng);
        const double r = sigma > 0 ? rmsNoise(f, n, clip.w, clip.h, clip.rowbytes) : 0;
        se += r * r;
        clip.clean.push_back(std::move(f));
        clip.noisy.push_back(std::move(n));
    }
    clip.trueLevel = std::sqrt(se / frames);
    return clip;
}

struct Result {
    double input = 0, output = 0; // PSNR over the frames after the first 10
    double level = 0;             // the smoother's last estimate
    std::vector<Frame> out;
};

Result run(const Clip& clip, int strength = AutoSmoother::kStartStrength, denoise::Path path = denoise::BestPath(),
           int threads = 1)
{
    AutoSmoother smoother(path, threads);
    EXPECT_EQ(smoother.Threads(), threads);
    const FrameShape shape{clip.w, clip.h, clip.rowbytes};
    Result r;
    double in = 0, out = 0;
    int counted = 0;
    for (std::size_t k = 0; k < clip.noisy.size(); ++k) {
        Frame o(clip.rowbytes * clip.h, 0xA5);
        smoother.Process(clip.noisy[k].data(), o.data(), shape, strength);
        for (int y = 0; y < clip.h; ++y)
            for (std::size_t i = clip.w * 3; i < clip.rowbytes; ++i)
                EXPECT_EQ(o[y * clip.rowbytes + i], 0xA5) << "row padding written";
        if (k >= 10) {
            in += psnr(clip.clean[k], clip.noisy[k], clip.w, clip.h, clip.rowbytes);
            out += psnr(clip.clean[k], o, clip.w, clip.h, clip.rowbytes);
            ++counted;
        }
        r.out.push_back(std::move(o));
    }
    r.input = counted ? in / counted : 0;
    r.output = counted ? out / counted : 0;
    r.level = smoother.NoiseLevel();
    return r;
}

const char* name(Movement m)
{
    switch (m) {
    case Movement::Still:
        return "still";
    case Movement::Pan:
        return "pan";
    case Movement::SubPixelPan:
        return "sub-pixel pan";
    case Movement::MovingSquare:
        return "moving square";
    case Movement::LightChange:
        return "light change";
    }
    return "?";
}

} // namespace

// The estimate is the deviation per byte of the noise added, within 15 %,
// whatever the scene does; it is there from the first frame on.
TEST(AutoSmoother, EstimatesTheNoiseLevel)
{
    for (const Movement m : {Movement::Still, Movement::Pan, Movement::MovingSquare, Movement::LightChange})
        for (const double sigma : {4.0, 8.0, 15.0})
            for (const Noise kind : {Noise::PerByte, Noise::CameraLike}) {
                const Clip clip = makeClip(m, sigma, kind, 16);
                const Result r = run(clip);
                EXPECT_NEAR(r.level, clip.trueLevel, 0.15 * clip.trueLevel)
                    << name(m) << ", sigma " << sigma << (kind == Noise::CameraLike ? " camera-like" : " per byte");
            }
    AutoSmoother smoother;
    EXPECT_EQ(smoother.NoiseLevel(), 0);
    const Clip clip = makeClip(Movement::Still, 8, Noise::PerByte, 1);
    Frame out(clip.rowbytes * clip.h);
    smoother.Process(clip.noisy[0].data(), out.data(), FrameShape{clip.w, clip.h, clip.rowbytes}, 60);
    EXPECT_GT(smoother.NoiseLevel(), 4);
    EXPECT_LT(smoother.NoiseLevel(), 16);
}

// Still, moving and panning scenes all come out clearly better than the
// noisy frames: movement is neither smeared into trails nor left unsmoothed.
TEST(AutoSmoother, GainsOnEveryKindOfScene)
{
    struct Case {
        Movement m;
        double sigma;
        Noise kind;
        double gain; // dB over the noisy input at least
    };
    for (const Case& c : {Case{Movement::Still, 8, Noise::PerByte, 8}, Case{Movement::Still, 8, Noise::CameraLike, 6},
                          Case{Movement::Pan, 8, Noise::PerByte, 4}, Case{Movement::SubPixelPan, 8, Noise::PerByte, 3},
                          Case{Movement::MovingSquare, 8, Noise::PerByte, 4},
                          Case{Movement::LightChange, 8, Noise::PerByte, 4},
                          Case{Movement::Pan, 4, Noise::PerByte, 1}, Case{Movement::MovingSquare, 15, Noise::CameraLike, 4}}) {
        const Result r = run(makeClip(c.m, c.sigma, c.kind, 30));
        EXPECT_GT(r.output, r.input + c.gain) << name(c.m) << ", sigma " << c.sigma;
    }
}

// PSNR over the pixels where `where(x, y)` holds.
template <typename Where>
double psnrWhere(const Frame& a, const Frame& b, int w, int h, std::size_t rowbytes, Where where)
{
    double se = 0, n = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (where(x, y))
                for (int c = 0; c < 3; ++c) {
                    const double d = double(a[y * rowbytes + x * 3 + c]) - b[y * rowbytes + x * 3 + c];
                    se += d * d;
                    n += 1;
                }
    return se == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * n / se);
}

// The 3x3 window around a pixel is centred on it: something that moves in
// the row just above a pixel says as much about it as in the row just below.
// A pixel that changes a little (within what noise could do) takes up its
// change at once only when its neighbourhood shows movement.
TEST(AutoSmoother, MovementJustAboveOrBelowAPixelCounts)
{
    constexpr int w = 160, h = 120, r = 64;
    constexpr std::size_t row = w * 3 + 4;
    const Frame clean = denoise_test::Render(w, h, row, 0, 0, denoise_test::Texture);
    for (const bool above : {true, false}) {
        std::mt19937 rng(21);
        AutoSmoother smoother;
        Frame out(row * h);
        const FrameShape shape{w, h, row};
        for (int k = 0; k < 20; ++k) {
            const Frame f = denoise_test::AddNoise(clean, w, h, row, 2, rng);
            smoother.Process(f.data(), out.data(), shape, 72);
        }
        // A bright object arrives next to row r, which itself brightens by 4.
        Frame f = clean;
        for (int y = above ? r - 30 : r + 1; y < (above ? r : r + 31); ++y)
            for (int x = 60; x < 100; ++x)
                for (int c = 0; c < 3; ++c)
                    f[y * row + x * 3 + c] = 230;
        for (int x = 60; x < 100; ++x)
            for (int c = 0; c < 3; ++c)
                f[r * row + x * 3 + c] = static_cast<std::uint8_t>(f[r * row + x * 3 + c] + 4);
        f = denoise_test::AddNoise(f, w, h, row, 2, rng);
        smoother.Process(f.data(), out.data(), shape, 72);
        double taken = 0;
        for (int x = 62; x < 98; ++x)
            for (int c = 0; c < 3; ++c)
                taken += double(out[r * row + x * 3 + c]) - clean[r * row + x * 3 + c];
        taken /= 36 * 3;
        EXPECT_GT(taken, 2.5) << (above ? "object above" : "object below") << ": row " << r << " kept its history";
    }
}

// Large flat or clipped parts (letterbox bars of exactly 0 or 255 over 30 %
// and 60 % of the height, a blown-out window) do not switch the smoothing
// off: the rest of the picture comes out within 0.5 dB of the same scene
// without them, and the estimate stays within 15 % of the true level. (With
// 60 % bars the moving square fills so much of what is left that the camera
// movement is no longer the same question: that case is left to the still
// scene.)
TEST(AutoSmoother, FlatAndClippedPartsLeaveTheRestAlone)
{
    for (const Movement m : {Movement::Still, Movement::MovingSquare})
        for (const double sigma : {4.0, 8.0, 15.0}) {
            const Clip base = makeClip(m, sigma, Noise::PerByte, 30);
            const Result plain = run(base);
            struct Variant {
                const char* name;
                int bar;       // rows at the top and at the bottom
                int level;     // of the bars
                bool window;   // a clipped window instead of bars
            };
            for (const Variant v : {Variant{"bars of 0, 30 %", 18, 0, false}, Variant{"bars of 0, 60 %", 36, 0, false},
                                    Variant{"bars of 255, 30 %", 18, 255, false},
                                    Variant{"bars of 255, 60 %", 36, 255, false},
                                    Variant{"clipped window", 0, 255, true}}) {
                if (m != Movement::Still && v.bar > 30)
                    continue;
                const auto flat = [&](int x, int y) {
                    if (v.window)
                        return x >= 8 && x < 72 && y >= 12 && y < 108;
                    return y < v.bar || y >= base.h - v.bar;
                };
                Clip c = base;
                std::mt19937 rng(77);
                std::normal_distribution<double> n(0, sigma);
                for (std::size_t k = 0; k < c.noisy.size(); ++k)
                    for (int y = 0; y < c.h; ++y)
                        for (int x = 0; x < c.w; ++x)
                            if (flat(x, y))
                                for (int ch = 0; ch < 3; ++ch) {
                                    const std::size_t i = y * c.rowbytes + x * 3 + ch;
                                    c.clean[k][i] = static_cast<std::uint8_t>(v.level);
                                    // A window is blown out after its noise.
                                    c.noisy[k][i] = static_cast<std::uint8_t>(
                                        v.window ? std::clamp(std::lround(255 + n(rng)), 0L, 255L) : v.level);
                                }
                const Result r = run(c);
                const auto rest = [&](int x, int y) { return !flat(x, y); };
                double without = 0, with = 0;
                for (std::size_t k = 10; k < c.noisy.size(); ++k) {
                    without += psnrWhere(base.clean[k], plain.out[k], c.w, c.h, c.rowbytes, rest);
                    with += psnrWhere(c.clean[k], r.out[k], c.w, c.h, c.rowbytes, rest);
                }
                const double frames = double(c.noisy.size() - 10);
                EXPECT_GT(with / frames, without / frames - 0.5) << name(m) << ", noise " << sigma << ", " << v.name;
                EXPECT_NEAR(r.level, base.trueLevel, 0.15 * base.trueLevel)
                    << name(m) << ", noise " << sigma << ", " << v.name;
            }
        }
}

// Strength bounds how calm a still picture may become; it never blurs it for
// good. At every strength from 5 to 95 a still noisy scene comes out better
// than the noisy frames, the mean over time of what is shown is the scene
// with its fine texture (a blur would stay in the mean, noise does not), and
// a higher strength is never noisier.
TEST(AutoSmoother, EveryStrengthCalmsAStillSceneWithoutBlurringIt)
{
    constexpr int w = 160, h = 120, frames = 70, settled = 20;
    constexpr std::size_t row = w * 3;
    constexpr double sigma = 8;
    const Frame clean = denoise_test::Render(w, h, row, 0, 0, denoise_test::Texture);
    std::mt19937 rng(8);
    std::vector<Frame> noisy;
    for (int k = 0; k < frames; ++k)
        noisy.push_back(denoise_test::AddNoise(clean, w, h, row, sigma, rng));
    double quieter = 1e9;
    for (int strength = 5; strength <= 95; strength += 5) {
        AutoSmoother smoother;
        std::vector<double> mean(row * h, 0);
        std::vector<Frame> shown;
        for (int k = 0; k < frames; ++k) {
            Frame out(row * h);
            smoother.Process(noisy[k].data(), out.data(), FrameShape{w, h, row}, strength);
            if (k >= settled) {
                for (std::size_t i = 0; i < out.size(); ++i)
                    mean[i] += out[i] / double(frames - settled);
                shown.push_back(std::move(out));
            }
        }
        double bias = 0, spread = 0, error = 0;
        for (std::size_t i = 0; i < mean.size(); ++i)
            bias += (mean[i] - clean[i]) * (mean[i] - clean[i]);
        for (const Frame& out : shown)
            for (std::size_t i = 0; i < out.size(); ++i) {
                spread += (out[i] - mean[i]) * (out[i] - mean[i]);
                error += (double(out[i]) - clean[i]) * (double(out[i]) - clean[i]);
            }
        bias = std::sqrt(bias / double(mean.size()));
        spread = std::sqrt(spread / double(mean.size() * shown.size()));
        error = std::sqrt(error / double(mean.size() * shown.size()));
        // What 50 frames of noise leave in the mean: about 8 / sqrt(50).
        EXPECT_LT(bias, 1.6) << "strength " << strength << ": a lasting blur";
        EXPECT_LT(error, 0.9 * sigma) << "strength " << strength;
        EXPECT_LT(spread, quieter + 0.05) << "strength " << strength << " is noisier than " << strength - 5;
        quieter = std::min(quieter, spread);
    }
}

// A still scene settles on the mean of 64 frames: after 64 frames it is
// within 1 dB of their exact mean.
TEST(AutoSmoother, StillSceneReachesThe64FrameMean)
{
    EXPECT_EQ(AutoSmoother::CapForStrength(AutoSmoother::kStartStrength), 64);
    EXPECT_EQ(AutoSmoother::CapForStrength(0), 1);
    EXPECT_EQ(AutoSmoother::CapForStrength(95), 255);
    const Clip clip = makeClip(Movement::Still, 8, Noise::PerByte, 64);
    const Result r = run(clip);
    Frame mean(clip.rowbytes * clip.h, 0);
    for (std::size_t i = 0; i < mean.size(); ++i) {
        double s = 0;
        for (const Frame& f : clip.noisy)
            s += f[i];
        mean[i] = static_cast<std::uint8_t>(std::lround(s / 64));
    }
    const double exact = psnr(clip.clean[0], mean, clip.w, clip.h, clip.rowbytes);
    const double got = psnr(clip.clean[0], r.out.back(), clip.w, clip.h, clip.rowbytes);
    EXPECT_GT(got, exact - 1) << "exact mean " << exact << " dB";
}

// Strength 0 smooths nothing; a higher strength calms a still scene more.
TEST(AutoSmoother, StrengthSetsHowCalmAStillSceneGets)
{
    const Clip clip = makeClip(Movement::Still, 8, Noise::PerByte, 30);
    const Result off = run(clip, 0);
    for (std::size_t k = 0; k < clip.noisy.size(); ++k)
        for (int y = 0; y < clip.h; ++y)
            for (int i = 0; i < clip.w * 3; ++i)
                ASSERT_EQ(off.out[k][y * clip.rowbytes + i], clip.noisy[k][y * clip.rowbytes + i]);
    EXPECT_GT(run(clip, 72).output, run(clip, 30).output + 1);
}

// Every processor path and every thread count gives the same bytes, on
// clips that exercise all parts: camera movement, a moving object, spatial
// smoothing, strong noise, a change of light; at a high and a low strength.
TEST(AutoSmoother, SameBytesOnEveryPathAndThreadCount)
{
    for (const Movement m : {Movement::SubPixelPan, Movement::MovingSquare, Movement::LightChange})
        for (const int strength : {72, 15}) {
            const Clip clip = makeClip(m, 15, Noise::CameraLike, 14);
            const Result plain = run(clip, strength, denoise::Path::Plain);
            for (const denoise::Path p : denoise::SupportedPaths())
                for (const int threads : {1, 2, 3, 8}) {
                    const Result other = run(clip, strength, p, threads);
                    for (std::size_t k = 0; k < plain.out.size(); ++k)
                        ASSERT_EQ(plain.out[k], other.out[k]) << denoise::PathName(p) << ", " << threads
                                                              << " threads, frame " << k << ", " << name(m);
                    // The measurements do not depend on the count either.
                    ASSERT_EQ(plain.level, other.level) << denoise::PathName(p) << ", " << threads << " threads";
                }
        }
    // More threads than rows: the bands without rows do nothing.
    const FrameShape shape{9, 2, 28};
    std::mt19937 rng(4);
    Frame f(shape.bytes()), one(shape.bytes(), 0), many(shape.bytes(), 0);
    AutoSmoother single(denoise::BestPath(), 1), wide(denoise::BestPath(), 8);
    for (int k = 0; k < 6; ++k) {
        for (auto& b : f)
            b = static_cast<std::uint8_t>(rng());
        single.Process(f.data(), one.data(), shape, 72);
        wide.Process(f.data(), many.data(), shape, 72);
        ASSERT_EQ(one, many) << "frame " << k;
    }
}

// A new size, a reset and the first frame start afresh; frames that are
// black, saturated, flat, noiseless, very noisy or tiny give sane pictures.
TEST(AutoSmoother, StartsAfreshAndCopesWithExtremeFrames)
{
    AutoSmoother smoother;
    // Flat frames without noise come out as they are: no drift, no NaN.
    for (const int level : {0, 255, 128}) {
        const FrameShape shape{40, 30, 120};
        const Frame flat(shape.bytes(), static_cast<std::uint8_t>(level));
        for (int k = 0; k < 12; ++k) {
            Frame out(shape.bytes(), 1);
            smoother.Process(flat.data(), out.data(), shape, 95);
            ASSERT_EQ(out, flat) << "level " << level << ", frame " << k;
        }
        EXPECT_EQ(smoother.NoiseLevel(), 0);
    }
    // A still scene without noise stays exact too.
    const Clip exact = makeClip(Movement::Still, 0, Noise::PerByte, 12);
    const Result r = run(exact);
    for (std::size_t k = 0; k < exact.clean.size(); ++k)
        EXPECT_GT(psnr(exact.clean[k], r.out[k], exact.w, exact.h, exact.rowbytes), 45) << "frame " << k;

    // After a bright history, a new size or a reset shows the new frame,
    // not the old picture.
    const auto showsFrame = [&](const FrameShape& shape) {
        const Frame dark(shape.bytes(), 20);
        Frame out(shape.bytes());
        smoother.Process(dark.data(), out.data(), shape, 95);
        for (int y = 0; y < shape.height; ++y)
            for (int i = 0; i < shape.width * 3; ++i)
                if (out[y * shape.rowbytes + i] != 20)
                    return false;
        return true;
    };
    const FrameShape big{64, 48, 192};
    const Frame bright(big.bytes(), 250);
    Frame out(big.bytes());
    for (int k = 0; k < 20; ++k)
        smoother.Process(bright.data(), out.data(), big, 95);
    EXPECT_TRUE(showsFrame(FrameShape{48, 64, 148}));
    for (int k = 0; k < 20; ++k)
        smoother.Process(bright.data(), out.data(), big, 95);
    smoother.Reset();
    EXPECT_EQ(smoother.NoiseLevel(), 0);
    EXPECT_TRUE(showsFrame(big));

    // Tiny pictures, and rows with padding: every byte stays within what
    // that byte of the picture has shown (nothing moves, nothing is lit
    // anew: the pictures are too small to measure either), and a picture
    // shown again and again settles on itself exactly.
    for (const FrameShape shape : {FrameShape{1, 1, 3}, FrameShape{2, 1, 8}, FrameShape{1, 3, 4}, FrameShape{3, 2, 12},
                                   FrameShape{17, 5, 52}, FrameShape{5, 17, 16}}) {
        std::mt19937 rng(9);
        Frame lo(shape.bytes(), 255), hi(shape.bytes(), 0), f(shape.bytes());
        for (int k = 0; k < 14; ++k) {
            if (k < 6)
                for (auto& b : f)
                    b = static_cast<std::uint8_t>(rng());
            Frame o(shape.bytes(), 0xA5);
            smoother.Process(f.data(), o.data(), shape, 72);
            for (int y = 0; y < shape.height; ++y) {
                const std::size_t row = y * shape.rowbytes;
                for (std::size_t i = row; i < row + shape.width * 3; ++i) {
                    // The spatial filter may mix in the neighbours' bytes of
                    // the same colour.
                    for (std::size_t j = i % 3; j < f.size(); j += 3)
                        if ((j % shape.rowbytes) < static_cast<std::size_t>(shape.width) * 3) {
                            lo[i] = std::min(lo[i], f[j]);
                            hi[i] = std::max(hi[i], f[j]);
                        }
                    ASSERT_GE(o[i], lo[i]) << shape.width << "x" << shape.height << ", frame " << k;
                    ASSERT_LE(o[i], hi[i]) << shape.width << "x" << shape.height << ", frame " << k;
                }
                for (std::size_t i = row + shape.width * 3; i < row + shape.rowbytes; ++i)
                    ASSERT_EQ(o[i], 0xA5) << "row padding written";
            }
            if (k == 13) {
                for (int y = 0; y < shape.height; ++y)
                    for (int i = 0; i < shape.width * 3; ++i)
                        ASSERT_EQ(o[y * shape.rowbytes + i], f[y * shape.rowbytes + i])
                            << shape.width << "x" << shape.height << ": not settled on the repeated picture";
            }
        }
    }

    // Very strong noise (deviation 90, mostly clipped): the estimate stays
    // finite, the picture gets calmer, not worse.
    const Clip wild = makeClip(Movement::MovingSquare, 90, Noise::PerByte, 20);
    const Result w = run(wild);
    EXPECT_TRUE(std::isfinite(w.level));
    EXPECT_GT(w.level, 30);
    EXPECT_GT(w.output, w.input);

    // Nothing to do for an empty shape.
    smoother.Process(bright.data(), out.data(), FrameShape{0, 0, 0}, 72);
    smoother.Process(bright.data(), out.data(), FrameShape{-3, 4, 12}, 72);
}
