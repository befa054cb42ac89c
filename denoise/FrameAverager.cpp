#include "denoise/FrameAverager.h"

#include <algorithm>
#include <bit>
#include <cstring>

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
    // The low bytes first, each plane of words after them on a cache line.
    const std::size_t lowBytes = (count_ + 63) & ~std::size_t{63};
    const std::size_t planeWords = SumPlanes::PlaneWords(count_);
    const std::size_t bytes =
        lowBytes + 8 * (WrapPlanes * planeWords + SumPlanes::HighWords(count_));
    memory_.reset(static_cast<std::uint8_t*>(::operator new[](bytes, std::align_val_t{64})));
    std::memset(memory_.get(), 0, bytes);
    auto* words = reinterpret_cast<std::uint64_t*>(memory_.get() + lowBytes);
    sums_ = SumPlanes{memory_.get(), words, words + WrapPlanes * planeWords, planeWords};
}

FrameAverager::AddResult FrameAverager::Add(const std::uint8_t* frame, const FrameShape& shape)
{
    if (Failed() || frame == nullptr || !(shape == shape_))
        return AddResult::WrongShape;
    if (counted_ == frames_)
        return AddResult::Full;
    add_(sums_.low, sums_.plane(counted_), frame, count_);
    // An eighth of the wrap bits after every frame rather than all of them
    // after every eighth: the same work, but no frame pays for a pass over
    // the whole high plane, which would push the other planes out of the
    // cache.
    const BlockRange stripe = FlushStripe(count_, counted_);
    flush_(sums_, stripe.from, stripe.to);
    ++counted_;
    return counted_ == frames_ ? AddResult::Complete : AddResult::Added;
}

bool FrameAverager::Mean(std::uint8_t* out) const
{
    if (!Complete() || out == nullptr)
        return false;
    MeanBytes(out, sums_, count_, shift_, counted_);
    return true;
}

} // namespace denoise
