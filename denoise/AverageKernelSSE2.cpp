#include "denoise/AverageKernels.h"

#include <emmintrin.h>

namespace denoise {

namespace {

// The movemask of the bytes whose low sum did not wrap when `bytes` went in:
// a sum that wrapped is below the byte added, so that max(low, byte) is not
// low.
inline std::uint64_t keptBits(__m128i low, __m128i bytes)
{
    return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(low, bytes), low)));
}

} // namespace

// A group of 64 bytes (four vectors) per step.
void AddBytesSSE2(std::uint8_t* low, std::uint64_t* wraps, const std::uint8_t* bytes, std::size_t len)
{
    std::size_t i = 0;
    for (; i + 64 <= len; i += 64) {
        std::uint64_t kept = 0;
        for (int k = 0; k < 4; ++k) {
            auto* l = reinterpret_cast<__m128i*>(low + i) + k;
            const __m128i add = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i) + k);
            const __m128i sum = _mm_add_epi8(_mm_loadu_si128(l), add);
            _mm_storeu_si128(l, sum);
            kept |= keptBits(sum, add) << (16 * k);
        }
        wraps[i / 64] = ~kept;
    }
    AddBytesTail(low, wraps, bytes, i, len);
}

} // namespace denoise
