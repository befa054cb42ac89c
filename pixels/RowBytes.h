#pragma once
// The bytes one row of an uncompressed camera format holds without padding:
// what a row length a device or a PipeWire node names must reach at least.

#include <cstddef>
#include <cstdint>

namespace pixels {

// Of the luma plane where the format has planes, and enough for the
// interleaved colour rows of NV12 and NV21 that share its length. Formats
// not named here (grey, Bayer) hold a byte a pixel.
std::size_t RowBytes(std::uint32_t fourcc, std::size_t width);

} // namespace pixels
