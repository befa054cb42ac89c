#pragma once
// Zeroed memory on cache-line boundaries, so that no vector of sums
// straddles two lines.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace denoise {

struct FreeAligned {
    void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{64}); }
};
using AlignedBytes = std::unique_ptr<std::uint8_t[], FreeAligned>;

inline AlignedBytes NewZeroedBytes(std::size_t bytes)
{
    AlignedBytes memory(static_cast<std::uint8_t*>(::operator new[](bytes, std::align_val_t{64})));
    std::memset(memory.get(), 0, bytes);
    return memory;
}

} // namespace denoise
