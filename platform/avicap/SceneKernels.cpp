#include "platform/avicap/SceneKernels.h"

#include <immintrin.h>

namespace avicap {

void NoisyRowPlain(const std::uint8_t* lit, const std::int8_t* noise, std::uint8_t* out, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const int v = (lit[i] ^ 0x80) + noise[i];
        out[i] = static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
    }
}

__attribute__((target("sse2"))) void NoisyRowSSE2(const std::uint8_t* lit, const std::int8_t* noise,
                                                  std::uint8_t* out, std::size_t n)
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

__attribute__((target("avx2"))) void NoisyRowAVX2(const std::uint8_t* lit, const std::int8_t* noise,
                                                  std::uint8_t* out, std::size_t n)
{
    const __m256i flip = _mm256_set1_epi8(static_cast<char>(0x80));
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const __m256i a0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lit + i));
        const __m256i a1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lit + i + 32));
        const __m256i z0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(noise + i));
        const __m256i z1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(noise + i + 32));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), _mm256_xor_si256(_mm256_adds_epi8(a0, z0), flip));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 32),
                            _mm256_xor_si256(_mm256_adds_epi8(a1, z1), flip));
    }
    NoisyRowSSE2(lit + i, noise + i, out + i, n - i);
}

bool NoisyRowAVX2Supported()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

NoisyRowFn NoisyRow()
{
    static const NoisyRowFn chosen = NoisyRowAVX2Supported() ? NoisyRowAVX2 : NoisyRowSSE2;
    return chosen;
}

} // namespace avicap
