#include "denoise/SmoothKernels.h"

#include <immintrin.h>

#include <cstdint>

namespace smooth {

namespace {

// Frame and history bytes are interleaved into (f, h) pairs and multiplied
// with (o, d) byte pairs by vpmaddubsw: f * o + h * d in one instruction. Both
// weights lie in 1..127 here, and their sum of 128 keeps the result <= 32640,
// so the signed saturation of the instruction never applies.
template <bool StreamRaw>
__attribute__((target("avx2"), always_inline)) inline std::size_t
blendVectors(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame, const std::uint8_t* history,
             std::size_t len, int o, int d)
{
    const __m256i weights = _mm256_set1_epi16(static_cast<short>((d << 8) | o));
    std::size_t i = 0;
    for (; i + 32 <= len; i += 32) {
        const __m256i f = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(frame + i));
        const __m256i h = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(history + i));
        const __m256i lo = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpacklo_epi8(f, h), weights), 7);
        const __m256i hi = _mm256_srli_epi16(_mm256_maddubs_epi16(_mm256_unpackhi_epi8(f, h), weights), 7);
        if constexpr (StreamRaw)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(raw + i), f);
        else
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(raw + i), f);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(corrected + i), _mm256_packus_epi16(lo, hi));
    }
    return i;
}

} // namespace

// The raw picture is only a copy here, read again when it is painted, well
// after the next frames; a row that starts on a vector boundary (every
// common width does) is therefore written past the cache. That spares the
// read of each line a cached store makes first, and leaves the cache to the
// frame and the history, which the next step needs.
__attribute__((target("avx2"))) void BlendAVX2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                                               const std::uint8_t* history, std::size_t len, int o, int d)
{
    const std::size_t i = reinterpret_cast<std::uintptr_t>(raw) % 32 == 0
                              ? blendVectors<true>(corrected, raw, frame, history, len, o, d)
                              : blendVectors<false>(corrected, raw, frame, history, len, o, d);
    if (i < len)
        BlendSSE2(corrected + i, raw + i, frame + i, history + i, len - i, o, d);
}

} // namespace smooth
