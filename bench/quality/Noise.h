#pragma once
// Noise with a fixed seed, as a camera adds it: Gaussian on every byte, or
// camera-like — noise on luma per pixel and on the two colour differences
// per horizontal pixel pair (as YUYV 4:2:2 carries colour), added in YCbCr
// (limited-range BT.601) and turned back into BGR, where it is stronger and
// coarser than the same level on every byte.

#include "bench/quality/Clip.h"

#include <cstdint>
#include <string>

namespace quality {

// Standard normal deviates from a seed, the same on every machine
// (splitmix64 and the Box-Muller transform; the standard library's
// distributions may differ between implementations).
class Gaussian {
public:
    explicit Gaussian(std::uint64_t seed) : state_(seed) {}
    double next();

private:
    std::uint64_t bits();
    std::uint64_t state_;
    double spare_ = 0.0;
    bool haveSpare_ = false;
};

struct NoiseKind {
    enum class Type { Gaussian, Camera };
    Type type = Type::Gaussian;
    double sigma = 0.0; // in 8-bit levels: of each byte, or of Y, Cb and Cr
    // "gauss8", "cam15": the name the clip files carry.
    std::string name() const;
};

// "gauss8" / "cam15" back into a kind; throws Error for anything else.
NoiseKind ParseNoise(const std::string& name);

// Adds noise to one top-down BGR frame in place, rounded and clipped to bytes.
void AddNoise(std::uint8_t* bgr, Size size, const NoiseKind& kind, Gaussian& random);

// A noisy copy of the whole clip, seeded from `seed`.
Clip NoisyCopy(const Clip& clean, const NoiseKind& kind, std::uint64_t seed);

} // namespace quality
