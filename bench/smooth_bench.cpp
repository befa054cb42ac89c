// The whole frame step as the main window runs it for every frame: both
// pictures renewed, history kept, strength 60.

#include "app/SmoothFrame.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

static void SmoothFrame(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    BITMAPINFOHEADER format{};
    format.biWidth = w;
    format.biHeight = h;
    format.biBitCount = 24;
    const std::size_t bytes = static_cast<std::size_t>(StandardRowBytes(w, 24)) * h;
    std::vector<std::uint8_t> frame(bytes);
    std::mt19937 rng(1);
    for (auto& b : frame)
        b = static_cast<std::uint8_t>(rng());

    DIB corrected = newdib(640, 480, 24, nullptr, 0);
    DIB raw = newdib(640, 480, 24, nullptr, 0);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(&format);
    ::SmoothFrame(corrected, raw, info, sizeof format, frame.data(), static_cast<std::uint32_t>(bytes), 60);
    for (auto _ : state) {
        ::SmoothFrame(corrected, raw, info, sizeof format, frame.data(), static_cast<std::uint32_t>(bytes), 60);
        benchmark::DoNotOptimize(corrected.bits);
        benchmark::ClobberMemory();
    }
    deldib(corrected);
    deldib(raw);
    state.SetLabel(smooth::PathName(smooth::CurrentPath()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
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
static void SmoothFrameAuto(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    BITMAPINFOHEADER format{};
    format.biWidth = w;
    format.biHeight = h;
    format.biBitCount = 24;
    const std::size_t rowbytes = static_cast<std::size_t>(StandardRowBytes(w, 24));
    const std::size_t bytes = rowbytes * h;
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 8);
    std::vector<std::uint8_t> frames[4];
    for (auto& frame : frames) {
        frame.assign(bytes, 0);
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
    const auto* info = reinterpret_cast<const BITMAPINFO*>(&format);
    denoise::AutoSmoother smoother;
    const int strength = denoise::AutoSmoother::kStartStrength;
    DIB corrected = newdib(640, 480, 24, nullptr, 0);
    DIB raw = newdib(640, 480, 24, nullptr, 0);
    // Past the first frames, which are smoothed in space as well: the
    // timing is of the steady state of a running stream.
    for (int k = 0; k < 16; ++k)
        ::SmoothFrame(corrected, raw, info, sizeof format, frames[k % 4].data(), static_cast<std::uint32_t>(bytes),
                      strength, MotionSparing{}, &smoother);
    std::size_t turn = 0;
    for (auto _ : state) {
        turn = (turn + 1) % 4;
        ::SmoothFrame(corrected, raw, info, sizeof format, frames[turn].data(), static_cast<std::uint32_t>(bytes),
                      strength, MotionSparing{}, &smoother);
        benchmark::DoNotOptimize(corrected.bits);
        benchmark::ClobberMemory();
    }
    deldib(corrected);
    deldib(raw);
    state.SetLabel(smooth::PathName(smooth::CurrentPath()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(SmoothFrameAuto)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});
