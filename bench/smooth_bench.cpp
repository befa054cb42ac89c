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

// The same on a moving scene: the camera pans to and fro (1.25 pixels a
// frame across and 0.5 down, so the history is resampled at quarter pixels
// every frame) while a textured disc crosses the picture on its own way, with
// fresh noise (standard deviation 8) in every frame. Twelve frames take
// turns; the pan turns back halfway, so the loop has no jump.
static void SmoothFrameAutoMoving(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    FrameStep step(w, h);
    const std::size_t rowbytes = step.rowbytes();
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 8);
    constexpr int kFrames = 12;
    std::vector<std::uint8_t> frames[kFrames];
    const double radius = h / 6.0;
    for (int k = 0; k < kFrames; ++k) {
        const int along = k < kFrames / 2 ? k : kFrames - k;
        const double ox = 1.25 * along, oy = 0.5 * along;
        const double cx = w * (0.3 + 0.4 * k / kFrames), cy = h * (0.5 + 0.1 * std::sin(k * 0.5));
        auto& frame = frames[k];
        frame.assign(step.bytes(), 0);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const double dx = x - cx, dy = y - cy;
                const bool disc = dx * dx + dy * dy < radius * radius;
                const double u = disc ? dx : x + ox, v = disc ? dy : y + oy;
                for (int c = 0; c < 3; ++c) {
                    const double shade = disc ? 150 + 40 * std::sin(u / 9.0 + c) * std::cos(v / 7.0)
                                              : 110 + 60 * std::sin(u / 150.0 + c) * std::cos(v / 110.0);
                    const double block = disc ? 0 : (static_cast<int>(u / 96 + v / 64) % 3) * 25;
                    const double texture = 18 * std::sin(u * 0.9 + v * 0.6);
                    const double value = shade + block + texture + noise(rng);
                    frame[y * rowbytes + x * 3 + c] = static_cast<std::uint8_t>(std::clamp(value, 0.0, 255.0));
                }
            }
    }
    denoise::AutoSmoother smoother;
    const int strength = denoise::AutoSmoother::kStartStrength;
    for (int k = 0; k < kFrames; ++k)
        step(frames[k], strength, MotionSparing{}, &smoother);
    std::size_t turn = 0;
    for (auto _ : state) {
        turn = (turn + 1) % kFrames;
        step(frames[turn], strength, MotionSparing{}, &smoother);
    }
    step.report(state);
}
BENCHMARK(SmoothFrameAutoMoving)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});

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
