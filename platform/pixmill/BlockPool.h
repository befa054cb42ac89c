#pragma once
// Pixel memory for pictures. A picture is made and freed several times per
// captured frame, always in the same few sizes, so freed blocks are kept for
// the next request of the same size instead of going back to the system
// (which would cost fresh, page-faulting memory each time).

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace pixmill {

// An aligned block of pixel memory. Move-only; frees itself.
class PixelBlock {
public:
    PixelBlock() = default;
    PixelBlock(std::uint8_t* data, std::size_t capacity) : data(data), capacity(capacity) {}
    PixelBlock(PixelBlock&& o) noexcept : data(o.data), capacity(o.capacity)
    {
        o.data = nullptr;
        o.capacity = 0;
    }
    PixelBlock& operator=(PixelBlock&& o) noexcept;
    PixelBlock(const PixelBlock&) = delete;
    PixelBlock& operator=(const PixelBlock&) = delete;
    ~PixelBlock();

    static PixelBlock allocate(std::size_t bytes);

    std::uint8_t* data = nullptr;
    std::size_t capacity = 0;
};

class BlockPool {
public:
    // A block of at least `bytes` bytes; its contents are unspecified. An
    // empty block when memory is exhausted.
    PixelBlock take(std::size_t bytes);
    // Keeps the block for reuse, or frees it when the pool is full.
    void give(PixelBlock block);

    static constexpr std::size_t kMaxBlocks = 8;
    static constexpr std::size_t kMaxBytes = std::size_t{512} << 20;

private:
    std::mutex mutex_;
    std::vector<PixelBlock> free_;
    std::size_t bytes_ = 0;
};

} // namespace pixmill
