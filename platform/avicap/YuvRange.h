#pragma once
// Stretches limited-range Y'CbCr codes (Y' 16..235, Cb and Cr 16..240) to
// the full 0..255 range, so that a full-range conversion can follow.

#include <cstddef>
#include <cstdint>

namespace avicap {

void ExpandLuma(const std::uint8_t* from, std::uint8_t* to, std::size_t count);
void ExpandChroma(const std::uint8_t* from, std::uint8_t* to, std::size_t count);

} // namespace avicap
