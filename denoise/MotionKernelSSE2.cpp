#include "denoise/MotionKernels.h"
#include "denoise/MotionPhases.h"

#include <emmintrin.h>

namespace denoise {

namespace {

constexpr phases::Masks<48> kMasks = phases::MakeMasks<48>();

__m128i part(const std::array<std::uint8_t, 48>& mask, int k)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask.data() + 16 * k));
}

// 0xFF where |f - h| > threshold, that is where max(|f - h|, threshold + 1)
// is |f - h| itself.
__m128i byteMoved(__m128i f, __m128i h, __m128i above)
{
    const __m128i diff = _mm_or_si128(_mm_subs_epu8(f, h), _mm_subs_epu8(h, f));
    return _mm_cmpeq_epi8(_mm_max_epu8(diff, above), diff);
}

// (o * f + d * h) >> 7 in 16-bit lanes: at most 128 * 255, no overflow for
// any d in 0..128.
__m128i blend(__m128i f, __m128i h, __m128i wo, __m128i wd)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(f, zero), wo),
                                                     _mm_mullo_epi16(_mm_unpacklo_epi8(h, zero), wd)), 7);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(f, zero), wo),
                                                     _mm_mullo_epi16(_mm_unpackhi_epi8(h, zero), wd)), 7);
    return _mm_packus_epi16(lo, hi);
}

} // namespace

// 16 pixels (three vectors) per step. The byte flags of a pixel are ORed
// together by shifting them along the block: the block starts at a pixel,
// so the masks of MotionPhases.h say which neighbours share a byte's pixel.
void MotionBlendSSE2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                     const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold)
{
    const __m128i wo = _mm_set1_epi16(static_cast<short>(o));
    const __m128i wd = _mm_set1_epi16(static_cast<short>(d));
    const __m128i above = _mm_set1_epi8(static_cast<char>(threshold + 1));
    const __m128i zero = _mm_setzero_si128();
    const std::size_t blocks = pixels / 16;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t at = b * 48;
        __m128i f[3], h[3], m[5];
        m[0] = zero;
        m[4] = zero;
        for (int k = 0; k < 3; ++k) {
            f[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(frame + at + 16 * k));
            h[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(history + at + 16 * k));
            m[k + 1] = byteMoved(f[k], h[k], above);
        }
        for (int k = 0; k < 3; ++k) {
            const __m128i prv = m[k], cur = m[k + 1], nxt = m[k + 2];
            const __m128i n1 = _mm_or_si128(_mm_srli_si128(cur, 1), _mm_slli_si128(nxt, 15));
            const __m128i n2 = _mm_or_si128(_mm_srli_si128(cur, 2), _mm_slli_si128(nxt, 14));
            const __m128i p1 = _mm_or_si128(_mm_slli_si128(cur, 1), _mm_srli_si128(prv, 15));
            const __m128i p2 = _mm_or_si128(_mm_slli_si128(cur, 2), _mm_srli_si128(prv, 14));
            __m128i moving = cur;
            moving = _mm_or_si128(moving, _mm_and_si128(n1, part(kMasks.next1, k)));
            moving = _mm_or_si128(moving, _mm_and_si128(n2, part(kMasks.next2, k)));
            moving = _mm_or_si128(moving, _mm_and_si128(p1, part(kMasks.prev1, k)));
            moving = _mm_or_si128(moving, _mm_and_si128(p2, part(kMasks.prev2, k)));
            const __m128i out = _mm_or_si128(_mm_and_si128(moving, f[k]),
                                             _mm_andnot_si128(moving, blend(f[k], h[k], wo, wd)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(raw + at + 16 * k), f[k]);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(corrected + at + 16 * k), out);
        }
    }
    const std::size_t done = blocks * 16;
    if (done < pixels)
        MotionBlendPlain(corrected + done * 3, raw + done * 3, frame + done * 3, history + done * 3, pixels - done, o,
                         d, threshold);
}

} // namespace denoise
