// The automatic smoother on generated clips: its noise estimate, what it
// gains over the noisy frames on still, moving and panning scenes, the
// 64-frame mean it settles on, the same bytes on every processor path, and
// frames that could break it (new sizes, black, saturated, flat, no noise,
// very strong noise, tiny pictures).

#include "denoise/AutoSmoother.h"

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

Result run(const Clip& clip, int strength = AutoSmoother::kStartStrength, denoise::Path path = denoise::BestPath())
{
    AutoSmoother smoother(path);
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

// Every processor path gives the same bytes, on a clip that exercises all
// parts: camera movement, a moving object, spatial smoothing, strong noise.
TEST(AutoSmoother, SameBytesOnEveryPath)
{
    for (const Movement m : {Movement::SubPixelPan, Movement::MovingSquare, Movement::LightChange}) {
        const Clip clip = makeClip(m, 15, Noise::CameraLike, 14);
        const Result plain = run(clip, 72, denoise::Path::Plain);
        for (const denoise::Path p : denoise::SupportedPaths()) {
            const Result other = run(clip, 72, p);
            for (std::size_t k = 0; k < plain.out.size(); ++k)
                ASSERT_EQ(plain.out[k], other.out[k]) << denoise::PathName(p) << ", frame " << k << ", " << name(m);
        }
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

    // Tiny pictures, and rows with padding.
    for (const FrameShape shape : {FrameShape{1, 1, 3}, FrameShape{2, 1, 8}, FrameShape{1, 3, 4}, FrameShape{3, 2, 12},
                                   FrameShape{17, 5, 52}}) {
        std::mt19937 rng(9);
        for (int k = 0; k < 5; ++k) {
            Frame f(shape.bytes());
            for (auto& b : f)
                b = static_cast<std::uint8_t>(rng());
            Frame o(shape.bytes(), 0);
            smoother.Process(f.data(), o.data(), shape, 72);
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
