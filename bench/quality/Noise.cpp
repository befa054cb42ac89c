#include "bench/quality/Noise.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

namespace quality {

namespace {

std::uint8_t toByte(double v)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 255.0)));
}

// Limited-range BT.601: luma weights, and the scale of the colour
// differences into their 224 codes.
constexpr double kr = 0.299, kb = 0.114, kg = 1.0 - kr - kb;
constexpr double lumaScale = 219.0 / 255.0, chromaScale = 224.0 / 255.0;

struct YCbCr {
    double y, cb, cr;
};

YCbCr toYCbCr(const std::uint8_t* bgr)
{
    const double b = bgr[0], g = bgr[1], r = bgr[2];
    const double luma = kr * r + kg * g + kb * b;
    return {16.0 + lumaScale * luma, 128.0 + chromaScale * (b - luma) / (2.0 * (1.0 - kb)),
            128.0 + chromaScale * (r - luma) / (2.0 * (1.0 - kr))};
}

void toBgr(const YCbCr& c, std::uint8_t* bgr)
{
    const double luma = (c.y - 16.0) / lumaScale;
    const double b = luma + (c.cb - 128.0) / chromaScale * 2.0 * (1.0 - kb);
    const double r = luma + (c.cr - 128.0) / chromaScale * 2.0 * (1.0 - kr);
    const double g = (luma - kr * r - kb * b) / kg;
    bgr[0] = toByte(b);
    bgr[1] = toByte(g);
    bgr[2] = toByte(r);
}

} // namespace

std::uint64_t Gaussian::bits()
{
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double Gaussian::next()
{
    if (haveSpare_) {
        haveSpare_ = false;
        return spare_;
    }
    // Two uniforms in (0, 1], 53 bits each.
    const double u1 = (static_cast<double>(bits() >> 11) + 1.0) * 0x1.0p-53;
    const double u2 = static_cast<double>(bits() >> 11) * 0x1.0p-53;
    const double radius = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * std::numbers::pi * u2;
    spare_ = radius * std::sin(angle);
    haveSpare_ = true;
    return radius * std::cos(angle);
}

std::string NoiseKind::name() const
{
    const double rounded = std::round(sigma);
    const std::string level = rounded == sigma ? std::to_string(static_cast<int>(rounded)) : std::to_string(sigma);
    return (type == Type::Gaussian ? "gauss" : "cam") + level;
}

NoiseKind ParseNoise(const std::string& name)
{
    NoiseKind k;
    std::string_view level;
    if (name.starts_with("gauss")) {
        k.type = NoiseKind::Type::Gaussian;
        level = std::string_view(name).substr(5);
    } else if (name.starts_with("cam")) {
        k.type = NoiseKind::Type::Camera;
        level = std::string_view(name).substr(3);
    } else {
        throw Error("Unbekanntes Rauschen „" + name + "“ (gaussN oder camN)");
    }
    int value = 0;
    const auto [ptr, ec] = std::from_chars(level.data(), level.data() + level.size(), value);
    if (level.empty() || ec != std::errc{} || ptr != level.data() + level.size() || value < 0 || value > 100)
        throw Error("Unbekanntes Rauschen „" + name + "“ (gaussN oder camN, N von 0 bis 100)");
    k.sigma = value;
    return k;
}

void AddNoise(std::uint8_t* bgr, Size size, const NoiseKind& kind, Gaussian& random)
{
    const std::size_t pixels = static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height);
    if (kind.type == NoiseKind::Type::Gaussian) {
        for (std::size_t i = 0; i < pixels * 3; ++i)
            bgr[i] = toByte(bgr[i] + kind.sigma * random.next());
        return;
    }
    for (int y = 0; y < size.height; ++y) {
        std::uint8_t* row = bgr + static_cast<std::size_t>(y) * size.width * 3;
        for (int x = 0; x < size.width; x += 2) {
            // One colour noise for the pair, luma noise for each pixel.
            const double cb = kind.sigma * random.next();
            const double cr = kind.sigma * random.next();
            for (int i = x; i < std::min(x + 2, size.width); ++i) {
                YCbCr c = toYCbCr(row + i * 3);
                c.y += kind.sigma * random.next();
                c.cb += cb;
                c.cr += cr;
                toBgr(c, row + i * 3);
            }
        }
    }
}

Clip NoisyCopy(const Clip& clean, const NoiseKind& kind, std::uint64_t seed)
{
    Clip noisy = clean;
    Gaussian random(seed);
    for (auto& frame : noisy.frames)
        AddNoise(frame.data(), noisy.size, kind, random);
    return noisy;
}

} // namespace quality
