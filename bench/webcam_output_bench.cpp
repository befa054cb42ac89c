// The virtual webcams: converting one corrected picture to YUYV and writing
// it into a loopback node's lent buffer, as the program does with the
// module, or into a buffer PipeWire lends.

#include "output/PipeWireCamera.h"
#include "output/VirtualCamera.h"
#include "pixels/YuyvConversion.h"
#include "tests/output/SimulatedLoopback.h"
#include "tests/output/SimulatedPipeWire.h"

#include <benchmark/benchmark.h>

#include <vector>

static void VirtualCameraWrite(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const int rowbytes = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rowbytes) * height);
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    simloop::System system({simloop::MakeNode("/dev/video5", "Stillwise")});
    output::VirtualCamera camera(system);
    if (!camera.start()) {
        state.SkipWithError("no simulated node");
        return;
    }
    const output::BgrPicture picture{bits.data(), rowbytes, width, height};
    auto when = output::VirtualCamera::Clock::now();
    for (auto _ : state) {
        when += std::chrono::milliseconds(33);
        benchmark::DoNotOptimize(camera.write(picture, when));
        benchmark::ClobberMemory();
    }
    if (camera.written() != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("frames were not written");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}
BENCHMARK(VirtualCameraWrite)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});

// The conversion alone, into a frame of the node's size.
static void YuyvConversion(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const int rowbytes = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rowbytes) * height);
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    std::vector<std::uint8_t> yuyv(static_cast<std::size_t>(width) * 2 * height);
    const pixels::YuyvConverter converter;
    for (auto _ : state) {
        converter.convert(bits.data(), rowbytes, height, width, height, yuyv.data(), width * 2);
        benchmark::DoNotOptimize(yuyv.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}
BENCHMARK(YuyvConversion)->ArgNames({"W", "H"})->Args({1920, 1080});

// The PipeWire camera: one corrected picture converted into a buffer of the
// shape PipeWire lends (one block, YUY2 rows of the frame's width, as the
// node asks for), on a simulated daemon with a reader that keeps up.
static void PipeWireCameraWrite(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const int rowbytes = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(rowbytes) * height);
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<std::uint8_t>(i * 7 + i / 4096);
    simpw::Daemon daemon;
    daemon.slack = 0;
    daemon.keepFrames = false;
    simpw::System system(daemon);
    output::PipeWireCamera camera(system);
    const output::BgrPicture picture{bits.data(), rowbytes, width, height};
    auto when = output::PipeWireCamera::Clock::now();
    if (!camera.start() || camera.write(picture, when) != output::WebcamOutput::Result::Dropped) {
        state.SkipWithError("no simulated daemon");
        return;
    }
    daemon.link(output::PixelLayout::YUY2);
    for (auto _ : state) {
        when += std::chrono::milliseconds(33);
        benchmark::DoNotOptimize(camera.write(picture, when));
        benchmark::ClobberMemory();
    }
    if (camera.written() != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("frames were not written");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}
BENCHMARK(PipeWireCameraWrite)->ArgNames({"W", "H"})->Args({1920, 1080});
