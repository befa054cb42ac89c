#include "denoise/WrapPool.h"

#include <cassert>

namespace denoise {

WrapPool::WrapPool(std::size_t blocks) : blocks_(blocks)
{
    // Stripes differ by a block at most; every slot fits the largest.
    const std::size_t slotWords = (blocks + FlushPeriod - 1) / FlushPeriod * 4;
    memory_ = NewZeroedBytes((kSlots + 1) * slotWords * sizeof(std::uint64_t));
    auto* words = reinterpret_cast<std::uint64_t*>(memory_.get());
    zero_ = words + kSlots * slotWords;
    // Taken from the back: the first frame gets the slots in order.
    for (int k = kSlots; k-- > 0;)
        free_.push_back(words + static_cast<std::size_t>(k) * slotWords);
}

std::uint64_t* WrapPool::Take(int stripe)
{
    // By the flush rule no stripe holds more than FlushPeriod slots, and
    // all of them together no more than kSlots.
    assert(count_[stripe] < FlushPeriod && !free_.empty());
    std::uint64_t* slot = free_.back();
    free_.pop_back();
    pending_[stripe][count_[stripe]++] = slot;
    return slot;
}

std::array<const std::uint64_t*, FlushPeriod> WrapPool::ForFlush(int stripe) const
{
    std::array<const std::uint64_t*, FlushPeriod> slots;
    for (int k = 0; k < FlushPeriod; ++k)
        slots[k] = k < count_[stripe] ? pending_[stripe][k] : zero_;
    return slots;
}

void WrapPool::Release(int stripe)
{
    // The free list is a stack: the next frame takes these slots first.
    for (int k = 0; k < count_[stripe]; ++k)
        free_.push_back(pending_[stripe][k]);
    count_[stripe] = 0;
}

} // namespace denoise
