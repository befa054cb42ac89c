#pragma once
// The main window's frame step as the benchmarks run it: a 24-bit format
// block for the frame size and the two pictures it renews, started small as
// the window starts them.

#include "app/SmoothFrame.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

class FrameStep {
public:
    FrameStep(int width, int height)
        : rowbytes_(static_cast<std::size_t>(StandardRowBytes(width, 24))), bytes_(rowbytes_ * height)
    {
        format_.biWidth = width;
        format_.biHeight = height;
        format_.biBitCount = 24;
        corrected_ = newdib(640, 480, 24, nullptr, 0);
        raw_ = newdib(640, 480, 24, nullptr, 0);
    }
    ~FrameStep()
    {
        deldib(corrected_);
        deldib(raw_);
    }
    FrameStep(const FrameStep&) = delete;
    FrameStep& operator=(const FrameStep&) = delete;

    std::size_t rowbytes() const { return rowbytes_; }
    std::size_t bytes() const { return bytes_; }

    void operator()(const std::vector<std::uint8_t>& frame, int strength, const MotionSparing& motion = {},
                    denoise::AutoSmoother* automatic = nullptr)
    {
        ::SmoothFrame(corrected_, raw_, reinterpret_cast<const BITMAPINFO*>(&format_), sizeof format_, frame.data(),
                      static_cast<std::uint32_t>(bytes_), strength, motion, automatic);
        benchmark::DoNotOptimize(corrected_.bits);
        benchmark::ClobberMemory();
    }

    // The blend's processor path and the bytes of the frames stepped.
    void report(benchmark::State& state) const
    {
        state.SetLabel(smooth::PathName(smooth::CurrentPath()));
        state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes_));
    }

private:
    BITMAPINFOHEADER format_{};
    std::size_t rowbytes_;
    std::size_t bytes_;
    DIB corrected_{};
    DIB raw_{};
};
