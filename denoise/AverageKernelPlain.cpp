#include "denoise/AverageKernels.h"

#include <array>

namespace denoise {

void AddBytesTail(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t from,
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
        wraps[g] = word;
    }
}

void AddBytesPlain(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t len)
{
    AddBytesTail(low, wraps, bytes, 0, len);
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

// Eight bits of each position counted into a 4-bit number held in four
// words: pairs to 2 bits, pairs of those to 3 bits, the two to 4 bits.
void countEight(const std::uint64_t* w, std::uint64_t (&count)[4])
{
    const BitSum a{w[0] ^ w[1], w[0] & w[1]}, b{w[2] ^ w[3], w[2] & w[3]};
    const BitSum c{w[4] ^ w[5], w[4] & w[5]}, d{w[6] ^ w[7], w[6] & w[7]};
    const BitSum ab1 = fullAdd(a.carry, b.carry, a.sum & b.sum);
    const BitSum cd1 = fullAdd(c.carry, d.carry, c.sum & d.sum);
    const std::uint64_t ab0 = a.sum ^ b.sum, cd0 = c.sum ^ d.sum;
    const BitSum s1 = fullAdd(ab1.sum, cd1.sum, ab0 & cd0);
    const BitSum s2 = fullAdd(ab1.carry, cd1.carry, s1.carry);
    count[0] = ab0 ^ cd0;
    count[1] = s1.sum;
    count[2] = s2.sum;
    count[3] = s2.carry;
}

} // namespace

// Per group: the sixteen wrap bits of each position are counted into a 5-bit
// number held in five words (two trees of bitwise adders and a 4-bit add),
// which is then added into the eight high slices with a ripple of carries.
void FlushWrapsPlain(const std::uint64_t* const* wraps, std::uint64_t* high, std::size_t blocks)
{
    static_assert(FlushPeriod == 16, "two trees count sixteen frames");
    for (std::size_t g = 0; g < blocks * 4; ++g) {
        std::uint64_t w[FlushPeriod];
        for (int p = 0; p < FlushPeriod; ++p)
            w[p] = wraps[p][g];
        std::uint64_t x[4], y[4], count[5];
        countEight(w, x);
        countEight(w + 8, y);
        std::uint64_t carry = 0;
        for (int bit = 0; bit < 4; ++bit) {
            const BitSum r = fullAdd(x[bit], y[bit], carry);
            count[bit] = r.sum;
            carry = r.carry;
        }
        count[4] = carry;

        std::uint64_t* slices = high + g / 4 * 32 + g % 4;
        carry = 0;
        for (int bit = 0; bit < 8; ++bit) {
            const BitSum r = fullAdd(slices[4 * bit], bit < 5 ? count[bit] : 0, carry);
            slices[4 * bit] = r.sum;
            carry = r.carry;
        }
    }
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

// The high bytes of the 64 sums of group g, gathered eight at a time, one
// byte per byte of a 64-bit word.
void groupHighs(const std::uint64_t* high, std::size_t g, std::uint64_t (&out)[8])
{
    const std::uint64_t* slices = high + g / 4 * 32 + g % 4;
    for (int q = 0; q < 8; ++q)
        out[q] = 0;
    for (int bit = 0; bit < 8; ++bit)
        for (int q = 0; q < 8; ++q)
            out[q] |= kByteSpread[slices[4 * bit] >> (8 * q) & 0xFF] << bit;
}

} // namespace

unsigned HighAt(const std::uint64_t* high, std::size_t i)
{
    std::uint64_t highs[8];
    groupHighs(high, i / 64, highs);
    return static_cast<unsigned>(highs[i % 64 / 8] >> (8 * (i % 8)) & 0xFF);
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
void MeanBytes(std::uint8_t* out, const std::uint8_t* low, const std::uint64_t* high, std::size_t len, int shift)
{
    const std::uint32_t half = (1u << shift) >> 1;
    std::uint64_t highs[8];
    for (std::size_t g = 0; g * 64 < len; ++g) {
        groupHighs(high, g, highs);
        for (std::size_t j = 0; j < 64 && g * 64 + j < len; ++j) {
            const std::uint32_t sum = 256 * static_cast<std::uint32_t>(highs[j / 8] >> (8 * (j % 8)) & 0xFF) + low[g * 64 + j];
            out[g * 64 + j] = static_cast<std::uint8_t>((sum + half) >> shift);
        }
    }
}

} // namespace denoise
