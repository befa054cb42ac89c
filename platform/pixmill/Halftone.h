#pragma once
// Halftoning of 24-bit pictures to an 8-bit colour cube, for screens that show
// 256 colours or fewer.

#include "records/WinTypes.h"

#include <cstdint>

namespace pixmill {

struct PixelView {
    const std::uint8_t* bits;
    std::int32_t rowbytes;
    int width;
    int height;
};

// Six levels per channel: index = r * 36 + g * 6 + b.
inline constexpr int kCubeLevels = 6;
inline constexpr int kCubeColors = kCubeLevels * kCubeLevels * kCubeLevels;

// The header and colour table every halftoned picture carries.
BITMAPINFO* halftoneFormat();
// The same colours as a logical palette, shared by all pictures; never freed.
HPALETTE halftonePalette();

// Resamples src to width x height and writes cube indices, ordered-dithered,
// into dst (rows of dstRowbytes bytes, memory order like src).
void halftoneInto(const PixelView& src, std::uint8_t* dst, std::int32_t dstRowbytes, int width, int height);

} // namespace pixmill
