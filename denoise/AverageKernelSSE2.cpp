#include "denoise/AverageKernels.h"

#include <emmintrin.h>

namespace denoise {

// 16 frame bytes widen into two vectors of 16-bit lanes and add to the sums.
void AddBytesSSE2(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len)
{
    const __m128i zero = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= len; i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        auto* s = reinterpret_cast<__m128i*>(sums + i);
        _mm_storeu_si128(s, _mm_add_epi16(_mm_loadu_si128(s), _mm_unpacklo_epi8(b, zero)));
        _mm_storeu_si128(s + 1, _mm_add_epi16(_mm_loadu_si128(s + 1), _mm_unpackhi_epi8(b, zero)));
    }
    if (i < len)
        AddBytesPlain(sums + i, bytes + i, len - i);
}

} // namespace denoise
