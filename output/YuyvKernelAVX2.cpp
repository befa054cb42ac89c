#include "output/YuyvKernels.h"

#include <immintrin.h>

namespace output {

bool CpuHasAVX2()
{
    return __builtin_cpu_supports("avx2");
}

namespace {

constexpr char Z = static_cast<char>(0x80); // pshufb: a zero byte

struct Constants {
    __m256i even, odd;    // BGR bytes to 16-bit B, G, R, 0 of pixels 0 and 2, or 1 and 3
    __m256i wy, wu, wv;   // 16-bit weights for B, G, R, 0
    __m256i offsets;      // per 64-bit slot: luma's, then chroma's
};

// The weighted sum of B, G and R of each 64-bit pixel slot, in the slot's
// low 32 bits, or its high ones.
__attribute__((target("avx2"))) inline __m256i weighLow(__m256i pixels, __m256i weights)
{
    const __m256i m = _mm256_madd_epi16(pixels, weights);
    return _mm256_add_epi32(m, _mm256_srli_epi64(m, 32));
}
__attribute__((target("avx2"))) inline __m256i weighHigh(__m256i pixels, __m256i weights)
{
    const __m256i m = _mm256_madd_epi16(pixels, weights);
    return _mm256_add_epi32(m, _mm256_slli_epi64(m, 32));
}

// Eight pixels to 16-bit Y U Y V ... words; lane 0 holds pixels 0-3, lane 1
// pixels 4-7.
__attribute__((target("avx2"))) inline __m256i eight(const std::uint8_t* bgr, const Constants& k)
{
    const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(bgr + 12),
                                            reinterpret_cast<const __m128i*>(bgr));
    const __m256i even = _mm256_shuffle_epi8(raw, k.even); // pixels 0, 2 | 4, 6
    const __m256i odd = _mm256_shuffle_epi8(raw, k.odd);   // pixels 1, 3 | 5, 7
    const __m256i pairs = _mm256_add_epi16(even, odd);
    // Slots [Y0 U01] [Y2 U23] and [Y1 V01] [Y3 V23], then in order.
    __m256i yu = _mm256_blend_epi32(weighLow(even, k.wy), weighHigh(pairs, k.wu), 0xAA);
    __m256i yv = _mm256_blend_epi32(weighLow(odd, k.wy), weighHigh(pairs, k.wv), 0xAA);
    yu = _mm256_srai_epi32(_mm256_add_epi32(yu, k.offsets), 15);
    yv = _mm256_srai_epi32(_mm256_add_epi32(yv, k.offsets), 15);
    return _mm256_packus_epi32(_mm256_unpacklo_epi64(yu, yv), _mm256_unpackhi_epi64(yu, yv));
}

} // namespace

__attribute__((target("avx2"))) void BgrToYuyvRowAVX2(const std::uint8_t* bgr, std::uint8_t* yuyv, int width)
{
    Constants k;
    k.even = _mm256_setr_epi8(0, Z, 1, Z, 2, Z, Z, Z, 6, Z, 7, Z, 8, Z, Z, Z, 0, Z, 1, Z, 2, Z, Z, Z, 6, Z, 7, Z, 8, Z,
                              Z, Z);
    k.odd = _mm256_setr_epi8(3, Z, 4, Z, 5, Z, Z, Z, 9, Z, 10, Z, 11, Z, Z, Z, 3, Z, 4, Z, 5, Z, Z, Z, 9, Z, 10, Z, 11,
                             Z, Z, Z);
    k.wy = _mm256_setr_epi16(YB, YG, YR, 0, YB, YG, YR, 0, YB, YG, YR, 0, YB, YG, YR, 0);
    k.wu = _mm256_setr_epi16(UB, UG, UR, 0, UB, UG, UR, 0, UB, UG, UR, 0, UB, UG, UR, 0);
    k.wv = _mm256_setr_epi16(VB, VG, VR, 0, VB, VG, VR, 0, VB, VG, VR, 0, VB, VG, VR, 0);
    k.offsets = _mm256_setr_epi32(YOffset, COffset, YOffset, COffset, YOffset, COffset, YOffset, COffset);
    int x = 0;
    // Each group of eight reads four bytes past its pixels: stop while the
    // row still has them.
    for (; x + 18 <= width; x += 16, bgr += 48, yuyv += 32) {
        const __m256i bytes = _mm256_packus_epi16(eight(bgr, k), eight(bgr + 24, k));
        // Lanes hold pixels 0-3, 8-11 | 4-7, 12-15.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(yuyv), _mm256_permute4x64_epi64(bytes, 0xD8));
    }
    BgrToYuyvRowPlain(bgr, yuyv, width - x);
}

} // namespace output
