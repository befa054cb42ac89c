#include "camera/FrameExchange.h"

#include <algorithm>

#include <utility>

namespace camera {

bool FrameExchange::publish(Frame& frame)
{
    bool tell;
    {
        std::lock_guard lock(mutex_);
        std::swap(waiting_, frame);
        fresh_ = true;
        tell = !told_;
        told_ = true;
    }
    arrived_.notify_all();
    return tell;
}

bool FrameExchange::take(Frame& frame)
{
    std::lock_guard lock(mutex_);
    told_ = false;
    if (!fresh_)
        return false;
    std::swap(waiting_, frame);
    fresh_ = false;
    return true;
}

bool FrameExchange::takeNext(Frame& frame, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    // A frame that waits already may be older than the request: wait for
    // one that was made afterwards.
    fresh_ = false;
    if (!arrived_.wait_for(lock, timeout, [this] { return fresh_; }))
        return false;
    std::swap(waiting_, frame);
    fresh_ = false;
    return true;
}

std::chrono::milliseconds NextFrameWait(const FrameInterval& interval)
{
    constexpr int intervals = 4;
    constexpr std::chrono::milliseconds floor{250};
    if (interval.numerator == 0 || interval.denominator == 0)
        return FirstFrameWait;
    const auto wait = std::chrono::milliseconds(std::uint64_t{intervals} * 1000 * interval.numerator /
                                                interval.denominator);
    return std::clamp<std::chrono::milliseconds>(wait, floor, FirstFrameWait);
}

void FrameExchange::clear()
{
    std::lock_guard lock(mutex_);
    fresh_ = false;
    told_ = false;
}

} // namespace camera
