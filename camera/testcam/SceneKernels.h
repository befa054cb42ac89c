#pragma once
// The one pass the test scene makes over every byte of a frame: a lit row
// of the still picture plus noise, saturated to 0..255. The variants give
// identical bytes; the fastest one the processor has is chosen at start.

#include <cstddef>
#include <cstdint>

namespace camera {

// out[i] = clamp((lit[i] ^ 0x80) + noise[i], 0, 255) for n bytes. The lit
// row is kept with its top bit flipped, so that a signed saturating add does
// the clamping.
using NoisyRowFn = void (*)(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out, std::size_t n);

void NoisyRowPlain(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out, std::size_t n);
void NoisyRowSSE2(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out, std::size_t n);
void NoisyRowAVX2(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out, std::size_t n);

// The variant for this processor.
NoisyRowFn NoisyRow();

} // namespace camera
