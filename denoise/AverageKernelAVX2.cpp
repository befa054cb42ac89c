#include "denoise/AverageKernels.h"

#include <immintrin.h>

namespace denoise {

namespace {

// 0xFF on each byte whose low sum did not wrap when `bytes` went in: a sum
// that wrapped is below the byte added, so that max(low, byte) is not low.
__attribute__((target("avx2"), always_inline)) inline __m256i kept(__m256i low, __m256i bytes)
{
    return _mm256_cmpeq_epi8(_mm256_max_epu8(low, bytes), low);
}

// One group of 64 bytes: two vectors of low sums and the one vector of carry
// nibbles that belongs to them.
__attribute__((target("avx2"), always_inline)) inline void addGroup(const SumPlanes& sums, const std::uint8_t* bytes,
                                                                    std::size_t i, __m256i nibbleStep, __m256i highNibble)
{
    auto* low = reinterpret_cast<__m256i*>(sums.low + i);
    auto* carries = reinterpret_cast<__m256i*>(sums.carries + i / 2);
    const auto* b = reinterpret_cast<const __m256i*>(bytes + i);
    const __m256i add0 = _mm256_loadu_si256(b), add1 = _mm256_loadu_si256(b + 1);
    const __m256i sum0 = _mm256_add_epi8(_mm256_loadu_si256(low), add0);
    const __m256i sum1 = _mm256_add_epi8(_mm256_loadu_si256(low + 1), add1);
    _mm256_storeu_si256(low, sum0);
    _mm256_storeu_si256(low + 1, sum1);
    // Each count byte gains 0x11 less 0x01 where the first vector's byte
    // kept (0xFF is -1) and less 0x10 where the second's did (0xF0 is -16).
    // Counts stay below 16, so nothing crosses from one nibble to the other.
    const __m256i step = _mm256_add_epi8(
        _mm256_add_epi8(nibbleStep, kept(sum0, add0)), _mm256_and_si256(kept(sum1, add1), highNibble));
    _mm256_storeu_si256(carries, _mm256_add_epi8(_mm256_loadu_si256(carries), step));
}

} // namespace

// Two groups per step.
__attribute__((target("avx2"))) void AddBytesAVX2(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len)
{
    const __m256i nibbleStep = _mm256_set1_epi8(0x11);
    const __m256i highNibble = _mm256_set1_epi8(static_cast<char>(0xF0));
    std::size_t i = 0;
    for (; i + 128 <= len; i += 128) {
        addGroup(sums, bytes, i, nibbleStep, highNibble);
        addGroup(sums, bytes, i + 64, nibbleStep, highNibble);
    }
    if (i + 64 <= len) {
        addGroup(sums, bytes, i, nibbleStep, highNibble);
        i += 64;
    }
    AddBytesTail(sums, bytes, i, len);
}

__attribute__((target("avx2"))) void FlushCarriesAVX2(const SumPlanes& sums, std::size_t from, std::size_t to)
{
    const __m256i nibble = _mm256_set1_epi8(15);
    std::size_t i = from;
    for (; i + 64 <= to; i += 64) {
        auto* high = reinterpret_cast<__m256i*>(sums.high + i);
        auto* carries = reinterpret_cast<__m256i*>(sums.carries + i / 2);
        const __m256i c = _mm256_loadu_si256(carries);
        _mm256_storeu_si256(high, _mm256_add_epi8(_mm256_loadu_si256(high), _mm256_and_si256(c, nibble)));
        _mm256_storeu_si256(high + 1, _mm256_add_epi8(_mm256_loadu_si256(high + 1),
                                                      _mm256_and_si256(_mm256_srli_epi16(c, 4), nibble)));
        _mm256_storeu_si256(carries, _mm256_setzero_si256());
    }
    FlushCarriesTail(sums, i, to);
}

} // namespace denoise
