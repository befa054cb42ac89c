#include "denoise/AverageKernels.h"

#include <algorithm>

namespace denoise {

void AddBytesTail(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t from, std::size_t len)
{
    for (std::size_t i = from; i < len; ++i) {
        const std::uint8_t low = static_cast<std::uint8_t>(sums.low[i] + bytes[i]);
        if (low < bytes[i]) // wrapped
            sums.carries[i / 64 * 32 + i % 32] += i % 64 < 32 ? 1 : 16;
        sums.low[i] = low;
    }
}

void FlushCarriesTail(const SumPlanes& sums, std::size_t from, std::size_t to)
{
    for (std::size_t i = from; i < to; ++i)
        sums.high[i] = static_cast<std::uint8_t>(sums.high[i] + CarryCount(sums.carries, i));
    for (std::size_t c = from / 64 * 32; c < SumPlanes::CarryBytes(to); ++c)
        sums.carries[c] = 0;
}

ByteRange FlushStripe(std::size_t len, int frame)
{
    const std::size_t groups = (len + 63) / 64;
    const auto stripe = static_cast<std::size_t>(frame % FramesPerFlush);
    return ByteRange{std::min(len, groups * stripe / FramesPerFlush * 64),
                     std::min(len, groups * (stripe + 1) / FramesPerFlush * 64)};
}

void AddBytesPlain(const SumPlanes& sums, const std::uint8_t* bytes, std::size_t len)
{
    AddBytesTail(sums, bytes, 0, len);
}

void FlushCarriesPlain(const SumPlanes& sums, std::size_t from, std::size_t to)
{
    FlushCarriesTail(sums, from, to);
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

FlushCarriesFn FlushCarriesFor(Path p)
{
    switch (p) {
    case Path::AVX2:
        return FlushCarriesAVX2;
    case Path::SSE2:
        return FlushCarriesSSE2;
    case Path::Plain:
        break;
    }
    return FlushCarriesPlain;
}

// Runs once per still, not per frame: the plain loop is fast enough.
void MeanBytes(std::uint8_t* out, const SumPlanes& sums, std::size_t len, int shift)
{
    const std::uint32_t half = (1u << shift) >> 1;
    for (std::size_t i = 0; i < len; ++i) {
        const std::uint32_t sum = (std::uint32_t{sums.high[i]} << 8 | sums.low[i]) + 256u * CarryCount(sums.carries, i);
        out[i] = static_cast<std::uint8_t>((sum + half) >> shift);
    }
}

} // namespace denoise
