// The yardstick: copying one 24-bit frame between two reused buffers.
// Every other figure is quoted as a ratio to this one, measured in the same run.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

static void Memcpy(benchmark::State& state)
{
    const std::size_t bytes = static_cast<std::size_t>(state.range(0)) * state.range(1) * 3;
    std::vector<unsigned char> from(bytes, 1), to(bytes, 0);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(Memcpy)
    ->ArgNames({"W", "H"})
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Args({1280, 800})
    ->Args({1920, 1080})
    ->Args({3840, 2160});
