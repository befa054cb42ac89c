#pragma once
// Inner loops of the N-frame mean. The sums are laid out so that adding a
// frame moves little more memory than copying it would:
//
//   low[i]   the sum's low 8 bits, one byte per frame byte
//   wraps    for each frame not yet flushed, one 64-bit word per group of 64
//            frame bytes: bit j of word g set where low[64g + j] wrapped as
//            that frame went in. The add only writes them.
//   high     the sum's high 8 bits as of the last flush, bit-sliced: per
//            block of 4 groups (256 frame bytes) 8 slices of 4 words; bit j
//            of word 32 * block + 4 * b + g % 4 is bit b of the high byte of
//            frame byte 64g + j.
//
// A flush adds the wrap bits of FlushPeriod frames into the high slices of a
// run of blocks: per group a tree of bitwise adders counts them into a
// 5-bit number, which a ripple of carries adds into the slices. WrapPool.h
// says which blocks are flushed when; so that
//
//   sum[i] = 256 * (high[i] + the wraps of i not yet flushed) + low[i].
//
// 256 frames of 255 sum to 65280: the high byte never overflows. Per frame
// byte an add reads and writes one byte of low sums and writes an eighth of
// a byte of wraps; its flush reads another eighth, and reads and writes a
// sixteenth of a byte of high slices. The variants give identical words.

#include "denoise/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace denoise {

// The frames whose wraps one flush adds, and so the number of stripes that
// take turns.
inline constexpr int FlushPeriod = 16;

inline constexpr std::size_t BlocksOf(std::size_t len) { return (len + 255) / 256; }
inline constexpr std::size_t HighWordsOf(std::size_t len) { return BlocksOf(len) * 32; }

// Adds `len` frame bytes into `low` and writes their wrap bits into
// `wraps`, one word per group of 64 bytes begun.
using AddBytesFn = void (*)(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t len);
// Adds the wrap bits of FlushPeriod frames, wraps[p][0, 4 * blocks) for
// each, into `blocks` blocks of high slices.
using FlushWrapsFn = void (*)(const std::uint64_t* const* wraps, std::uint64_t* high, std::size_t blocks);

void AddBytesPlain(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t len);
void AddBytesSSE2(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t len);
void AddBytesAVX2(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t len);
AddBytesFn AddBytesFor(Path p);

void FlushWrapsPlain(const std::uint64_t* const* wraps, std::uint64_t* high, std::size_t blocks);
void FlushWrapsAVX2(const std::uint64_t* const* wraps, std::uint64_t* high, std::size_t blocks);
FlushWrapsFn FlushWrapsFor(Path p);

// The high byte of sum i as of the last flush.
unsigned HighAt(const std::uint64_t* high, std::size_t i);

// out[i] = (sum[i] + (1 << shift >> 1)) >> shift with every wrap flushed:
// the rounded mean of 2^shift values with halves up; shift in 0..8.
void MeanBytes(std::uint8_t* out, const std::uint8_t* low, const std::uint64_t* high, std::size_t len, int shift);

// The plain add from byte `from` on, for the vector kernels' tails; `from`
// is a multiple of 64.
void AddBytesTail(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t from,
                  std::size_t len);

} // namespace denoise
