#pragma once
// Inner loops of the N-frame mean. The sums live in three byte planes, so
// that adding a frame moves less memory than 16-bit sums would: per frame
// byte its low byte is read and written, and half a byte of carry counts,
// where a 16-bit sum would be two bytes each way.
//
//   low[i]     the sum's low 8 bits
//   carries    per byte a 4-bit count of how often low[i] wrapped since the
//              last flush: byte 64g + j (j < 32) in the low nibble of
//              carries[32g + j], byte 64g + 32 + j in its high nibble
//   high[i]    the sum's high 8 bits as of the last flush
//
//   sum[i] = 256 * (high[i] + carries(i)) + low[i]
//
// AddBytes adds one frame; a count can reach 15 only after 15 frames, so
// FlushCarries moves the counts of a range into `high` (and clears them)
// at least every 15 frames. FlushStripe spreads that work evenly: after
// frame k (from 0) the stripe FlushStripe(len, k) is flushed, and every
// byte's stripe comes round once in 15 frames. 256 frames of 255 sum to
// 65280: high + carries stays below 256.
// MeanBytes: out[i] = (sum[i] + (1 << shift >> 1)) >> shift, the rounded
// mean of 2^shift values with halves up; shift in 0..8.
// All planes are worked on from their start; the variants give identical
// bytes.

#include "denoise/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace denoise {

struct SumPlanes {
    std::uint8_t* low;
    std::uint8_t* carries;
    std::uint8_t* high;

    // Bytes of `carries` for `len` frame bytes: whole groups of 64.
    static constexpr std::size_t CarryBytes(std::size_t len) { return (len + 63) / 64 * 32; }
};

// The carry count of byte i.
inline unsigned CarryCount(const std::uint8_t* carries, std::size_t i)
{
    const std::uint8_t pair = carries[i / 64 * 32 + i % 32];
    return i % 64 < 32 ? pair & 15u : pair >> 4;
}

inline constexpr int FramesPerFlush = 15;

using AddBytesFn = void (*)(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len);
// Flushes bytes [from, to): `from` a multiple of 64, `to` one too or the
// end of the sums.
using FlushCarriesFn = void (*)(const SumPlanes& sums, std::size_t from, std::size_t to);

struct ByteRange {
    std::size_t from;
    std::size_t to;
};
// The fifteenth of `len` sums, in whole groups of 64, that is flushed after
// frame `frame`.
ByteRange FlushStripe(std::size_t len, int frame);

void AddBytesPlain(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len);
void AddBytesSSE2(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len);
void AddBytesAVX2(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len);
AddBytesFn AddBytesFor(Path p);

void FlushCarriesPlain(const SumPlanes& sums, std::size_t from, std::size_t to);
void FlushCarriesSSE2(const SumPlanes& sums, std::size_t from, std::size_t to);
void FlushCarriesAVX2(const SumPlanes& sums, std::size_t from, std::size_t to);
FlushCarriesFn FlushCarriesFor(Path p);

void MeanBytes(std::uint8_t* out, const SumPlanes& sums, std::size_t len, int shift);

// The plain loops from byte `from` on, for the vector kernels' tails;
// `from` is a multiple of 64.
void AddBytesTail(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t from, std::size_t len);
void FlushCarriesTail(const SumPlanes& sums, std::size_t from, std::size_t to);

} // namespace denoise
