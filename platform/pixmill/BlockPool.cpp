#include "platform/pixmill/BlockPool.h"

#include <cstdlib>
#include <utility>

namespace pixmill {

namespace {
constexpr std::size_t kAlignment = 64; // a cache line; also enough for any vector load
}

PixelBlock& PixelBlock::operator=(PixelBlock&& o) noexcept
{
    if (this != &o) {
        std::free(data);
        data = std::exchange(o.data, nullptr);
        capacity = std::exchange(o.capacity, 0);
    }
    return *this;
}

PixelBlock::~PixelBlock()
{
    std::free(data);
}

PixelBlock PixelBlock::allocate(std::size_t bytes)
{
    const std::size_t rounded = (bytes + kAlignment - 1) / kAlignment * kAlignment;
    if (rounded < bytes)
        return {};
    void* p = std::aligned_alloc(kAlignment, rounded == 0 ? kAlignment : rounded);
    if (p == nullptr)
        return {};
    return PixelBlock(static_cast<std::uint8_t*>(p), rounded);
}

PixelBlock BlockPool::take(std::size_t bytes)
{
    {
        std::lock_guard lock(mutex_);
        // Reuse a block that fits without wasting more than a quarter of it.
        for (auto it = free_.rbegin(); it != free_.rend(); ++it) {
            if (it->capacity >= bytes && it->capacity - bytes <= it->capacity / 4) {
                PixelBlock block = std::move(*it);
                free_.erase(std::next(it).base());
                bytes_ -= block.capacity;
                return block;
            }
        }
    }
    return PixelBlock::allocate(bytes);
}

void BlockPool::give(PixelBlock block)
{
    if (block.data == nullptr)
        return;
    std::lock_guard lock(mutex_);
    if (block.capacity > kMaxBytes)
        return; // frees on return
    while (!free_.empty() && (free_.size() >= kMaxBlocks || bytes_ + block.capacity > kMaxBytes)) {
        bytes_ -= free_.front().capacity;
        free_.erase(free_.begin()); // the oldest goes first
    }
    bytes_ += block.capacity;
    free_.push_back(std::move(block));
}

} // namespace pixmill
