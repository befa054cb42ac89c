#include "denoise/AverageKernels.h"

#include <immintrin.h>

namespace denoise {

namespace {

// 1 on each byte whose low sum wrapped: see the SSE2 kernel.
__attribute__((target("avx2"))) inline __m256i wrapped(__m256i low, __m256i bytes, __m256i one)
{
    return _mm256_add_epi8(_mm256_cmpeq_epi8(_mm256_max_epu8(low, bytes), low), one);
}

} // namespace

// A group of 64 bytes per step: two vectors of low sums and the one vector
// of carry nibbles that belongs to them.
__attribute__((target("avx2"))) void AddBytesAVX2(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len)
{
    const __m256i one = _mm256_set1_epi8(1);
    std::size_t i = 0;
    for (; i + 64 <= len; i += 64) {
        auto* low = reinterpret_cast<__m256i*>(sums.low + i);
        auto* carries = reinterpret_cast<__m256i*>(sums.carries + i / 2);
        const auto* b = reinterpret_cast<const __m256i*>(bytes + i);
        const __m256i add0 = _mm256_loadu_si256(b), add1 = _mm256_loadu_si256(b + 1);
        const __m256i sum0 = _mm256_add_epi8(_mm256_loadu_si256(low), add0);
        const __m256i sum1 = _mm256_add_epi8(_mm256_loadu_si256(low + 1), add1);
        _mm256_storeu_si256(low, sum0);
        _mm256_storeu_si256(low + 1, sum1);
        // Counts stay below 16, so a shifted 1 never leaves its nibble.
        const __m256i w = _mm256_or_si256(wrapped(sum0, add0, one), _mm256_slli_epi16(wrapped(sum1, add1, one), 4));
        _mm256_storeu_si256(carries, _mm256_add_epi8(_mm256_loadu_si256(carries), w));
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
