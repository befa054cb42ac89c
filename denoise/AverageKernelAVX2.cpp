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

} // namespace

// Two groups per step.
TARGET_AVX2 void AddBytesAVX2(std::uint8_t* low, std::uint64_t* plane, const std::uint8_t* bytes, std::size_t len)
{
    std::size_t i = 0;
    for (; i + 128 <= len; i += 128) {
        plane[i / 64] = addGroup(low + i, bytes + i);
        plane[i / 64 + 1] = addGroup(low + i + 64, bytes + i + 64);
    }
    if (i + 64 <= len) {
        plane[i / 64] = addGroup(low + i, bytes + i);
        i += 64;
    }
    AddBytesTail(low, plane, bytes, i, len);
}

// The plain flush with a block's four groups side by side in one vector.
TARGET_AVX2 void FlushWrapsAVX2(const SumPlanes& sums, std::size_t from, std::size_t to)
{
    static_assert(WrapPlanes == 8, "the adder tree counts eight planes");
    for (std::size_t block = from; block < to; ++block) {
        __m256i w[WrapPlanes];
        for (int p = 0; p < WrapPlanes; ++p)
            w[p] = _mm256_loadu_si256(
                reinterpret_cast<const __m256i*>(sums.wraps + static_cast<std::size_t>(p) * sums.planeWords + block * 4));
        const Bits a = halfAdd(w[0], w[1]), b = halfAdd(w[2], w[3]);
        const Bits c = halfAdd(w[4], w[5]), d = halfAdd(w[6], w[7]);
        const Bits ab1 = fullAdd(a.carry, b.carry, _mm256_and_si256(a.sum, b.sum));
        const Bits cd1 = fullAdd(c.carry, d.carry, _mm256_and_si256(c.sum, d.sum));
        const __m256i ab0 = _mm256_xor_si256(a.sum, b.sum), cd0 = _mm256_xor_si256(c.sum, d.sum);
        const Bits s1 = fullAdd(ab1.sum, cd1.sum, _mm256_and_si256(ab0, cd0));
        const Bits s2 = fullAdd(ab1.carry, cd1.carry, s1.carry);
        const __m256i count[4] = {_mm256_xor_si256(ab0, cd0), s1.sum, s2.sum, s2.carry};

        auto* high = reinterpret_cast<__m256i*>(sums.high + block * 32);
        __m256i carry = _mm256_setzero_si256();
        for (int bit = 0; bit < 8; ++bit) {
            const __m256i h = _mm256_loadu_si256(high + bit);
            const Bits r = bit < 4 ? fullAdd(h, count[bit], carry) : halfAdd(h, carry);
            _mm256_storeu_si256(high + bit, r.sum);
            carry = r.carry;
        }
    }
}

} // namespace denoise
