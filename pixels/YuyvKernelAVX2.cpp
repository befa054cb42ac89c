#include "pixels/YuyvKernels.h"

#include <immintrin.h>

namespace pixels {

namespace {

constexpr char Z = static_cast<char>(0x80); // pshufb: a zero byte

// The offsets ride along in the multiplies: the unused 32-bit word of each
// loaded 16-byte lane is overwritten with the 16-bit value `Lift`, which
// sits beside every blue sample. A pixel's luma then gets Lift * LiftY; a
// pair's chroma, whose blue and lift are both summed over the pair, gets
// 2 * Lift * LiftC. Chroma is worked out twice over (doubled weights), so
// that its code lands in the upper 16 bits and needs no shift.
constexpr int Lift = 256, LiftY = YOffset / Lift, LiftC = 2 * COffset / (2 * Lift);
static_assert(Lift * LiftY == YOffset && 2 * Lift * LiftC == 2 * COffset && LiftY < 32768 && LiftC < 32768);

struct Constants {
    __m256i lift;       // Lift as a 32-bit word
    __m256i gr, bk;     // bytes to 16-bit G, R or B, Lift of each pixel
    __m256i wyGR, wyBK; // luma weights for G, R and B, Lift
    __m256i wcGR, wcBK; // doubled U and V weights, alternating pair by pair
};

// Four pixels at bytes 4-15 of lane 0 and four at bytes 0-11 of lane 1,
// which is what a load from 4 bytes before the first pixel gives. Returns
// 16-bit words, per lane Y0 U01 Y1 V01 Y2 U23 Y3 V23.
__attribute__((target("avx2"))) inline __m256i eight(__m256i raw, const Constants& k)
{
    // The lift goes into the bytes no pixel uses: 0-3 of lane 0, 12-15 of lane 1.
    const __m256i src = _mm256_blend_epi32(raw, k.lift, 0x81);
    const __m256i gr = _mm256_shuffle_epi8(src, k.gr); // G0 R0 G1 R1 G2 R2 G3 R3
    const __m256i bk = _mm256_shuffle_epi8(src, k.bk); // B0 L  B1 L  B2 L  B3 L
    const __m256i y = _mm256_add_epi32(_mm256_madd_epi16(gr, k.wyGR), _mm256_madd_epi16(bk, k.wyBK));
    // Both pixels of each pair summed, in both words of the pair.
    const __m256i grPair = _mm256_add_epi16(gr, _mm256_shuffle_epi32(gr, 0xB1));
    const __m256i bkPair = _mm256_add_epi16(bk, _mm256_shuffle_epi32(bk, 0xB1));
    const __m256i c = _mm256_add_epi32(_mm256_madd_epi16(grPair, k.wcGR), _mm256_madd_epi16(bkPair, k.wcBK));
    // Luma codes in the low words, chroma codes already in the high ones.
    return _mm256_blend_epi16(_mm256_srli_epi32(y, 15), c, 0xAA);
}

// The four bytes before a pixel on.
__attribute__((target("avx2"))) inline __m256i load(const std::uint8_t* bgr)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bgr - 4));
}

// Sixteen pixels, the first eight already loaded; the second load ends 4
// bytes after the last pixel.
__attribute__((target("avx2"))) inline void sixteen(const std::uint8_t* bgr, std::uint8_t* yuyv, const Constants& k,
                                                    __m256i first)
{
    const __m256i bytes = _mm256_packus_epi16(eight(first, k), eight(load(bgr + 24), k));
    // Lanes hold pixels 0-3, 8-11 | 4-7, 12-15.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(yuyv), _mm256_permute4x64_epi64(bytes, 0xD8));
}

} // namespace

__attribute__((target("avx2"))) void BgrToYuyvRowAVX2(const std::uint8_t* bgr, std::uint8_t* yuyv, int width)
{
    Constants k;
    k.lift = _mm256_set1_epi32(Lift);
    k.gr = _mm256_setr_epi8(5, Z, 6, Z, 8, Z, 9, Z, 11, Z, 12, Z, 14, Z, 15, Z, 1, Z, 2, Z, 4, Z, 5, Z, 7, Z, 8, Z, 10,
                            Z, 11, Z);
    k.bk = _mm256_setr_epi8(4, Z, 0, 1, 7, Z, 0, 1, 10, Z, 0, 1, 13, Z, 0, 1, 0, Z, 12, 13, 3, Z, 12, 13, 6, Z, 12, 13,
                            9, Z, 12, 13);
    k.wyGR = _mm256_setr_epi16(YG, YR, YG, YR, YG, YR, YG, YR, YG, YR, YG, YR, YG, YR, YG, YR);
    k.wyBK = _mm256_setr_epi16(YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY, YB, LiftY);
    k.wcGR = _mm256_setr_epi16(2 * UG, 2 * UR, 2 * VG, 2 * VR, 2 * UG, 2 * UR, 2 * VG, 2 * VR, 2 * UG, 2 * UR, 2 * VG,
                               2 * VR, 2 * UG, 2 * UR, 2 * VG, 2 * VR);
    k.wcBK = _mm256_setr_epi16(2 * UB, LiftC, 2 * VB, LiftC, 2 * UB, LiftC, 2 * VB, LiftC, 2 * UB, LiftC, 2 * VB, LiftC,
                               2 * UB, LiftC, 2 * VB, LiftC);
    if (width < 20) { // the last block must not start before the second pixel
        BgrToYuyvRowPlain(bgr, yuyv, width);
        return;
    }
    const __m128i head = _mm_slli_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr)), 4);
    // The first 4 bytes of a row are shifted in instead of loaded.
    sixteen(bgr, yuyv, k,
            _mm256_inserti128_si256(_mm256_castsi128_si256(head),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(bgr + 12)), 1));
    // The second load ends 4 bytes after its pixels: the last block stops
    // that much short of the row's end, overlapping the one before it, and
    // the last pair of an even width is left over.
    const int last = width - 18;
    for (int x = 16; x < last; x += 16)
        sixteen(bgr + x * 3, yuyv + x * 2, k, load(bgr + x * 3));
    sixteen(bgr + last * 3, yuyv + last * 2, k, load(bgr + last * 3));
    BgrToYuyvRowPlain(bgr + (last + 16) * 3, yuyv + (last + 16) * 2, width - last - 16);
}

} // namespace pixels
