#pragma once
// Pictures in floating point from which the scenes' frames are cut: the
// procedural world, and resampling at sub-pixel positions.

#include "bench/quality/Clip.h"

#include <cstdint>
#include <vector>

namespace quality {

// Three channels (B, G, R) in 0..255 as floats, rows top-down.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<float> bgr;

    Picture() = default;
    Picture(int w, int h) : width(w), height(h), bgr(static_cast<std::size_t>(w) * h * 3, 0.0f) {}
    float* at(int x, int y) { return bgr.data() + (static_cast<std::size_t>(y) * width + x) * 3; }
    const float* at(int x, int y) const { return bgr.data() + (static_cast<std::size_t>(y) * width + x) * 3; }
};

// Noise with a 1/f amplitude spectrum in 0..1: octaves of smoothly
// interpolated random lattices, each octave's amplitude its wavelength.
std::vector<float> PinkField(int width, int height, std::uint64_t seed, double longest);

// The background world: textures, objects with hard edges, a sign with
// text-like strokes, a sky gradient, a dark low-contrast corner and the
// test camera's picture.
Picture MakeWorld(int width, int height, std::uint64_t seed);

// A round, textured subject with a soft-edged outline (alpha in the fourth
// place is kept apart: `alpha` gives coverage 0..1 per pixel). `turn`
// (radians) turns and bends its pattern: not a rigid movement.
struct Sprite {
    Picture picture;
    std::vector<float> alpha;
};
Sprite MakeSubject(int diameter, std::uint64_t seed, double turn = 0.0);

// The frame of `size` whose top-left corner lies at (x, y) in `from`,
// Catmull-Rom interpolated; (x, y) and the frame must stay two pixels
// inside `from`.
void CutFrame(const Picture& from, double x, double y, Picture& frame);

// `sprite` laid over `frame` with its top-left corner at (x, y), bilinear.
void Overlay(Picture& frame, const Sprite& sprite, double x, double y, float gain);

// Rounded and clipped to bytes, multiplied by `gain` first.
std::vector<std::uint8_t> ToBytes(const Picture& frame, float gain = 1.0f, float offset = 0.0f);

} // namespace quality
