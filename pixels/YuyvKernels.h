#pragma once
// Rows of 24-bit BGR pixels to YUYV, limited-range BT.601, rounded to the
// nearest code. Results carry 15 fraction bits before rounding; a pair's
// chroma is worked out from the sum of both pixels, with half weights. The
// variants give identical bytes.

#include <cstdint>

namespace pixels {

// Fixed-point weights: round(32768 * 219/255 * Kr|Kg|Kb) for luma and
// round(16384 * 224/255 * ...) for the two colour differences of a pixel
// pair (each of those rows sums to zero, so grey has no colour).
inline constexpr int YR = 8414, YG = 16519, YB = 3208;
inline constexpr int UR = -2428, UG = -4768, UB = 7196;
inline constexpr int VR = 7196, VG = -6026, VB = -1170;
// The offsets 16 and 128 go in before the shift, with half a step, so that
// the arithmetic shift rounds half up.
inline constexpr int YOffset = (16 << 15) + (1 << 14);
inline constexpr int COffset = (128 << 15) + (1 << 14);

// `width` is even; `bgr` holds `width` pixels.
using YuyvRowFn = void (*)(const std::uint8_t* bgr, std::uint8_t* yuyv, int width);

void BgrToYuyvRowPlain(const std::uint8_t* bgr, std::uint8_t* yuyv, int width);
void BgrToYuyvRowAVX2(const std::uint8_t* bgr, std::uint8_t* yuyv, int width);

} // namespace pixels
