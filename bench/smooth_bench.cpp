// The whole frame step as the main window runs it for every frame: both
// pictures renewed, history kept, strength 60.

#include "app/SmoothFrame.h"

#include <benchmark/benchmark.h>

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
