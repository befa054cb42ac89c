#pragma once
// Where the wrap words (AverageKernels.h) of the frames not yet flushed live.
//
// The blocks of the sums are cut into FlushPeriod stripes. Every frame takes
// one slot per stripe for that stripe's wrap words; after frame k stripe
// k % FlushPeriod is flushed and gives all its slots back. So a stripe holds
// at most FlushPeriod slots, and all stripes together at most
// FlushPeriod * (FlushPeriod + 1) / 2: a little over half of what a ring of
// FlushPeriod whole planes would take. The slots a flush has just read are
// the next frame's first to take, so they are still in the cache when the
// add writes them, rather than read from memory to be overwritten.

#include "denoise/AlignedBytes.h"
#include "denoise/AverageKernels.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace denoise {

class WrapPool {
public:
    WrapPool() = default;
    // Slots for the stripes of `blocks` blocks of sums.
    explicit WrapPool(std::size_t blocks);

    // The blocks [From(s), To(s)) make up stripe s.
    std::size_t From(int stripe) const { return blocks_ * static_cast<std::size_t>(stripe) / FlushPeriod; }
    std::size_t To(int stripe) const { return From(stripe + 1); }

    // A free slot, now the stripe's newest; room for 4 words per block.
    std::uint64_t* Take(int stripe);
    // The stripe's slots since its last flush, oldest first.
    int Pending(int stripe) const { return count_[stripe]; }
    const std::uint64_t* Slot(int stripe, int k) const { return pending_[stripe][k]; }
    // The stripe's slots for a flush, the missing ones (before FlushPeriod
    // frames have come) standing in as an all-zero slot.
    std::array<const std::uint64_t*, FlushPeriod> ForFlush(int stripe) const;
    // Gives the stripe's slots back once they are flushed.
    void Release(int stripe);

private:
    static constexpr int kSlots = FlushPeriod * (FlushPeriod + 1) / 2;

    std::size_t blocks_ = 0;
    AlignedBytes memory_;
    const std::uint64_t* zero_ = nullptr;
    std::vector<std::uint64_t*> free_;
    std::array<std::array<std::uint64_t*, FlushPeriod>, FlushPeriod> pending_{};
    std::array<int, FlushPeriod> count_{};
};

} // namespace denoise
