// What one frame of a camera that PipeWire offers costs before it reaches
// the frame callback: the PipeWire driver converting YUY2 from the buffer
// the stream lends into bottom-up BGR, on the stream's thread, and handing
// it to the GUI thread. The simulated stream delivers as fast as the driver
// takes frames and costs nothing itself, as the simulated V4L2 camera of
// CaptureYUYV does: compare the two.

#include "camera/pipewire/PipeWireDriver.h"
#include "tests/camera/SimulatedPipeWire.h"
#include "tests/camera/SimulatedV4l2.h"

#include "bench_application.h"

#include <benchmark/benchmark.h>

namespace {

void CapturePipeWire(benchmark::State& state)
{
    BenchApplication();
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    constexpr std::uint32_t yuy2 = camera::FourCC('Y', 'U', 'Y', 'V');
    const camera::FormatSetting format{yuy2, width, height, {1, 30}};
    simpwcam::Cameras cameras;
    const camera::PipeWireNode node = simpwcam::Node(1, "bench-camera");
    cameras.setNodes({node});
    cameras.setFormats(node.id, {{yuy2, "YUY2", {{width, height, {{1, 30}}}}}});

    QString error;
    std::unique_ptr<camera::Driver> driver = camera::PipeWireDriver::open(cameras, node, error);
    if (!driver || !driver->start(nullptr)) {
        state.SkipWithError("the simulated node does not stream");
        return;
    }
    simpwcam::Stream& stream = *cameras.stream();
    stream.feed(simv4l2::MakeYuyv(width, height), format, width * 2, std::chrono::milliseconds(0));
    camera::Frame frame;
    driver->grab(frame);
    const int sentBefore = stream.delivered;
    for (auto _ : state) {
        if (!driver->grab(frame)) {
            state.SkipWithError("no frame");
            break;
        }
        benchmark::DoNotOptimize(frame.bytes.data());
    }
    stream.stopFeeding();
    driver->stop();
    // The stream's thread converts every frame it delivers, also those no
    // grab waited for: divide the time by this for one frame's cost.
    state.counters["frames_per_grab"] = static_cast<double>(stream.delivered - sentBefore) /
                                        static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}

} // namespace

// Frames are converted on the stream's thread: the processor time of the
// whole process is what counts, as for CaptureYUYV.
BENCHMARK(CapturePipeWire)->ArgNames({"W", "H"})->Args({1920, 1080})->MeasureProcessCPUTime()->UseRealTime();
