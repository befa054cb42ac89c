#include "denoise/FrameAverager.h"

#include <algorithm>
#include <bit>

namespace denoise {

bool FrameAverager::IsValidCount(int frames)
{
    return std::find(std::begin(kCounts), std::end(kCounts), frames) != std::end(kCounts);
}

FrameAverager::FrameAverager(int frames, const FrameShape& shape, Path path)
    : frames_(frames), shape_(shape), add_(AddBytesFor(path)), flush_(FlushWrapsFor(path))
{
    if (!IsValidCount(frames) || shape.width <= 0 || shape.height <= 0 || shape.rowbytes == 0)
        return;
    shift_ = std::countr_zero(static_cast<unsigned>(frames));
    count_ = shape.bytes();
    // The high slices start on a cache line after the low bytes.
    const std::size_t lowBytes = (count_ + 63) & ~std::size_t{63};
    memory_ = NewZeroedBytes(lowBytes + HighWordsOf(count_) * sizeof(std::uint64_t));
    low_ = memory_.get();
    high_ = reinterpret_cast<std::uint64_t*>(memory_.get() + lowBytes);
    wraps_ = WrapPool(BlocksOf(count_));
}

FrameAverager::AddResult FrameAverager::Add(const std::uint8_t* frame, const FrameShape& shape)
{
    if (Failed() || frame == nullptr || !(shape == shape_))
        return AddResult::WrongShape;
    if (counted_ == frames_)
        return AddResult::Full;
    for (int stripe = 0; stripe < FlushPeriod; ++stripe) {
        const std::size_t from = std::min(count_, wraps_.From(stripe) * 256);
        const std::size_t to = std::min(count_, wraps_.To(stripe) * 256);
        add_(low_ + from, wraps_.Take(stripe), frame + from, to - from);
    }
    // One stripe after every frame rather than everything after every
    // FlushPeriod-th: the same work, but no frame pays for a pass over the
    // whole high plane. The last frame flushes all, so the mean needs only
    // the low bytes and the high slices.
    ++counted_;
    if (counted_ < frames_) {
        flush((counted_ - 1) % FlushPeriod);
        return AddResult::Added;
    }
    for (int stripe = 0; stripe < FlushPeriod; ++stripe)
        flush(stripe);
    return AddResult::Complete;
}

void FrameAverager::flush(int stripe)
{
    if (wraps_.Pending(stripe) == 0)
        return;
    const auto slots = wraps_.ForFlush(stripe);
    flush_(slots.data(), high_ + wraps_.From(stripe) * 32, wraps_.To(stripe) - wraps_.From(stripe));
    wraps_.Release(stripe);
}

bool FrameAverager::Mean(std::uint8_t* out) const
{
    if (!Complete() || out == nullptr)
        return false;
    MeanBytes(out, low_, high_, count_, shift_);
    return true;
}

unsigned FrameAverager::SumAt(std::size_t i) const
{
    if (Failed() || i >= count_)
        return 0;
    int stripe = 0;
    while (wraps_.To(stripe) <= i / 256)
        ++stripe;
    const std::size_t word = i / 64 - wraps_.From(stripe) * 4;
    unsigned high = HighAt(high_, i);
    for (int k = 0; k < wraps_.Pending(stripe); ++k)
        high += static_cast<unsigned>(wraps_.Slot(stripe, k)[word] >> (i % 64) & 1);
    return 256 * high + low_[i];
}

} // namespace denoise
