#include "denoise/AverageKernels.h"

#include <emmintrin.h>

namespace denoise {

namespace {

// 1 on each byte whose low sum wrapped when `bytes` went in: the new low
// byte is then below the byte added (unsigned), i.e. max(low, byte) != low.
inline __m128i wrapped(__m128i low, __m128i bytes, __m128i one)
{
    return _mm_add_epi8(_mm_cmpeq_epi8(_mm_max_epu8(low, bytes), low), one);
}

} // namespace

// A group of 64 bytes per step: four vectors of low sums, and the two
// vectors of carry nibbles that belong to them.
void AddBytesSSE2(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len)
{
    const __m128i one = _mm_set1_epi8(1);
    std::size_t i = 0;
    for (; i + 64 <= len; i += 64) {
        auto* low = reinterpret_cast<__m128i*>(sums.low + i);
        auto* carries = reinterpret_cast<__m128i*>(sums.carries + i / 2);
        const auto* b = reinterpret_cast<const __m128i*>(bytes + i);
        __m128i w[4];
        for (int k = 0; k < 4; ++k) {
            const __m128i add = _mm_loadu_si128(b + k);
            const __m128i sum = _mm_add_epi8(_mm_loadu_si128(low + k), add);
            _mm_storeu_si128(low + k, sum);
            w[k] = wrapped(sum, add, one);
        }
        // Counts stay below 16, so a shifted 1 never leaves its nibble.
        for (int k = 0; k < 2; ++k)
            _mm_storeu_si128(carries + k, _mm_add_epi8(_mm_loadu_si128(carries + k),
                                                       _mm_or_si128(w[k], _mm_slli_epi16(w[k + 2], 4))));
    }
    AddBytesTail(sums, bytes, i, len);
}

void FlushCarriesSSE2(const SumPlanes& sums, std::size_t from, std::size_t to)
{
    const __m128i nibble = _mm_set1_epi8(15);
    std::size_t i = from;
    for (; i + 64 <= to; i += 64) {
        auto* high = reinterpret_cast<__m128i*>(sums.high + i);
        auto* carries = reinterpret_cast<__m128i*>(sums.carries + i / 2);
        for (int k = 0; k < 2; ++k) {
            const __m128i c = _mm_loadu_si128(carries + k);
            _mm_storeu_si128(high + k, _mm_add_epi8(_mm_loadu_si128(high + k), _mm_and_si128(c, nibble)));
            _mm_storeu_si128(high + k + 2,
                             _mm_add_epi8(_mm_loadu_si128(high + k + 2), _mm_and_si128(_mm_srli_epi16(c, 4), nibble)));
            _mm_storeu_si128(carries + k, _mm_setzero_si128());
        }
    }
    FlushCarriesTail(sums, i, to);
}

} // namespace denoise
