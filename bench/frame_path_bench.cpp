// The whole road of one frame in the program: the main window's frame
// handler renews both pictures and paints both panes at a zoom of 100 %.
//
//   FramePath/W/H        the window at its usual size (each pane shows a part)
//   FramePathWhole/W/H   the window large enough to show both whole frames
//   StartToFirstFrame    main window made and shown, test camera in slot 0,
//                        until its first frame is painted (manual time)
//
// Compare with Memcpy/W/H of the same run.

#include "app/MainUnit.h"
#include "app/PaneArea.h"
#include "capture/Video.h"
#include "camera/testcam/TestScene.h"
#include "viewer/PaintBox.h"

#include "bench_application.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FixedFormat : VideoFormatSource {
    BITMAPINFO block{};
    FixedFormat(int w, int h)
    {
        block.bmiHeader.biWidth = w;
        block.bmiHeader.biHeight = h;
        block.bmiHeader.biBitCount = 24;
    }
    std::uint32_t GetVideoFormatSize() override { return sizeof(BITMAPINFOHEADER); }
    std::uint32_t GetVideoFormat(BITMAPINFO* format, std::uint32_t size) override
    {
        const std::uint32_t n = std::min<std::uint32_t>(size, sizeof(BITMAPINFOHEADER));
        std::memcpy(format, &block, n);
        return n;
    }
};

void FramePathAt(benchmark::State& state, bool whole)
{
    BenchApplication();
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));

    // Frames as the test camera sends them: noise and flicker on every one.
    camera::TestScene scene(7);
    scene.setFormat(w, h, camera::TestScene::Pixels::Bgr24);
    std::vector<std::vector<std::uint8_t>> frames(8);
    for (auto& f : frames)
        scene.render(f);

    TMainForm form;
    form.Video1->SetVideoPreview(false); // only the frames below arrive
    FixedFormat format(w, h);
    form.SetFormatSource(&format);
    if (whole) {
        // Half and half, each pane with room for its header and frame.
        form.SplitPercent = 50;
        form.resize(w + 40, form.height() - form.Panel2->height() + 2 * (h + 25 + 8) + TSplitter::kThickness);
    }
    form.show();
    QCoreApplication::processEvents();

    VIDEOHDR header;
    std::size_t i = 0;
    auto deliver = [&] {
        header.lpData = frames[i % frames.size()].data();
        header.dwBufferLength = static_cast<DWORD>(frames[i % frames.size()].size());
        form.Video1Frame(form.Video1, &header);
        ++i;
    };
    // The first frame lays the panes out; the next ones are the steady state.
    deliver();
    QCoreApplication::processEvents();
    deliver();

    for (auto _ : state)
        deliver();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * w * h * 3);
    auto visible = [](QWidget* box) {
        const QRect r = box->visibleRegion().boundingRect();
        return double(r.width()) * r.height();
    };
    state.counters["visible_px_top"] = benchmark::Counter(visible(form.PaintBox1));
    state.counters["visible_px_bottom"] = benchmark::Counter(visible(form.PaintBox2));
}

void FramePath(benchmark::State& state)
{
    FramePathAt(state, false);
}

void FramePathWhole(benchmark::State& state)
{
    FramePathAt(state, true);
}

// Start to first painted frame: the window is made (which opens slot 0 and
// starts preview) and shown; the time runs until the top pane has been
// painted with a picture from the driver.
void StartToFirstFrame(benchmark::State& state)
{
    BenchApplication();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto form = std::make_unique<TMainForm>();
        // Counts the frames the window takes, and notes the first paint of
        // the top pane after one.
        int frames = 0;
        bool painted = false;
        const TVideoStream take = form->Video1->OnFrame();
        form->Video1->SetOnFrame([&frames, take](QObject* sender, PVIDEOHDR header) {
            ++frames;
            take(sender, header);
        });
        TPaintBox* box = form->PaintBox1;
        const TPaintBox::PaintHandler paint = box->OnPaint;
        box->OnPaint = [&frames, &painted, paint](QObject* sender) {
            paint(sender);
            if (frames > 0)
                painted = true;
        };
        form->show();
        QElapsedTimer guard;
        guard.start();
        while (!painted && guard.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        const auto end = std::chrono::steady_clock::now();
        if (!painted)
            state.SkipWithError("no frame from slot 0");
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        form.reset();
        QCoreApplication::processEvents();
    }
}

} // namespace

BENCHMARK(FramePath)->ArgNames({"W", "H"})->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMicrosecond);
BENCHMARK(FramePathWhole)
    ->ArgNames({"W", "H"})
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(StartToFirstFrame)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
