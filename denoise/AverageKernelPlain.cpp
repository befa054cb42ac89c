#include "denoise/AverageKernels.h"

namespace denoise {

void AddBytesPlain(std::uint16_t* sums, const std::uint8_t* bytes, std::size_t len)
{
    for (std::size_t i = 0; i < len; ++i)
        sums[i] = static_cast<std::uint16_t>(sums[i] + bytes[i]);
}

AddBytesFn AddBytesFor(Path p)
{
    switch (p) {
    case Path::AVX2:
        return AddBytesAVX2;
    case Path::SSE2:
        return AddBytesSSE2;
    case Path::Plain:
        break;
    }
    return AddBytesPlain;
}

// Runs once per still, not per frame: the plain loop is fast enough, and
// the compiler vectorises it.
void MeanBytes(std::uint8_t* out, const std::uint16_t* sums, std::size_t len, int shift)
{
    const std::uint32_t half = (1u << shift) >> 1;
    for (std::size_t i = 0; i < len; ++i)
        out[i] = static_cast<std::uint8_t>((sums[i] + half) >> shift);
}

} // namespace denoise
