#include "denoise/AverageKernels.h"

#include <immintrin.h>

namespace denoise {

// vpmovzxbw widens 16 bytes to 16 lanes in order, so the sums stay in the
// bytes' order without the lane shuffle that unpacking would need.
__attribute__((target("avx2"))) void AddBytesAVX2(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len)
{
    std::size_t i = 0;
    for (; i + 32 <= len; i += 32) {
        const __m256i lo = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i)));
        const __m256i hi = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16)));
        auto* s = reinterpret_cast<__m256i*>(sums + i);
        _mm256_storeu_si256(s, _mm256_add_epi16(_mm256_loadu_si256(s), lo));
        _mm256_storeu_si256(s + 1, _mm256_add_epi16(_mm256_loadu_si256(s + 1), hi));
    }
    if (i < len)
        AddBytesSSE2(sums + i, bytes + i, len - i);
}

} // namespace denoise
