#include "camera/testcam/SceneKernels.h"

#include "records/CpuFeatures.h"

#include <immintrin.h>

namespace camera {

void NoisyRowPlain(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const int v = (lit[i] ^ 0x80) + noise[i];
        out[i] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

__attribute__((target("sse2"))) void NoisyRowSSE2(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out,
                                                  std::size_t n)
{
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lit + i));
        const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(noise + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_xor_si128(_mm_adds_epi8(a, z), flip));
    }
    NoisyRowPlain(lit + i, noise + i, out + i, n - i);
}

namespace {

__attribute__((target("avx2"))) inline __m256i noisy32(const std::uint8_t* lit, const std::int8_t* noise, __m256i flip)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lit));
    const __m256i z = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(noise));
    return _mm256_xor_si256(_mm256_adds_epi8(a, z), flip);
}

} // namespace

__attribute__((target("avx2"))) void NoisyRowAVX2(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out,
                                                  std::size_t n)
{
    const __m256i flip = _mm256_set1_epi8(static_cast<char>(0x80));
    if (n < 64) {
        NoisyRowSSE2(lit, noise, out, n);
        return;
    }
    // One unaligned block, then whole blocks from the first 32-byte boundary
    // of the output on (stores that never straddle a cache line), then one
    // unaligned block ending at the last byte. Blocks may overlap; they
    // write the same bytes.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), noisy32(lit, noise, flip));
    std::size_t i = (32 - (reinterpret_cast<std::uintptr_t>(out) & 31)) & 31;
    if (i == 0)
        i = 32;
    for (; i + 32 <= n; i += 32)
        _mm256_store_si256(reinterpret_cast<__m256i*>(out + i), noisy32(lit + i, noise + i, flip));
    if (i < n)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + n - 32), noisy32(lit + n - 32, noise + n - 32, flip));
}

NoisyRowFn NoisyRow()
{
    static const NoisyRowFn chosen = cpu::HasAVX2() ? NoisyRowAVX2 : NoisyRowSSE2;
    return chosen;
}

} // namespace camera
