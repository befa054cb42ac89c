#include "output/FrameRateMeter.h"

#include <algorithm>
#include <cmath>

namespace output {

namespace {
constexpr int SettleIntervals = 8;
// A gap this long is a pause (a dialog, a change of driver), not the rate.
constexpr double PauseSeconds = 1.0;
} // namespace

void FrameRateMeter::tick(Clock::time_point when)
{
    if (!started_) {
        started_ = true;
        last_ = when;
        return;
    }
    const double seconds = std::chrono::duration<double>(when - last_).count();
    last_ = when;
    if (seconds <= 0.0 || seconds >= PauseSeconds)
        return;
    // A running mean that settles within a few frames and then follows
    // changes without jumping on one late frame.
    const double weight = intervals_ < SettleIntervals ? 1.0 / (intervals_ + 1) : 1.0 / SettleIntervals;
    meanSeconds_ += (seconds - meanSeconds_) * weight;
    ++intervals_;
}

int FrameRateMeter::framesPerSecond() const
{
    if (intervals_ < SettleIntervals || meanSeconds_ <= 0.0)
        return 0;
    return std::clamp(static_cast<int>(std::lround(1.0 / meanSeconds_)), 1, 240);
}

} // namespace output
