#pragma once
// Inner loops of the N-frame mean. The sums are laid out so that adding a
// frame moves little more memory than copying it would:
//
//   low[i]   the sum's low 8 bits, one byte per frame byte
//   wraps    a ring of WrapPlanes bit planes, one 64-bit word per group of
//            64 frame bytes: frame k writes plane k % WrapPlanes whole, bit j
//            of word g set where low[64g + j] wrapped as that frame went in.
//            The add only writes them.
//   high     the sum's high 8 bits as of the last flush, bit-sliced: per
//            block of 4 groups (256 frame bytes) 8 slices of 4 words; bit j
//            of word 32 * block + 4 * b + g % 4 is bit b of the high byte of
//            frame byte 64g + j.
//
// After frame k the stripe FlushStripe(len, k) (one WrapPlanes-th of the
// blocks) adds the wrap bits of all planes into its high slices. A stripe
// comes round once per WrapPlanes frames, just before its oldest plane is
// written again, so each wrap is added exactly once:
//
//   sum[i] = 256 * (high[i] + the wraps of i since its stripe's last flush) + low[i]
//
// 256 frames of 255 sum to 65280: the high byte never overflows. Per frame
// byte an add reads and writes one byte of low sums and writes an eighth of
// a byte of wraps; its flush reads another eighth and reads and writes a
// quarter of a byte of high slices. Counting carries in place (4-bit counts
// beside the low bytes) would read and write half a byte more per frame
// byte. The variants give identical words.

#include "denoise/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace denoise {

inline constexpr int WrapPlanes = 8;

struct SumPlanes {
    std::uint8_t* low;
    std::uint64_t* wraps; // WrapPlanes planes of PlaneWords(len) words
    std::uint64_t* high;  // HighWords(len) words

    static constexpr std::size_t Groups(std::size_t len) { return (len + 63) / 64; }
    static constexpr std::size_t Blocks(std::size_t len) { return (len + 255) / 256; }
    // Whole blocks, so that a flush may read four words at a time.
    static constexpr std::size_t PlaneWords(std::size_t len) { return Blocks(len) * 4; }
    static constexpr std::size_t HighWords(std::size_t len) { return Blocks(len) * 32; }

    std::uint64_t* plane(int frame) const { return wraps + static_cast<std::size_t>(frame % WrapPlanes) * planeWords; }

    std::size_t planeWords;
};

// Adds `len` frame bytes into `low` and writes their wrap bits into `plane`
// (words beyond the last group are left alone).
using AddBytesFn = void (*)(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t len);
// Adds the wrap bits of all planes of blocks [from, to) into their high
// slices.
using FlushWrapsFn = void (*)(const SumPlanes& sums, std::size_t from, std::size_t to);

struct BlockRange {
    std::size_t from;
    std::size_t to;
};
// The blocks of `len` sums that are flushed after frame `frame`.
BlockRange FlushStripe(std::size_t len, int frame);

void AddBytesPlain(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t len);
void AddBytesSSE2(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t len);
void AddBytesAVX2(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t len);
AddBytesFn AddBytesFor(Path p);

void FlushWrapsPlain(const SumPlanes& sums, std::size_t from, std::size_t to);
void FlushWrapsAVX2(const SumPlanes& sums, std::size_t from, std::size_t to);
FlushWrapsFn FlushWrapsFor(Path p);

// The sum of frame byte i once `frames` frames are in.
unsigned SumAt(const SumPlanes& sums, std::size_t len, std::size_t i, int frames);

// out[i] = (sum[i] + (1 << shift >> 1)) >> shift once `frames` frames are
// in: the rounded mean of 2^shift values with halves up; shift in 0..8.
void MeanBytes(std::uint8_t* out, const SumPlanes& sums, std::size_t len, int shift, int frames);

// The plain add from byte `from` on, for the vector kernels' tails; `from`
// is a multiple of 64.
void AddBytesTail(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t from,
                  std::size_t len);

} // namespace denoise
