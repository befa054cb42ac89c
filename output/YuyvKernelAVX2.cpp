#include "output/YuyvKernels.h"

#include <immintrin.h>

namespace output {

bool CpuHasAVX2()
{
    return __builtin_cpu_supports("avx2");
}

namespace {

// Per pixel, in the order the horizontal adds leave them: the weighted sum
// of B, G and R of eight pixels [p0 p1 p4 p5 | p2 p3 p6 p7].
__attribute__((target("avx2"))) inline __m256i weigh(__m256i lo, __m256i hi, __m256i weights)
{
    return _mm256_hadd_epi32(_mm256_madd_epi16(lo, weights), _mm256_madd_epi16(hi, weights));
}

} // namespace

__attribute__((target("avx2"))) void BgraToYuyvRowAVX2(const std::uint8_t* bgra, std::uint8_t* yuyv, int width)
{
    // 16-bit weights for (B, G, R, A) of each pixel.
    const __m256i wy = _mm256_setr_epi16(YB, YG, YR, 0, YB, YG, YR, 0, YB, YG, YR, 0, YB, YG, YR, 0);
    const __m256i wu = _mm256_setr_epi16(UB, UG, UR, 0, UB, UG, UR, 0, UB, UG, UR, 0, UB, UG, UR, 0);
    const __m256i wv = _mm256_setr_epi16(VB, VG, VR, 0, VB, VG, VR, 0, VB, VG, VR, 0, VB, VG, VR, 0);
    const __m256i yOffset = _mm256_set1_epi32((16 << 15) + (1 << 14));
    const __m256i cOffset = _mm256_set1_epi32((128 << 16) + (1 << 15));
    const __m256i yOrder = _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7);
    const __m256i cOrder = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
    int x = 0;
    for (; x + 8 <= width; x += 8, bgra += 32, yuyv += 16) {
        const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgra));
        const __m256i lo = _mm256_cvtepu8_epi16(_mm256_castsi256_si128(pixels));
        const __m256i hi = _mm256_cvtepu8_epi16(_mm256_extracti128_si256(pixels, 1));
        __m256i y = _mm256_add_epi32(weigh(lo, hi, wy), yOffset);
        y = _mm256_permutevar8x32_epi32(_mm256_srai_epi32(y, 15), yOrder);
        // Pair sums [U01 U45 V01 V45 | U23 U67 V23 V67], then in the order
        // U01 V01 U23 V23 U45 V45 U67 V67.
        __m256i c = _mm256_hadd_epi32(weigh(lo, hi, wu), weigh(lo, hi, wv));
        c = _mm256_add_epi32(c, cOffset);
        c = _mm256_permutevar8x32_epi32(_mm256_srai_epi32(c, 16), cOrder);
        // Y0 C0 Y1 C1 Y2 C2 Y3 C3 | Y4 C4 ... Y7 C7 as words, then bytes.
        const __m256i words = _mm256_packus_epi32(_mm256_unpacklo_epi32(y, c), _mm256_unpackhi_epi32(y, c));
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(yuyv), _mm256_castsi256_si128(bytes));
    }
    BgraToYuyvRowPlain(bgra, yuyv, width - x);
}

} // namespace output
