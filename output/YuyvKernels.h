#pragma once
// Rows of 32-bit BGRA pixels to YUYV, limited-range BT.601, rounded to the
// nearest code. Coefficients carry 15 fraction bits; a pair's chroma is
// worked out from the sum of both pixels. The variants give identical bytes.

#include <cstdint>

namespace output {

// Fixed-point weights: round(32768 * 219/255 * Kr|Kg|Kb) for luma and
// round(32768 * 224/255 * ...) for the two colour differences (each of
// those rows sums to zero, so grey has no colour).
inline constexpr int YR = 8414, YG = 16519, YB = 3208;
inline constexpr int UR = -4857, UG = -9535, UB = 14392;
inline constexpr int VR = 14392, VG = -12051, VB = -2341;

// `width` is even.
using YuyvRowFn = void (*)(const std::uint8_t* bgra, std::uint8_t* yuyv, int width);

void BgraToYuyvRowPlain(const std::uint8_t* bgra, std::uint8_t* yuyv, int width);
void BgraToYuyvRowAVX2(const std::uint8_t* bgra, std::uint8_t* yuyv, int width);
bool CpuHasAVX2();

} // namespace output
