// The whole frame step as the main window runs it for every frame: both
// pictures renewed, history kept, strength 60.

#include "bench/frame_step.h"
#include "denoise/AutoSmoother.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

static void SmoothFrame(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    FrameStep step(w, h);
    std::vector<std::uint8_t> frame(step.bytes());
    std::mt19937 rng(1);
    for (auto& b : frame)
        b = static_cast<std::uint8_t>(rng());
    step(frame, 60);
    for (auto _ : state)
        step(frame, 60);
    step.report(state);
}
BENCHMARK(SmoothFrame)
    ->ArgNames({"W", "H"})
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Args({1920, 1080})
    ->Args({3840, 2160});

// The whole frame step with the automatic smoother at its start strength, on
// a picture like a camera's: smooth shading, edges and fine texture, with
// fresh noise (standard deviation 8) in every frame. Four noisy frames take
// turns, so the history, the weights and the noise estimate do real work.
static void AutoSteps(benchmark::State& state, int threads)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    FrameStep step(w, h);
    const std::size_t rowbytes = step.rowbytes();
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 8);
    std::vector<std::uint8_t> frames[4];
    for (auto& frame : frames) {
        frame.assign(step.bytes(), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    const double shade = 110 + 60 * std::sin(x / 150.0 + c) * std::cos(y / 110.0);
                    const double block = ((x / 96 + y / 64) % 3) * 25;
                    const double texture = (x / 200 + y / 200) % 2 ? 18 * std::sin(x * 0.9 + y * 0.6) : 0;
                    const double v = shade + block + texture + noise(rng);
                    frame[y * rowbytes + x * 3 + c] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
                }
    }
    denoise::AutoSmoother smoother(denoise::BestPath(), threads);
    const int strength = denoise::AutoSmoother::kStartStrength;
    // Past the first frames, which are smoothed in space as well: the
    // timing is of the steady state of a running stream.
    for (int k = 0; k < 16; ++k)
        step(frames[k % 4], strength, MotionSparing{}, &smoother);
    std::size_t turn = 0;
    for (auto _ : state) {
        turn = (turn + 1) % 4;
        step(frames[turn], strength, MotionSparing{}, &smoother);
    }
    step.report(state);
}

static void SmoothFrameAuto(benchmark::State& state)
{
    AutoSteps(state, 1);
}
BENCHMARK(SmoothFrameAuto)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});

// The same on several threads: the time is the wall-clock time per frame,
// the CPU time that of the whole process (all threads).
static void SmoothFrameAutoThreads(benchmark::State& state)
{
    AutoSteps(state, static_cast<int>(state.range(2)));
}
BENCHMARK(SmoothFrameAutoThreads)
    ->ArgNames({"W", "H", "threads"})
    ->Args({1920, 1080, 1})
    ->Args({1920, 1080, 2})
    ->MeasureProcessCPUTime()
    ->UseRealTime();
