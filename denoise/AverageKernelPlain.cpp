#include "denoise/AverageKernels.h"

#include <algorithm>
#include <array>

namespace denoise {

void AddBytesTail(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t from,
                  std::size_t len)
{
    for (std::size_t g = from / 64; g * 64 < len; ++g) {
        std::uint64_t word = 0;
        for (std::size_t j = 0; j < 64 && g * 64 + j < len; ++j) {
            const std::size_t i = g * 64 + j;
            low[i] = static_cast<std::uint8_t>(low[i] + bytes[i]);
            if (low[i] < bytes[i]) // wrapped
                word |= std::uint64_t{1} << j;
        }
        plane[g] = word;
    }
}

void AddBytesPlain(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t len)
{
    AddBytesTail(low, plane, bytes, 0, len);
}

namespace {

// a + b + carry in, bit by bit, for 64 positions at once.
struct BitSum {
    std::uint64_t sum;
    std::uint64_t carry;
};

inline BitSum fullAdd(std::uint64_t a, std::uint64_t b, std::uint64_t c)
{
    const std::uint64_t half = a ^ b;
    return BitSum{half ^ c, (a & b) | (c & half)};
}

} // namespace

// Per group: the eight wrap bits of each position are counted into a 4-bit
// number held in four words (a tree of bitwise adders), which is then added
// into the eight high slices with a ripple of carries.
void FlushWrapsPlain(const SumPlanes& sums, std::size_t from, std::size_t to)
{
    static_assert(WrapPlanes == 8, "the adder tree counts eight planes");
    for (std::size_t g = from * 4; g < to * 4; ++g) {
        std::uint64_t w[WrapPlanes];
        for (int p = 0; p < WrapPlanes; ++p)
            w[p] = sums.wraps[static_cast<std::size_t>(p) * sums.planeWords + g];
        // Pairs to 2 bits, pairs of those to 3 bits, the two to 4 bits.
        const BitSum a{w[0] ^ w[1], w[0] & w[1]}, b{w[2] ^ w[3], w[2] & w[3]};
        const BitSum c{w[4] ^ w[5], w[4] & w[5]}, d{w[6] ^ w[7], w[6] & w[7]};
        const BitSum ab1 = fullAdd(a.carry, b.carry, a.sum & b.sum);
        const BitSum cd1 = fullAdd(c.carry, d.carry, c.sum & d.sum);
        const std::uint64_t ab0 = a.sum ^ b.sum, cd0 = c.sum ^ d.sum;
        const BitSum s1 = fullAdd(ab1.sum, cd1.sum, ab0 & cd0);
        const BitSum s2 = fullAdd(ab1.carry, cd1.carry, s1.carry);
        const std::uint64_t count[4] = {ab0 ^ cd0, s1.sum, s2.sum, s2.carry};

        std::uint64_t* high = sums.high + g / 4 * 32 + g % 4;
        std::uint64_t carry = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const BitSum r = fullAdd(high[4 * bit], bit < 4 ? count[bit] : 0, carry);
            high[4 * bit] = r.sum;
            carry = r.carry;
        }
    }
}

BlockRange FlushStripe(std::size_t len, int frame)
{
    const std::size_t blocks = SumPlanes::Blocks(len);
    const auto stripe = static_cast<std::size_t>(frame % WrapPlanes);
    return BlockRange{blocks * stripe / WrapPlanes, blocks * (stripe + 1) / WrapPlanes};
}

namespace {

// 0x01 in byte k of the result for each bit k set in `bits`.
constexpr std::array<std::uint64_t, 256> MakeByteSpread()
{
    std::array<std::uint64_t, 256> table{};
    for (unsigned bits = 0; bits < 256; ++bits)
        for (unsigned k = 0; k < 8; ++k)
            if (bits >> k & 1)
                table[bits] |= std::uint64_t{1} << (8 * k);
    return table;
}
constexpr std::array<std::uint64_t, 256> kByteSpread = MakeByteSpread();

// The sums of the 64 bytes of group g once `frames` frames are in. The high
// bytes are gathered eight at a time, one byte per byte of a 64-bit word;
// none exceeds 255, so nothing carries from one into the next.
void groupSums(const SumPlanes& sums, std::size_t len, std::size_t g, int frames, unsigned (&sum)[64])
{
    std::uint64_t high[8] = {};
    const std::uint64_t* slices = sums.high + g / 4 * 32 + g % 4;
    for (int bit = 0; bit < 8; ++bit)
        for (int q = 0; q < 8; ++q)
            high[q] |= kByteSpread[slices[4 * bit] >> (8 * q) & 0xFF] << bit;
    // The wraps since the last flush of the group's stripe: that was after
    // the last frame k with k % WrapPlanes == stripe, if there was one.
    int stripe = 0;
    while (stripe + 1 < WrapPlanes && FlushStripe(len, stripe).to <= g / 4)
        ++stripe;
    const int since = frames > stripe ? stripe + (frames - 1 - stripe) / WrapPlanes * WrapPlanes + 1 : 0;
    for (int k = since; k < frames; ++k) {
        const std::uint64_t word = sums.plane(k)[g];
        for (int q = 0; q < 8; ++q)
            high[q] += kByteSpread[word >> (8 * q) & 0xFF];
    }
    for (std::size_t j = 0; j < 64 && g * 64 + j < len; ++j)
        sum[j] = 256 * static_cast<unsigned>(high[j / 8] >> (8 * (j % 8)) & 0xFF) + sums.low[g * 64 + j];
}

} // namespace

unsigned SumAt(const SumPlanes& sums, std::size_t len, std::size_t i, int frames)
{
    unsigned sum[64];
    groupSums(sums, len, i / 64, frames, sum);
    return sum[i % 64];
}

AddBytesFn AddBytesFor(Path p)
{
    switch (p) {
    case Path::AVX2:
        return AddBytesAVX2;
    case Path::SSE2:
        return AddBytesSSE2;
    case Path::Plain:
        break;
    }
    return AddBytesPlain;
}

FlushWrapsFn FlushWrapsFor(Path p)
{
    return p == Path::AVX2 ? FlushWrapsAVX2 : FlushWrapsPlain;
}

// Runs once per still, not per frame: the plain loop is fast enough.
void MeanBytes(std::uint8_t* out, const SumPlanes& sums, std::size_t len, int shift, int frames)
{
    const std::uint32_t half = (1u << shift) >> 1;
    unsigned sum[64];
    for (std::size_t g = 0; g * 64 < len; ++g) {
        groupSums(sums, len, g, frames, sum);
        for (std::size_t j = 0; j < 64 && g * 64 + j < len; ++j)
            out[g * 64 + j] = static_cast<std::uint8_t>((sum[j] + half) >> shift);
    }
}

} // namespace denoise
