#include "denoise/MotionKernels.h"
#include "denoise/MotionPhases.h"

#include <emmintrin.h>

namespace denoise {

namespace {

constexpr phases::Masks<48> kMasks = phases::MakeMasks<48>();

inline __m128i part(const std::array<std::uint8_t, 48>& mask, int k)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask.data() + 16 * k));
}

// 0xFF where |f - h| > threshold, that is where max(|f - h|, threshold + 1)
// is |f - h| itself.
inline __m128i byteMoved(__m128i f, __m128i h, __m128i above)
{
    const __m128i diff = _mm_or_si128(_mm_subs_epu8(f, h), _mm_subs_epu8(h, f));
    return _mm_cmpeq_epi8(_mm_max_epu8(diff, above), diff);
}

// (o * f + d * h) >> 7 in 16-bit lanes: at most 128 * 255, no overflow for
// any d in 0..128.
inline __m128i blend(__m128i f, __m128i h, __m128i wo, __m128i wd)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(f, zero), wo),
                                                     _mm_mullo_epi16(_mm_unpacklo_epi8(h, zero), wd)), 7);
    const __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(f, zero), wo),
                                                     _mm_mullo_epi16(_mm_unpackhi_epi8(h, zero), wd)), 7);
    return _mm_packus_epi16(lo, hi);
}

// 0xFF on every byte of a pixel that has a flagged byte; cur is vector k of
// the block, prv and nxt its neighbours in the block (zero past its ends).
inline __m128i spread(__m128i prv, __m128i cur, __m128i nxt, int k)
{
    const __m128i n1 = _mm_or_si128(_mm_srli_si128(cur, 1), _mm_slli_si128(nxt, 15));
    const __m128i n2 = _mm_or_si128(_mm_srli_si128(cur, 2), _mm_slli_si128(nxt, 14));
    const __m128i p1 = _mm_or_si128(_mm_slli_si128(cur, 1), _mm_srli_si128(prv, 15));
    const __m128i p2 = _mm_or_si128(_mm_slli_si128(cur, 2), _mm_srli_si128(prv, 14));
    __m128i moving = cur;
    moving = _mm_or_si128(moving, _mm_and_si128(n1, part(kMasks.next1, k)));
    moving = _mm_or_si128(moving, _mm_and_si128(n2, part(kMasks.next2, k)));
    moving = _mm_or_si128(moving, _mm_and_si128(p1, part(kMasks.prev1, k)));
    moving = _mm_or_si128(moving, _mm_and_si128(p2, part(kMasks.prev2, k)));
    return moving;
}

inline __m128i select(__m128i moving, __m128i f, __m128i blended)
{
    return _mm_or_si128(_mm_and_si128(moving, f), _mm_andnot_si128(moving, blended));
}

inline __m128i load(const std::uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void store(std::uint8_t* p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
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
        const __m128i f0 = load(frame + at), f1 = load(frame + at + 16), f2 = load(frame + at + 32);
        const __m128i h0 = load(history + at), h1 = load(history + at + 16), h2 = load(history + at + 32);
        const __m128i m0 = byteMoved(f0, h0, above), m1 = byteMoved(f1, h1, above), m2 = byteMoved(f2, h2, above);
        __m128i out0 = blend(f0, h0, wo, wd), out1 = blend(f1, h1, wo, wd), out2 = blend(f2, h2, wo, wd);
        // Where nothing moves, which in a webcam picture is most of it,
        // the block stays blended as usual.
        if (_mm_movemask_epi8(_mm_or_si128(m0, _mm_or_si128(m1, m2))) != 0) {
            out0 = select(spread(zero, m0, m1, 0), f0, out0);
            out1 = select(spread(m0, m1, m2, 1), f1, out1);
            out2 = select(spread(m1, m2, zero, 2), f2, out2);
        }
        store(raw + at, f0);
        store(raw + at + 16, f1);
        store(raw + at + 32, f2);
        store(corrected + at, out0);
        store(corrected + at + 16, out1);
        store(corrected + at + 32, out2);
    }
    const std::size_t done = blocks * 16;
    if (done < pixels)
        MotionBlendPlain(corrected + done * 3, raw + done * 3, frame + done * 3, history + done * 3, pixels - done, o,
                         d, threshold);
}

} // namespace denoise
