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
    : frames_(frames), shape_(shape), add_(AddBytesFor(path))
{
    if (!IsValidCount(frames) || shape.width <= 0 || shape.height <= 0 || shape.rowbytes == 0)
        return;
    shift_ = std::countr_zero(static_cast<unsigned>(frames));
    count_ = shape.bytes();
    sums_.reset(static_cast<std::uint16_t*>(::operator new[](count_ * sizeof(std::uint16_t), std::align_val_t{64})));
    std::memset(sums_.get(), 0, count_ * sizeof(std::uint16_t));
}

FrameAverager::AddResult FrameAverager::Add(const std::uint8_t* frame, const FrameShape& shape)
{
    if (Failed() || frame == nullptr || !(shape == shape_))
        return AddResult::WrongShape;
    if (counted_ == frames_)
        return AddResult::Full;
    add_(sums_.get(), frame, count_);
    ++counted_;
    return counted_ == frames_ ? AddResult::Complete : AddResult::Added;
}

bool FrameAverager::Mean(std::uint8_t* out) const
{
    if (!Complete() || out == nullptr)
        return false;
    MeanBytes(out, sums_.get(), count_, shift_);
    return true;
}

} // namespace denoise
