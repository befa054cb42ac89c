#include "output/YuyvKernels.h"

#include <immintrin.h>

namespace output {

bool CpuHasAVX2()
{
    return __builtin_cpu_supports("avx2");
}

namespace {

constexpr char Z = static_cast<char>(0x80); // pshufb: a zero byte

// The offsets ride along in the multiplies: the unused fourth 32-bit word of
// each 16-byte lane is overwritten with the 16-bit value `Lift`, which sits
// beside every blue sample. A pixel's luma then gets Lift * LiftY, a pair's
// chroma (whose blue and lift are both summed over the pair) 2 * Lift * LiftC.
constexpr int Lift = 128, LiftY = YOffset / Lift, LiftC = COffset / (2 * Lift);
static_assert(Lift * LiftY == YOffset && 2 * Lift * LiftC == COffset && LiftY < 32768 && LiftC < 32768);

struct Constants {
    __m256i lift;       // Lift in the last word of each lane
    __m256i gr, bk;     // bytes to 16-bit G, R or B, Lift of each pixel
    __m256i wyGR, wyBK; // luma weights for G, R and B, Lift
    __m256i wcGR, wcBK; // U and V weights, alternating pair by pair
    __m256i order;      // Y0..Y3 U V U V bytes to Y U Y V Y U Y V
};

// Eight pixels (lane 0: pixels 0-3, lane 1: pixels 4-7) to 16-bit words,
// per lane Y0 Y1 Y2 Y3 U01 V01 U23 V23.
__attribute__((target("avx2"))) inline __m256i eight(const std::uint8_t* bgr, const Constants& k)
{
    const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(bgr + 12),
                                            reinterpret_cast<const __m128i*>(bgr));
    const __m256i src = _mm256_blend_epi32(raw, k.lift, 0x88);
    const __m256i gr = _mm256_shuffle_epi8(src, k.gr); // G0 R0 G1 R1 G2 R2 G3 R3
    const __m256i bk = _mm256_shuffle_epi8(src, k.bk); // B0 L  B1 L  B2 L  B3 L
    const __m256i y = _mm256_add_epi32(_mm256_madd_epi16(gr, k.wyGR), _mm256_madd_epi16(bk, k.wyBK));
    // Both pixels of each pair summed, in both words of the pair.
    const __m256i grPair = _mm256_add_epi16(gr, _mm256_shuffle_epi32(gr, 0xB1));
    const __m256i bkPair = _mm256_add_epi16(bk, _mm256_shuffle_epi32(bk, 0xB1));
    const __m256i c = _mm256_add_epi32(_mm256_madd_epi16(grPair, k.wcGR), _mm256_madd_epi16(bkPair, k.wcBK));
    return _mm256_packs_epi32(_mm256_srai_epi32(y, 15), _mm256_srai_epi32(c, 15));
}

} // namespace

__attribute__((target("avx2"))) void BgrToYuyvRowAVX2(const std::uint8_t* bgr, std::uint8_t* yuyv, int width)
{
    Constants k;
    k.lift = _mm256_set1_epi32(Lift);
    k.gr = _mm256_setr_epi8(1, Z, 2, Z, 4, Z, 5, Z, 7, Z, 8, Z, 10, Z, 11, Z, 1, Z, 2, Z, 4, Z, 5, Z, 7, Z, 8, Z, 10,
                            Z, 11, Z);
    k.bk = _mm256_setr_epi8(0, Z, 12, 13, 3, Z, 12, 13, 6, Z, 12, 13, 9, Z, 12, 13, 0, Z, 12, 13, 3, Z, 12, 13, 6, Z,
                            12, 13, 9, Z, 12, 13);
    k.wyGR = _mm256_setr_epi16(YG, YR, YG, YR, YG, YR, YG, YR, YG, YR, YG, YR, YG, YR, YG, YR);
    k.wyBK = _mm256_setr_epi16(YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB,
                               LiftY);
    k.wcGR = _mm256_setr_epi16(UG, UR, VG, VR, UG, UR, VG, VR, UG, UR, VG, VR, UG, UR, VG, VR);
    k.wcBK = _mm256_setr_epi16(UB, LiftC, VB, LiftC, UB, LiftC, VB, LiftC, UB, LiftC, VB, LiftC, UB, LiftC, VB,
                               LiftC);
    k.order = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15, 0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9,
                               13, 10, 14, 11, 15);
    int x = 0;
    // Each group of eight reads four bytes past its pixels: stop while the
    // row still has them.
    for (; x + 18 <= width; x += 16, bgr += 48, yuyv += 32) {
        const __m256i bytes = _mm256_shuffle_epi8(_mm256_packus_epi16(eight(bgr, k), eight(bgr + 24, k)), k.order);
        // Lanes hold pixels 0-3, 8-11 | 4-7, 12-15.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(yuyv), _mm256_permute4x64_epi64(bytes, 0xD8));
    }
    BgrToYuyvRowPlain(bgr, yuyv, width - x);
}

} // namespace output
