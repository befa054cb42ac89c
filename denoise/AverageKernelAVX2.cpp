#include "denoise/AverageKernels.h"

#include <immintrin.h>

namespace denoise {

namespace {

// How far ahead the loop asks for the frame and the sums. The work per byte
// is tiny, so the loop runs at the speed memory delivers; asking early keeps
// more lines on their way than the hardware prefetcher does for three
// streams at once.
constexpr std::size_t Ahead = 2048;

} // namespace

// vpmovzxbw widens 16 bytes to 16 lanes in order, so the sums stay in the
// bytes' order without the lane shuffle that unpacking would need. One
// iteration takes a cache line of frame bytes and the two of their sums.
__attribute__((target("avx2"))) void AddBytesAVX2(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len)
{
    std::size_t i = 0;
    for (; i + 64 <= len; i += 64) {
        if (i + Ahead + 64 <= len) {
            _mm_prefetch(reinterpret_cast<const char*>(bytes + i + Ahead), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(sums + i + Ahead), _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(sums + i + Ahead + 32), _MM_HINT_T0);
        }
        auto* s = reinterpret_cast<__m256i*>(sums + i);
        const __m256i s0 = _mm256_loadu_si256(s), s1 = _mm256_loadu_si256(s + 1);
        const __m256i s2 = _mm256_loadu_si256(s + 2), s3 = _mm256_loadu_si256(s + 3);
        const auto* b = reinterpret_cast<const __m128i*>(bytes + i);
        _mm256_storeu_si256(s, _mm256_add_epi16(s0, _mm256_cvtepu8_epi16(_mm_loadu_si128(b))));
        _mm256_storeu_si256(s + 1, _mm256_add_epi16(s1, _mm256_cvtepu8_epi16(_mm_loadu_si128(b + 1))));
        _mm256_storeu_si256(s + 2, _mm256_add_epi16(s2, _mm256_cvtepu8_epi16(_mm_loadu_si128(b + 2))));
        _mm256_storeu_si256(s + 3, _mm256_add_epi16(s3, _mm256_cvtepu8_epi16(_mm_loadu_si128(b + 3))));
    }
    if (i < len)
        AddBytesSSE2(sums + i, bytes + i, len - i);
}

} // namespace denoise
