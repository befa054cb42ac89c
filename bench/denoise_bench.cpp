// The two noise reducers beyond the running average: adding one frame to
// the sums of the N-frame mean, and the whole frame step with motion sparing.

#include "app/SmoothFrame.h"
#include "denoise/FrameAverager.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

std::vector<std::uint8_t> noise(std::size_t bytes, unsigned seed)
{
    std::vector<std::uint8_t> v(bytes);
    std::mt19937 rng(seed);
    for (auto& b : v)
        b = static_cast<std::uint8_t>(rng());
    return v;
}

} // namespace

// One frame into the 16-bit sums. The averager is made anew (outside the
// timing) before it is full, so every timed add is a real one.
static void AverageFramesAdd(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const denoise::FrameShape shape{w, h, static_cast<std::size_t>(StandardRowBytes(w, 24))};
    const auto frame = noise(shape.bytes(), 1);
    auto averager = std::make_unique<denoise::FrameAverager>(256, shape);
    for (auto _ : state) {
        if (averager->Counted() == 255) {
            state.PauseTiming();
            averager = std::make_unique<denoise::FrameAverager>(256, shape);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(averager->Add(frame.data(), shape));
        benchmark::ClobberMemory();
    }
    state.SetLabel(denoise::PathName(denoise::BestPath()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * shape.bytes()));
}
BENCHMARK(AverageFramesAdd)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});

// The frame step as the main window runs it with motion sparing on at
// strength 60 and threshold 24, over a frame that differs from the history
// by noise (about half the pixels count as moving).
static void SmoothFrameMotion(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    BITMAPINFOHEADER format{};
    format.biWidth = w;
    format.biHeight = h;
    format.biBitCount = 24;
    const std::size_t bytes = static_cast<std::size_t>(StandardRowBytes(w, 24)) * h;
    const auto a = noise(bytes, 1);
    auto b = a;
    std::mt19937 rng(2);
    for (auto& v : b)
        v = static_cast<std::uint8_t>(std::clamp<int>(v + int(rng() % 33) - 16, 0, 255));
    const auto* info = reinterpret_cast<const BITMAPINFO*>(&format);
    const MotionSparing motion{true, 24};

    DIB corrected = newdib(640, 480, 24, nullptr, 0);
    DIB raw = newdib(640, 480, 24, nullptr, 0);
    ::SmoothFrame(corrected, raw, info, sizeof format, a.data(), static_cast<std::uint32_t>(bytes), 60, motion);
    bool odd = false;
    for (auto _ : state) {
        const auto& frame = odd ? a : b;
        odd = !odd;
        ::SmoothFrame(corrected, raw, info, sizeof format, frame.data(), static_cast<std::uint32_t>(bytes), 60,
                      motion);
        benchmark::DoNotOptimize(corrected.bits);
        benchmark::ClobberMemory();
    }
    deldib(corrected);
    deldib(raw);
    state.SetLabel(smooth::PathName(smooth::CurrentPath()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(SmoothFrameMotion)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});
