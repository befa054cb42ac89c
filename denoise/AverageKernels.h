#pragma once
// Inner loops of the N-frame mean. The variants give identical results.
//   AddBytes:  sums[i] += bytes[i] for i < len (16-bit sums; the caller keeps
//              them below 65536, which 256 frames of 255 do: 65280)
//   MeanBytes: out[i] = (sums[i] + (1 << shift >> 1)) >> shift, the rounded
//              mean of 2^shift values with halves rounded up; shift in 0..8

#include "denoise/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace denoise {

using AddBytesFn = void (*)(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len);

void AddBytesPlain(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len);
void AddBytesSSE2(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len);
void AddBytesAVX2(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len);
AddBytesFn AddBytesFor(Path p);

void MeanBytes(std::uint8_t* out, const std::uint16_t* sums, std::size_t len, int shift);

} // namespace denoise
