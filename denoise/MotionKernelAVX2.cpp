#include "denoise/MotionKernels.h"

#include <immintrin.h>

#include <cstdint>

#define TARGET_AVX2 __attribute__((target("avx2")))
#define INLINE_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace denoise {

namespace {

INLINE_AVX2 __m256i load(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

INLINE_AVX2 void store(std::uint8_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

INLINE_AVX2 __m256i absDiff(__m256i f, __m256i h)
{
    return _mm256_or_si256(_mm256_subs_epu8(f, h), _mm256_subs_epu8(h, f));
}

INLINE_AVX2 __m256i blend(__m256i f, __m256i h, __m256i weights)
{
    const __m256i lo = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(f, h), weights), 7);
    const __m256i hi = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(f, h), weights), 7);
    return _mm256_packus_epi16(lo, hi);
}

// Bit j set where byte j of the vector moved (|f - h| > threshold).
INLINE_AVX2 std::uint32_t movedBits(__m256i diff, __m256i threshold)
{
    const __m256i still = _mm256_cmpeq_epi8(_mm256_subs_epu8(diff, threshold), _mm256_setzero_si256());
    return ~static_cast<std::uint32_t>(_mm256_movemask_epi8(still));
}

// 16 pixels as 48 bits, one per byte, all of them set.
constexpr std::uint64_t kAllPixels = 0xFFFFFFFFFFFF;

// 16 pixels as 48 bits, one per byte: every bit of a pixel that has a set
// bit is set. The pixel's three flags are ORed into its first bit, and the
// product with 7 copies that bit to the other two; pixels lie three bits
// apart, so the product has no carries.
inline std::uint64_t wholePixels(std::uint64_t bits)
{
    constexpr std::uint64_t firstBits = 0x249249249249; // bits 0, 3, ..., 45
    return ((bits | bits >> 1 | bits >> 2) & firstBits) * 7;
}

// 0xFF on byte j where bit j of `bits` is set.
INLINE_AVX2 __m256i byteMask(std::uint32_t bits)
{
    // Each byte takes the byte of `bits` that holds its bit, then tests it.
    const __m256i which = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, //
                                           2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3);
    const __m256i bit = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ULL));
    const __m256i spread = _mm256_shuffle_epi8(_mm256_set1_epi32(static_cast<int>(bits)), which);
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, bit), bit);
}

template <bool Stream>
INLINE_AVX2 void storeRaw(std::uint8_t* p, __m256i v)
{
    if constexpr (Stream)
        _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v);
    else
        store(p, v);
}

// 32 pixels (three vectors) per step, as in the SSE2 kernel; the blend is
// vpmaddubsw on (frame, history) byte pairs with (o, d) weights, which needs
// both weights in 1..127.
//
// A block where no byte differs by more than the threshold (the largest
// difference of the block tells) stays blended as usual; in a webcam picture
// that is most blocks. Otherwise the bytes that moved become a 96-bit mask,
// which is widened to whole pixels in two 48-bit halves of 16 pixels each.
//
// The raw copy goes past the cache where the row allows, as in the frame
// step's own blend: it is read again only when painted.
template <bool StreamRaw>
INLINE_AVX2 std::size_t blendBlocks(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                                    const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold)
{
    const __m256i weights = _mm256_set1_epi16(static_cast<short>((d << 8) | o));
    const __m256i limit = _mm256_set1_epi8(static_cast<char>(threshold));
    const std::size_t blocks = pixels / 32;
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t at = b * 96;
        const __m256i f0 = load(frame + at), f1 = load(frame + at + 32), f2 = load(frame + at + 64);
        const __m256i h0 = load(history + at), h1 = load(history + at + 32), h2 = load(history + at + 64);
        const __m256i d0 = absDiff(f0, h0), d1 = absDiff(f1, h1), d2 = absDiff(f2, h2);
        const __m256i over = _mm256_subs_epu8(_mm256_max_epu8(d0, _mm256_max_epu8(d1, d2)), limit);
        __m256i out0 = f0, out1 = f1, out2 = f2;
        if (_mm256_testz_si256(over, over)) {
            out0 = blend(f0, h0, weights);
            out1 = blend(f1, h1, weights);
            out2 = blend(f2, h2, weights);
        } else {
            const std::uint64_t m0 = movedBits(d0, limit), m1 = movedBits(d1, limit), m2 = movedBits(d2, limit);
            const std::uint64_t first = wholePixels(m0 | (m1 & 0xFFFF) << 32);
            const std::uint64_t second = wholePixels(m1 >> 16 | m2 << 16);
            // Inside something that moves every pixel does: the frame as it is.
            if ((first & second) != kAllPixels) {
                out0 = _mm256_blendv_epi8(blend(f0, h0, weights), f0, byteMask(static_cast<std::uint32_t>(first)));
                out1 = _mm256_blendv_epi8(blend(f1, h1, weights), f1,
                                          byteMask(static_cast<std::uint32_t>(first >> 32 | second << 16)));
                out2 = _mm256_blendv_epi8(blend(f2, h2, weights), f2,
                                          byteMask(static_cast<std::uint32_t>(second >> 16)));
            }
        }
        storeRaw<StreamRaw>(raw + at, f0);
        storeRaw<StreamRaw>(raw + at + 32, f1);
        storeRaw<StreamRaw>(raw + at + 64, f2);
        store(corrected + at, out0);
        store(corrected + at + 32, out1);
        store(corrected + at + 64, out2);
    }
    return blocks * 32;
}

} // namespace

// At d = 0 or 128 the SSE2 kernel does the work.
TARGET_AVX2 void MotionBlendAVX2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                                 const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold)
{
    if (d <= 0 || d >= 128) {
        MotionBlendSSE2(corrected, raw, frame, history, pixels, o, d, threshold);
        return;
    }
    const std::size_t done =
        reinterpret_cast<std::uintptr_t>(raw) % 32 == 0
            ? blendBlocks<true>(corrected, raw, frame, history, pixels, o, d, threshold)
            : blendBlocks<false>(corrected, raw, frame, history, pixels, o, d, threshold);
    if (done < pixels)
        MotionBlendSSE2(corrected + done * 3, raw + done * 3, frame + done * 3, history + done * 3, pixels - done, o,
                        d, threshold);
}

} // namespace denoise
