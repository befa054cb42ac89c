// What one camera frame costs before it reaches the frame callback: taking
// it from the device and converting it into bottom-up 24-bit BGR, for YUYV
// and MJPEG cameras (a simulated device that costs nothing itself), and
// what the built-in test camera needs to draw one frame; TurboJPEG's bare
// decode of the MJPEG camera's picture, the floor for its frames; and the repaint
// the capture window makes for every frame, inside a control of 1 x 1
// pixels as the program holds it. Compare with Memcpy/W/H, the cost of
// copying the finished frame once.

#include "camera/testcam/TestCamera.h"
#include "camera/testcam/TestScene.h"
#include "camera/v4l2/V4l2Driver.h"
#include "pixels/YuvConverter.h"
#include "platform/avicap/VideoWindow.h"
#include "tests/camera/SimulatedV4l2.h"

#include "bench_application.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>

namespace {

// A photograph-like picture: soft shading, textured regions and sensor
// noise, which a flat test card would not have; JPEG at quality 85 with
// the 4:2:2 sampling webcams use. At 1920 x 1080 it comes to about 400 KB.
const std::vector<std::uint8_t>& NaturalJpeg(int width, int height)
{
    static std::map<std::pair<int, int>, std::vector<std::uint8_t>> made;
    std::vector<std::uint8_t>& jpeg = made[{width, height}];
    if (!jpeg.empty())
        return jpeg;
    std::mt19937 random(85);
    std::uniform_real_distribution<double> phase(0.0, 6.283);
    double p[12];
    for (double& v : p)
        v = phase(random);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width, v = static_cast<double>(y) / height;
            const double shade = 0.5 + 0.25 * std::sin(3.1 * u + p[0]) * std::cos(2.3 * v + p[1]);
            const double texture = 0.08 * std::sin(90.0 * u + 7.0 * std::sin(11.0 * v + p[2])) *
                                   std::sin(60.0 * v + 5.0 * std::cos(13.0 * u + p[3]));
            const int noise = static_cast<int>(random() % 21) - 10;
            std::uint8_t* px = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
            for (int c = 0; c < 3; ++c) {
                const double tint = 0.15 * std::sin(2.0 * u + 1.7 * v + p[4 + c]);
                const int value = static_cast<int>(255.0 * (shade + texture + tint)) + noise;
                px[c] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
            }
        }
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    if (tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_422, 85, 0) == 0)
        jpeg.assign(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}

void captureFrames(benchmark::State& state, std::uint32_t fourcc)
{
    BenchApplication();
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    simv4l2::Camera camera = simv4l2::MakeCamera();
    if (fourcc == V4L2_PIX_FMT_MJPEG)
        camera.jpeg = NaturalJpeg(width, height);
    camera.sizes = {{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)}};
    camera.formats = {fourcc};
    camera.current.pixelformat = fourcc;
    camera.current.width = static_cast<std::uint32_t>(width);
    camera.current.height = static_cast<std::uint32_t>(height);
    camera.frameTime = std::chrono::microseconds(0);
    simv4l2::System system({camera});

    QString error;
    std::unique_ptr<camera::Driver> driver = camera::V4l2Driver::open(system, camera.node, error);
    if (!driver || !driver->formats()->apply({fourcc, width, height, {}}) || !driver->start(nullptr)) {
        state.SkipWithError("the simulated camera does not stream");
        return;
    }
    camera::Frame frame;
    driver->grab(frame); // the first frame also makes the device's picture
    const int sentBefore = system.framesSent(0);
    for (auto _ : state) {
        if (!driver->grab(frame)) {
            state.SkipWithError("no frame");
            break;
        }
        benchmark::DoNotOptimize(frame.bytes.data());
    }
    driver->stop();
    // The worker converts every frame the camera sends, also those no grab
    // waited for: divide the time by this for one frame's cost.
    state.counters["frames_per_grab"] = static_cast<double>(system.framesSent(0) - sentBefore) /
                                        static_cast<double>(std::max<benchmark::IterationCount>(1, state.iterations()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * width * height * 3);
    // A label, not a counter: every benchmark of a CSV report must have the
    // same counters.
    if (fourcc == V4L2_PIX_FMT_MJPEG)
        state.SetLabel("JPEG " + std::to_string(camera.jpeg.size() / 1024) + " KiB");
}

// The conversion alone, without the device: limited-range YUYV (what
// webcams send) into bottom-up BGR.
void ConvertYUYV(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const std::vector<std::uint8_t> yuyv = simv4l2::MakeYuyv(width, height);
    v4l2_pix_format pix{};
    pix.width = static_cast<std::uint32_t>(width);
    pix.height = static_cast<std::uint32_t>(height);
    pix.pixelformat = V4L2_PIX_FMT_YUYV;
    pix.colorspace = V4L2_COLORSPACE_SRGB;
    pixels::YuvConverter converter;
    converter.setSource(pix);
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> out(stride * height);
    for (auto _ : state) {
        converter.convert(yuyv.data(), out.data(), stride);
        benchmark::DoNotOptimize(out.data());
    }
}

// TurboJPEG's own decode of the same JPEG into a plain top-down buffer: the
// floor for an MJPEG camera's frame.
void JpegDecodeOnly(benchmark::State& state)
{
    const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
    const std::vector<std::uint8_t>& jpeg = NaturalJpeg(width, height);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width) * height * 3);
    tjhandle handle = tjInitDecompress();
    for (auto _ : state) {
        if (tjDecompress2(handle, jpeg.data(), jpeg.size(), out.data(), width, 0, height, TJPF_BGR, 0) != 0) {
            state.SkipWithError(tjGetErrorStr2(handle));
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    tjDestroy(handle);
    state.SetLabel("JPEG " + std::to_string(jpeg.size() / 1024) + " KiB");
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
    camera::TestScene scene(1);
    scene.setFormat(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                    camera::TestScene::Pixels::Bgr24);
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
    avicap::VideoWindow window([](int) { return std::make_unique<camera::TestCamera>(1); }, &control);
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

// The frames are converted on the driver's worker thread: the processor
// time of the whole process is what counts (compare its CPU column).
BENCHMARK(CaptureYUYV)->ArgNames({"W", "H"})->Args({1280, 720})->Args({1920, 1080})->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(CaptureMJPEG)->ArgNames({"W", "H"})->Args({1280, 720})->Args({1920, 1080})->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(ConvertYUYV)->ArgNames({"W", "H"})->Args({1920, 1080});
BENCHMARK(JpegDecodeOnly)->ArgNames({"W", "H"})->Args({1280, 720})->Args({1920, 1080});
BENCHMARK(TestCameraFrame)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});
BENCHMARK(CaptureWindowPaint)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080});
