#include "denoise/AverageKernels.h"

#include <immintrin.h>

#define TARGET_AVX2 __attribute__((target("avx2")))
#define INLINE_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace denoise {

namespace {

// The movemask of the bytes whose low sum did not wrap when `bytes` went in:
// a sum that wrapped is below the byte added, so that max(low, byte) is not
// low.
INLINE_AVX2 std::uint64_t keptBits(__m256i low, __m256i bytes)
{
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(_mm256_max_epu8(low, bytes), low)));
}

INLINE_AVX2 std::uint64_t addGroup(std::uint8_t* low, const std::uint8_t* bytes)
{
    auto* l = reinterpret_cast<__m256i*>(low);
    const auto* b = reinterpret_cast<const __m256i*>(bytes);
    const __m256i add0 = _mm256_loadu_si256(b), add1 = _mm256_loadu_si256(b + 1);
    const __m256i sum0 = _mm256_add_epi8(_mm256_loadu_si256(l), add0);
    const __m256i sum1 = _mm256_add_epi8(_mm256_loadu_si256(l + 1), add1);
    _mm256_storeu_si256(l, sum0);
    _mm256_storeu_si256(l + 1, sum1);
    return ~(keptBits(sum0, add0) | keptBits(sum1, add1) << 32);
}

struct Bits {
    __m256i sum;
    __m256i carry;
};

INLINE_AVX2 Bits fullAdd(__m256i a, __m256i b, __m256i c)
{
    const __m256i half = _mm256_xor_si256(a, b);
    return Bits{_mm256_xor_si256(half, c), _mm256_or_si256(_mm256_and_si256(a, b), _mm256_and_si256(c, half))};
}

INLINE_AVX2 Bits halfAdd(__m256i a, __m256i b)
{
    return Bits{_mm256_xor_si256(a, b), _mm256_and_si256(a, b)};
}

// Eight vectors of bits counted into a 4-bit number per position, as the
// plain flush does on words.
INLINE_AVX2 void countEight(const __m256i* w, __m256i (&count)[4])
{
    const Bits a = halfAdd(w[0], w[1]), b = halfAdd(w[2], w[3]);
    const Bits c = halfAdd(w[4], w[5]), d = halfAdd(w[6], w[7]);
    const Bits ab1 = fullAdd(a.carry, b.carry, _mm256_and_si256(a.sum, b.sum));
    const Bits cd1 = fullAdd(c.carry, d.carry, _mm256_and_si256(c.sum, d.sum));
    const __m256i ab0 = _mm256_xor_si256(a.sum, b.sum), cd0 = _mm256_xor_si256(c.sum, d.sum);
    const Bits s1 = fullAdd(ab1.sum, cd1.sum, _mm256_and_si256(ab0, cd0));
    const Bits s2 = fullAdd(ab1.carry, cd1.carry, s1.carry);
    count[0] = _mm256_xor_si256(ab0, cd0);
    count[1] = s1.sum;
    count[2] = s2.sum;
    count[3] = s2.carry;
}

INLINE_AVX2 void loadEight(const std::uint64_t* const* wraps, std::size_t block, __m256i (&w)[8])
{
    for (int p = 0; p < 8; ++p)
        w[p] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(wraps[p] + block * 4));
}

} // namespace

// Two groups per step.
TARGET_AVX2 void AddBytesAVX2(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t len)
{
    std::size_t i = 0;
    for (; i + 128 <= len; i += 128) {
        wraps[i / 64] = addGroup(low + i, bytes + i);
        wraps[i / 64 + 1] = addGroup(low + i + 64, bytes + i + 64);
    }
    if (i + 64 <= len) {
        wraps[i / 64] = addGroup(low + i, bytes + i);
        i += 64;
    }
    AddBytesTail(low, wraps, bytes, i, len);
}

// The plain flush with a block's four groups side by side in one vector.
TARGET_AVX2 void FlushWrapsAVX2(const std::uint64_t* const* wraps, std::uint64_t* high, std::size_t blocks)
{
    static_assert(FlushPeriod == 16, "two trees count sixteen frames");
    for (std::size_t block = 0; block < blocks; ++block) {
        __m256i w[8], x[4], y[4], count[5];
        loadEight(wraps, block, w);
        countEight(w, x);
        loadEight(wraps + 8, block, w);
        countEight(w, y);
        __m256i carry = _mm256_setzero_si256();
        for (int bit = 0; bit < 4; ++bit) {
            const Bits r = bit == 0 ? halfAdd(x[0], y[0]) : fullAdd(x[bit], y[bit], carry);
            count[bit] = r.sum;
            carry = r.carry;
        }
        count[4] = carry;

        auto* slices = reinterpret_cast<__m256i*>(high + block * 32);
        carry = _mm256_setzero_si256();
        for (int bit = 0; bit < 8; ++bit) {
            const __m256i h = _mm256_loadu_si256(slices + bit);
            const Bits r = bit == 0 ? halfAdd(h, count[0]) : bit < 5 ? fullAdd(h, count[bit], carry) : halfAdd(h, carry);
            _mm256_storeu_si256(slices + bit, r.sum);
            carry = r.carry;
        }
    }
}

} // namespace denoise
