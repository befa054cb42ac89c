// What one camera frame costs before it reaches the frame callback: taking
// it from the device and converting it into bottom-up 24-bit BGR, for YUYV
// and MJPEG cameras (a simulated device that costs nothing itself), and
// what the built-in test camera needs to draw one frame; and the repaint
// the capture window makes for every frame, inside a control of 1 x 1
// pixels as the program holds it. Compare with Memcpy/W/H, the cost of
// copying the finished frame once.

#include "platform/avicap/TestCamera.h"
#include "platform/avicap/TestScene.h"
#include "platform/avicap/V4l2Driver.h"
#include "platform/avicap/VideoWindow.h"
#include "tests/avicap/SimulatedV4l2.h"

#include "bench_application.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

void captureFrames(benchmark::State& state, std::uint32_t fourcc)
{
    BenchApplication();
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    simv4l2::Camera camera = simv4l2::MakeCamera();
    camera.sizes = {{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}};
    camera.formats = {fourcc};
    camera.current.pixelformat = fourcc;
    camera.current.width = static_cast<std::uint32_t>(width);
    camera.current.height = static_cast<std::uint32_t>(height);
    camera.frameTime = std::chrono::microseconds(0);
    simv4l2::System system({camera});

    QString error;
    std::unique_ptr<avicap::Driver> driver = avicap::V4l2Driver::open(system, camera.node, error);
    if (!driver || !driver->formats()->apply({fourcc, width, height, {}}) || !driver->start(nullptr)) {
        state.SkipWithError("the simulated camera does not stream");
        return;
    }
    avicap::Frame frame;
    driver->grab(frame); // the first frame also makes the device's picture
    for (auto _ : state) {
        if (!driver->grab(frame)) {
            state.SkipWithError("no frame");
            break;
        }
        benchmark::DoNotOptimize(frame.bytes.data());
    }
    driver->stop();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
}

void CaptureYUYV(benchmark::State& state)
{
    captureFrames(state, V4L2_PIX_FMT_YUYV);
}

void CaptureMJPEG(benchmark::State& state)
{
    captureFrames(state, V4L2_PIX_FMT_MJPEG);
}

void TestCameraFrame(benchmark::State& state)
{
    avicap::TestScene scene(1);
    scene.setFormat(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                    avicap::TestScene::Pixels::Bgr24);
    std::vector<std::uint8_t> frame;
    for (auto _ : state) {
        scene.render(frame);
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.size()));
}

struct PaintCounter : QObject {
    std::int64_t paints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

void CaptureWindowPaint(benchmark::State& state)
{
    BenchApplication();
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    QWidget top;
    top.resize(320, 240);
    QWidget control(&top);
    control.setGeometry(0, 0, 1, 1);
    avicap::VideoWindow window([](int) { return std::make_unique<avicap::TestCamera>(1); }, &control);
    window.setGeometry(0, 0, width, height);
    top.show();
    QCoreApplication::processEvents();
    if (window.message(WM_CAP_DRIVER_CONNECT, 0, 0) != 1 ||
        !window.driver()->formats()->apply({V4L2_PIX_FMT_BGR24, width, height, {}}) ||
        window.message(WM_CAP_GRAB_FRAME, 0, 0) != 1) {
        state.SkipWithError("the test camera gives no frame");
        return;
    }
    PaintCounter counter;
    window.installEventFilter(&counter);
    for (auto _ : state)
        window.repaint();
    // Each repaint must have painted, or nothing was measured.
    const auto repaints = std::max<benchmark::IterationCount>(1, state.iterations());
    state.counters["paints_per_repaint"] = static_cast<double>(counter.paints) / static_cast<double>(repaints);
}

} // namespace

BENCHMARK(CaptureYUYV)->ArgNames({"W", "H"})->Args({1280, 720})->Args({1920, 1080})->UseRealTime();
BENCHMARK(CaptureMJPEG)->ArgNames({"W", "H"})->Args({1280, 720})->Args({1920, 1080})->UseRealTime();
BENCHMARK(TestCameraFrame)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});
BENCHMARK(CaptureWindowPaint)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});
