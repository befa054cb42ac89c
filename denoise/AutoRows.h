#pragma once
// The automatic smoother's row loops: everything it does to every pixel of
// every frame. Each is plain integer (and single-float) code that the
// compiler turns into vector code; the variants are the same source built
// for no vectors, SSE2 and AVX2, and give the same bytes (no fused
// multiply-add, float operations in the same order in every lane).
//
// History values are 8-bit levels with 8 fractional bits (0..65280).

#include "denoise/Cpu.h"

#include <cstdint>

namespace denoise::autorows {

// How a pixel's frame count follows from its 3x3 differences: z is the sum
// of the squared luma and chroma sums, each times its k (one over its spread
// for pure noise), times 2A / (A + 1) for a history of A frames; up to zLow
// all the history is kept, from zHigh none, smoothly in between.
//
// The sums cancel a difference that swings from pixel to pixel (fine
// texture or a weave read a fraction of a pixel beside its place), so the
// 3x3 sum of the squared luma differences (each shifted down by 6 bits)
// weighs in too: times kE it is about 1 for pure noise; what it exceeds
// eFloor by, times eWeight, is added to z.
struct WeightRule {
    float kY = 0, kR = 0, kB = 0;
    float kE = 0, eFloor = 2, eWeight = 8;
    float zHigh = 30;
    float zSpan = 22; // zHigh - zLow
    int cap = 1;      // the most frames a pixel is averaged over, 1..255
};

// Spatial smoothing, where a pixel has little history: an edge-preserving
// mean over a 5x5 window of the frame, blended in fully at one frame of
// history and half as much with each further frame, up to kSpatialUpTo.
constexpr int kSpatialRadius = 2;
constexpr int kSpatialUpTo = 5;

struct SpatialWindow {
    // The frame's rows from 2 above to 2 below the pixel's as planes of B,
    // G and R, null beyond the picture.
    const std::int32_t* b[2 * kSpatialRadius + 1];
    const std::int32_t* g[2 * kSpatialRadius + 1];
    const std::int32_t* r[2 * kSpatialRadius + 1];
    const int* distance; // 5x5 weights by place, in 1/256
    // The weight of a distance d (|B| + 2|G| + |R| of the difference to the
    // middle pixel) is about exp(-d^2 / (2 r^2)) for a range r, as
    // (1 - d^2 rangeScale)^16: rangeScale is 1 / (32 r^2).
    float rangeScale;
};

struct Kernels {
    // Per pixel: the luma difference B + G + R and the chroma differences
    // R - G and 2B - R - G of the frame to the history, and the square of
    // the luma difference shifted down by 6 bits; 0 without history.
    void (*differences)(const std::uint8_t* frame, const std::uint16_t* history, const std::uint8_t* age, int w,
                        std::int32_t* y, std::int32_t* c1, std::int32_t* c2, std::int32_t* e);
    // out = a + b + c, n values.
    void (*addRows)(const std::int32_t* a, const std::int32_t* b, const std::int32_t* c, int n, std::int32_t* out);
    // out[x] = in[x - 1] + in[x] + in[x + 1], the edge value standing in
    // beyond the ends.
    void (*addNeighbours)(const std::int32_t* in, int n, std::int32_t* out);
    // Per pixel from the 3x3 sums and the history's frame count: the new
    // frame count (1 without history), and for each of the pixel's bytes the
    // share of the frame in the new value, in 1/32768.
    void (*frameCounts)(const std::int32_t* y, const std::int32_t* c1, const std::int32_t* c2, const std::int32_t* e,
                        const std::uint8_t* age, int w, const WeightRule& rule, std::uint8_t* count,
                        std::int32_t* share);
    // Per byte: the history moved by its share towards the frame, and that
    // rounded to a byte.
    void (*blend)(const std::uint8_t* frame, const std::uint16_t* history, const std::int32_t* share, int len,
                  std::uint16_t* next, std::uint8_t* out);
    // Per byte: a change of light applied to the history (gain in 1/4096 and
    // offset, one per byte of a row), clamped to the history's range.
    void (*relight)(const std::int32_t* in, const std::int32_t* gain, const std::int32_t* offset, int len,
                    std::uint16_t* out);
    // The same from a history row as it is.
    void (*relightHistory)(const std::uint16_t* in, const std::int32_t* gain, const std::int32_t* offset, int len,
                           std::uint16_t* out);
    // Per byte: four history rows weighted by taps in 1/128.
    void (*verticalTaps)(const std::uint16_t* r0, const std::uint16_t* r1, const std::uint16_t* r2,
                         const std::uint16_t* r3, const int* taps, int len, std::int32_t* out);
    // Per byte: four neighbours 3 bytes apart weighted by taps in 1/128,
    // from rows of vertical taps, back to history units: out[i] from in[i -
    // 3], in[i], in[i + 3] and in[i + 6].
    void (*horizontalTaps)(const std::int32_t* in, const int* taps, int len, std::int32_t* out);
    // The smallest of n frame counts.
    int (*leastCount)(const std::uint8_t* count, int n);
    // A row of pixels as planes of B, G and R.
    void (*planes)(const std::uint8_t* row, int w, std::int32_t* b, std::int32_t* g, std::int32_t* r);
    // For pixels x0..x1-1 of the window's middle row: the sums of weight
    // times B, G and R and of the weights over the window's columns iLo..iHi
    // (-2..2, all within the picture), in four rows of sums.
    void (*spatialSums)(const SpatialWindow& win, int x0, int x1, int iLo, int iHi, std::int32_t* const sums[4]);
    // The weighted means blended into the output by the frame count, for
    // counts up to upTo (at most kSpatialUpTo).
    void (*spatialBlend)(const std::int32_t* const sums[4], const std::uint8_t* count, int upTo, int x0, int x1,
                         std::uint8_t* out);
};

const Kernels& KernelsFor(Path p);
extern const Kernels kPlain, kSSE2, kAVX2;

} // namespace denoise::autorows
