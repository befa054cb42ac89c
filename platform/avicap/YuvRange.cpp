#include "platform/avicap/YuvRange.h"

// Both loops are written so that the compiler turns them into vector code
// (this file is built with -O3); the factors carry 16 fractional bits.

namespace avicap {

namespace {

inline std::uint8_t clampByte(int v)
{
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

void ExpandLuma(const std::uint8_t* from, std::uint8_t* to, std::size_t count)
{
    // 255 / 219
    for (std::size_t i = 0; i < count; ++i)
        to[i] = clampByte(((from[i] - 16) * 76309 + 32768) >> 16);
}

void ExpandChroma(const std::uint8_t* from, std::uint8_t* to, std::size_t count)
{
    // 255 / 224 about 128
    for (std::size_t i = 0; i < count; ++i)
        to[i] = clampByte((((from[i] - 128) * 74606 + 32768) >> 16) + 128);
}

} // namespace avicap
