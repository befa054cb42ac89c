#include "denoise/MotionKernels.h"
#include "denoise/MotionPhases.h"

#include <immintrin.h>

#define TARGET_AVX2 __attribute__((target("avx2")))

namespace denoise {

namespace {

constexpr phases::Masks<96> kMasks = phases::MakeMasks<96>();

TARGET_AVX2 __m256i part(const std::array<std::uint8_t, 96>& mask, int k)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask.data() + 32 * k));
}

TARGET_AVX2 __m256i byteMoved(__m256i f, __m256i h, __m256i above)
{
    const __m256i diff = _mm256_or_si256(_mm256_subs_epu8(f, h), _mm256_subs_epu8(h, f));
    return _mm256_cmpeq_epi8(_mm256_max_epu8(diff, above), diff);
}

// The bytes of cur moved n places toward the start, nxt's first bytes
// following; vpalignr works per 128-bit lane, so the lane pair that straddles
// the middle is put together first.
template <int N>
TARGET_AVX2 __m256i next(__m256i cur, __m256i nxt)
{
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(cur, nxt, 0x21), cur, N);
}

// The bytes of cur moved n places toward the end, prv's last bytes before.
template <int N>
TARGET_AVX2 __m256i prev(__m256i prv, __m256i cur)
{
    return _mm256_alignr_epi8(cur, _mm256_permute2x128_si256(prv, cur, 0x21), 16 - N);
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
    const __m256i above = _mm256_set1_epi8(static_cast<char>(threshold + 1));
    const __m256i zero = _mm256_setzero_si256();
    const std::size_t blocks = pixels / 32;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t at = b * 96;
        __m256i f[3], h[3], m[5];
        m[0] = zero;
        m[4] = zero;
        for (int k = 0; k < 3; ++k) {
            f[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame + at + 32 * k));
            h[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(history + at + 32 * k));
            m[k + 1] = byteMoved(f[k], h[k], above);
        }
        for (int k = 0; k < 3; ++k) {
            const __m256i prv = m[k], cur = m[k + 1], nxt = m[k + 2];
            __m256i moving = cur;
            moving = _mm256_or_si256(moving, _mm256_and_si256(next<1>(cur, nxt), part(kMasks.next1, k)));
            moving = _mm256_or_si256(moving, _mm256_and_si256(next<2>(cur, nxt), part(kMasks.next2, k)));
            moving = _mm256_or_si256(moving, _mm256_and_si256(prev<1>(prv, cur), part(kMasks.prev1, k)));
            moving = _mm256_or_si256(moving, _mm256_and_si256(prev<2>(prv, cur), part(kMasks.prev2, k)));
            const __m256i lo = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(f[k], h[k]), weights), 7);
            const __m256i hi = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(f[k], h[k]), weights), 7);
            const __m256i out = _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), f[k], moving);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(raw + at + 32 * k), f[k]);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(corrected + at + 32 * k), out);
        }
    }
    const std::size_t done = blocks * 32;
    if (done < pixels)
        MotionBlendSSE2(corrected + done * 3, raw + done * 3, frame + done * 3, history + done * 3, pixels - done, o,
                        d, threshold);
}

} // namespace denoise
