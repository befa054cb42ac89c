#pragma once
// The format block of the frames every camera driver hands out: 24-bit BGR,
// bottom-up rows with the 4-byte-aligned stride, in a BITMAPINFOHEADER.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camera {

// The bytes of one frame of width x height pixels; 0 for an empty size.
std::size_t BgrImageBytes(int width, int height);

// The BITMAPINFOHEADER that describes such frames.
std::vector<std::uint8_t> BgrFormatBlock(int width, int height);

} // namespace camera
