// 24-bit to 32-bit row conversion with byte shuffles: every group of three
// bytes gets a fourth, 0xff, after it.

#include "platform/gdi/RowKernels.h"

#include <immintrin.h>

namespace gdi {

namespace {

// Spreads the first 12 bytes of a register over four words; the fourth byte
// of each word is zeroed by the shuffle and set by the alpha mask.
__attribute__((target("ssse3"))) inline __m128i spreadMask128()
{
    return _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
}

// Eight pixels from 24 bytes; reads 28 bytes (lane 1 loads 16 bytes from
// p + 12).
__attribute__((target("avx2"))) inline void spread8(const std::uint8_t* p, std::uint32_t* to, __m256i mask,
                                                    __m256i alpha)
{
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12));
    const __m256i v = _mm256_or_si256(_mm256_shuffle_epi8(_mm256_set_m128i(hi, lo), mask), alpha);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), v);
}

} // namespace

__attribute__((target("ssse3"))) void Bgr24RowSSSE3(const std::uint8_t* from, std::uint32_t* to,
                                                     std::size_t count)
{
    const __m128i mask = spreadMask128();
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xff000000u));
    std::size_t i = 0;
    // 16 pixels are 48 bytes: three loads, no byte read past the row.
    for (; i + 16 <= count; i += 16, from += 48) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 32));
        const __m128i p0 = _mm_shuffle_epi8(a, mask);
        const __m128i p1 = _mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), mask);
        const __m128i p2 = _mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), mask);
        const __m128i p3 = _mm_shuffle_epi8(_mm_srli_si128(c, 4), mask);
        __m128i* out = reinterpret_cast<__m128i*>(to + i);
        _mm_storeu_si128(out, _mm_or_si128(p0, alpha));
        _mm_storeu_si128(out + 1, _mm_or_si128(p1, alpha));
        _mm_storeu_si128(out + 2, _mm_or_si128(p2, alpha));
        _mm_storeu_si128(out + 3, _mm_or_si128(p3, alpha));
    }
    Bgr24RowPlain(from, to + i, count - i);
}

__attribute__((target("avx2"))) void Bgr24RowAVX2(const std::uint8_t* from, std::uint32_t* to,
                                                   std::size_t count)
{
    // Each 128-bit lane takes 12 bytes: lane 0 from `from`, lane 1 from
    // `from + 12`. Each load of a lane reads 16 bytes, so the loop stops while
    // at least 4 bytes of pixels remain behind the last lane.
    const __m256i mask = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4,
                                          5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xff000000u));
    std::size_t i = 0;
    for (; i + 34 <= count; i += 32, from += 96) {
        spread8(from, to + i, mask, alpha);
        spread8(from + 24, to + i + 8, mask, alpha);
        spread8(from + 48, to + i + 16, mask, alpha);
        spread8(from + 72, to + i + 24, mask, alpha);
    }
    for (; i + 10 <= count; i += 8, from += 24)
        spread8(from, to + i, mask, alpha);
    Bgr24RowSSSE3(from, to + i, count - i);
}

} // namespace gdi
