#pragma once
// The rate at which pictures arrive, in whole frames per second: the
// camera's rate as the readers of the virtual webcam should be told it.

#include <chrono>

namespace output {

class FrameRateMeter {
public:
    using Clock = std::chrono::steady_clock;

    void tick(Clock::time_point when);
    // 0 until enough frames have been seen.
    int framesPerSecond() const;

private:
    Clock::time_point last_{};
    bool started_ = false;
    double meanSeconds_ = 0.0;
    int intervals_ = 0;
};

} // namespace output
