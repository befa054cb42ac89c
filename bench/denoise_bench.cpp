// The two noise reducers beyond the running average: adding one frame to
// the sums of the N-frame mean, and the whole frame step with motion sparing.

#include "app/SmoothFrame.h"
#include "bench/frame_step.h"
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

// One frame into the 16-bit sums. The frame is a raw picture's pixels, as
// the main window adds them. Once all 256 are in, the averager is made anew
// outside the timing, so every timed add is a real one.
static void AverageFramesAdd(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    const denoise::FrameShape shape{w, h, static_cast<std::size_t>(StandardRowBytes(w, 24))};
    const auto bytes = noise(shape.bytes(), 1);
    DIB raw = newdib(w, h, 24, nullptr, 0);
    std::copy(bytes.begin(), bytes.end(), raw.bits);
    auto averager = std::make_unique<denoise::FrameAverager>(256, shape);
    for (auto _ : state) {
        if (averager->Complete()) {
            state.PauseTiming();
            averager = std::make_unique<denoise::FrameAverager>(256, shape);
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(averager->Add(raw.bits, shape));
        benchmark::ClobberMemory();
    }
    deldib(raw);
    state.SetLabel(denoise::PathName(denoise::BestPath()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * shape.bytes()));
}
BENCHMARK(AverageFramesAdd)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});

// The frame step as the main window runs it with motion sparing on at
// strength 60 and threshold 24. Two frames take turns: a still background
// with fresh noise of a few levels, and a band over a quarter of the rows
// where the picture changes completely (something moving). With
// `everywhere` one pixel in eight, scattered, moves instead, so that
// almost every block of pixels holds movement: the slowest case.
static void motionStep(benchmark::State& state, bool everywhere)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    FrameStep step(w, h);
    const std::size_t rowbytes = step.rowbytes();
    std::mt19937 rng(2);
    const auto scene = noise(step.bytes(), 1);
    std::vector<std::uint8_t> frames[2] = {scene, scene};
    for (int k = 0; k < 2; ++k) {
        for (int y = 0; y < h; ++y) {
            for (std::size_t x = 0; x + 3 <= rowbytes; x += 3) {
                const bool moving = everywhere ? rng() % 8 == 0 : (y >= h / 2 && y < h / 2 + h / 4);
                for (std::size_t c = x; c < x + 3; ++c) {
                    std::uint8_t& v = frames[k][y * rowbytes + c];
                    v = moving && k == 1 ? std::uint8_t(255 - v)
                                         : std::uint8_t(std::clamp<int>(v + int(rng() % 9) - 4, 0, 255));
                }
            }
        }
    }
    const MotionSparing motion{true, 24};
    step(frames[0], 60, motion);
    int turn = 0;
    for (auto _ : state) {
        turn ^= 1;
        step(frames[turn], 60, motion);
    }
    step.report(state);
}

static void SmoothFrameMotion(benchmark::State& state)
{
    motionStep(state, false);
}
BENCHMARK(SmoothFrameMotion)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});

static void SmoothFrameMotionEverywhere(benchmark::State& state)
{
    motionStep(state, true);
}
BENCHMARK(SmoothFrameMotionEverywhere)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});
