#include "denoise/SmoothKernels.h"

#include <emmintrin.h>

namespace smooth {

// SSE2 is part of every x86-64 processor: no run-time check needed.
void BlendSSE2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame, const std::uint8_t* history,
               std::size_t len, int o, int d)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i wo = _mm_set1_epi16(static_cast<short>(o));
    const __m128i wd = _mm_set1_epi16(static_cast<short>(d));
    std::size_t i = 0;
    for (; i + 16 <= len; i += 16) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + i));
        const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(history + i));
        // o * f + d * h <= 128 * 255: fits 16 bits unsigned.
        const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(f, zero), wo),
                                                        _mm_mullo_epi16(_mm_unpacklo_epi8(h, zero), wd)),
                                          7);
        const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(f, zero), wo),
                                                        _mm_mullo_epi16(_mm_unpackhi_epi8(h, zero), wd)),
                                          7);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(raw + i), f);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(corrected + i), _mm_packus_epi16(lo, hi));
    }
    if (i < len)
        BlendPlain(corrected + i, raw + i, frame + i, history + i, len - i, o, d);
}

} // namespace smooth
