#include "denoise/MotionKernels.h"
#include "denoise/MotionPhases.h"

#include <immintrin.h>

#define TARGET_AVX2 __attribute__((target("avx2")))
#define INLINE_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace denoise {

namespace {

constexpr phases::Masks<96> kMasks = phases::MakeMasks<96>();

INLINE_AVX2 __m256i part(const std::array<std::uint8_t, 96>& mask, int k)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask.data() + 32 * k));
}

// Non-zero exactly on the bytes that moved: |f - h| - threshold, saturated
// at zero. Left unnormalised, as most blocks only need to know there is none.
INLINE_AVX2 __m256i byteExcess(__m256i f, __m256i h, __m256i threshold)
{
    const __m256i diff = _mm256_or_si256(_mm256_subs_epu8(f, h), _mm256_subs_epu8(h, f));
    return _mm256_subs_epu8(diff, threshold);
}

// The bytes of cur moved n places toward the start, nxt's first bytes
// following; vpalignr works per 128-bit lane, so the lane pair that straddles
// the middle is put together first.
template <int N>
INLINE_AVX2 __m256i next(__m256i cur, __m256i nxt)
{
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(cur, nxt, 0x21), cur, N);
}

// The bytes of cur moved n places toward the end, prv's last bytes before.
template <int N>
INLINE_AVX2 __m256i prev(__m256i prv, __m256i cur)
{
    return _mm256_alignr_epi8(cur, _mm256_permute2x128_si256(prv, cur, 0x21), 16 - N);
}

INLINE_AVX2 __m256i load(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

INLINE_AVX2 void store(std::uint8_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Non-zero on every byte of a pixel that has a non-zero byte; cur is vector
// k of the block, prv and nxt its neighbours in the block (zero past its ends).
INLINE_AVX2 __m256i spread(__m256i prv, __m256i cur, __m256i nxt, int k)
{
    __m256i moving = cur;
    moving = _mm256_or_si256(moving, _mm256_and_si256(next<1>(cur, nxt), part(kMasks.next1, k)));
    moving = _mm256_or_si256(moving, _mm256_and_si256(next<2>(cur, nxt), part(kMasks.next2, k)));
    moving = _mm256_or_si256(moving, _mm256_and_si256(prev<1>(prv, cur), part(kMasks.prev1, k)));
    moving = _mm256_or_si256(moving, _mm256_and_si256(prev<2>(prv, cur), part(kMasks.prev2, k)));
    return moving;
}

INLINE_AVX2 __m256i blend(__m256i f, __m256i h, __m256i weights)
{
    const __m256i lo = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(f, h), weights), 7);
    const __m256i hi = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(f, h), weights), 7);
    return _mm256_packus_epi16(lo, hi);
}

} // namespace

// 32 pixels (three vectors) per step, as in the SSE2 kernel; the blend is
// vpmaddubsw on (frame, history) byte pairs with (o, d) weights, which needs
// both weights in 1..127. At d = 0 or 128 the SSE2 kernel does the work.
TARGET_AVX2 void MotionBlendAVX2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                          const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold)
{
    if (d <= 0 || d >= 128) {
        MotionBlendSSE2(corrected, raw, frame, history, pixels, o, d, threshold);
        return;
    }
    const __m256i weights = _mm256_set1_epi16(static_cast<short>((d << 8) | o));
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(threshold));
    const __m256i zero = _mm256_setzero_si256();
    const std::size_t blocks = pixels / 32;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t at = b * 96;
        const __m256i f0 = load(frame + at), f1 = load(frame + at + 32), f2 = load(frame + at + 64);
        const __m256i h0 = load(history + at), h1 = load(history + at + 32), h2 = load(history + at + 64);
        const __m256i m0 = byteExcess(f0, h0, limit), m1 = byteExcess(f1, h1, limit), m2 = byteExcess(f2, h2, limit);
        __m256i out0 = blend(f0, h0, weights), out1 = blend(f1, h1, weights), out2 = blend(f2, h2, weights);
        // Where nothing moves, which in a webcam picture is most of it,
        // the block stays blended as usual.
        const __m256i any = _mm256_or_si256(m0, _mm256_or_si256(m1, m2));
        if (!_mm256_testz_si256(any, any)) {
            // Still pixels (all bytes zero) keep the blend, the rest the frame.
            out0 = _mm256_blendv_epi8(f0, out0, _mm256_cmpeq_epi8(spread(zero, m0, m1, 0), zero));
            out1 = _mm256_blendv_epi8(f1, out1, _mm256_cmpeq_epi8(spread(m0, m1, m2, 1), zero));
            out2 = _mm256_blendv_epi8(f2, out2, _mm256_cmpeq_epi8(spread(m1, m2, zero, 2), zero));
        }
        store(raw + at, f0);
        store(raw + at + 32, f1);
        store(raw + at + 64, f2);
        store(corrected + at, out0);
        store(corrected + at + 32, out1);
        store(corrected + at + 64, out2);
    }
    const std::size_t done = blocks * 32;
    if (done < pixels)
        MotionBlendSSE2(corrected + done * 3, raw + done * 3, frame + done * 3, history + done * 3, pixels - done, o,
                        d, threshold);
}

} // namespace denoise
