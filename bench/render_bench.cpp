// Drawing a 24-bit picture onto a 32-bit image device, as the panes and the
// viewer do: the whole picture at a zoom, the view limited to 1280 x 800.
// Compare with Memcpy/W/H (the picture) and Memcpy/1280/800 (the view).

#include "dib/RenderDIB.h"
#include "platform/gdi/RowKernels.h"

#include <benchmark/benchmark.h>

#include "bench_application.h"
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

#include <algorithm>
#include <optional>

namespace {

DIB noisyPicture(int width, int height)
{
    DIB pic = newdib(width, height, 24, nullptr, 0);
    std::uint32_t state = 12345;
    const std::size_t bytes = std::size_t(height) * pic.rowbytes;
    for (std::size_t i = 0; i < bytes; ++i) {
        state = state * 1664525u + 1013904223u;
        pic.bits[i] = static_cast<std::uint8_t>(state >> 24);
    }
    return pic;
}

// Args: picture width, height, zoom in percent; the path of the row
// conversion (0 plain, 1 SSSE3, 2 AVX2, -1 the one chosen at start).
void renderInto(benchmark::State& state, bool throughPainter)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const int zoom = static_cast<int>(state.range(2));
    const gdi::RowPath original = gdi::CurrentRowPath();
    if (state.range(3) >= 0 && !gdi::SetRowPath(static_cast<gdi::RowPath>(state.range(3)))) {
        state.SkipWithError("processor lacks the instructions");
        return;
    }
    DIB pic = noisyPicture(w, h);
    const int dw = w * zoom / 100, dh = h * zoom / 100;
    // The view: the image is at most 1280 x 800.
    QImage view(std::min(dw, 1280), std::min(dh, 800), QImage::Format_RGB32);
    view.fill(0);
    gdi::ImageDC imageDC(view);
    // A painter on a pixmap: on raster platforms its engine paints an image,
    // which the renderer writes directly, as it does a window's backing store.
    std::optional<QPixmap> pixmap;
    QPainter painter;
    if (throughPainter) {
        pixmap.emplace(view.size());
        painter.begin(&*pixmap);
    }
    gdi::PainterDC painterDC(painter);
    HDC dc = throughPainter ? static_cast<HDC>(&painterDC) : static_cast<HDC>(&imageDC);
    for (auto _ : state) {
        RenderDIB(dc, 0, 0, dw, dh, pic, 0, 0, w, h, false, SRCCOPY, false, nullptr);
        benchmark::DoNotOptimize(view.constBits());
        benchmark::ClobberMemory();
    }
    if (throughPainter)
        painter.end();
    deldib(pic);
    gdi::SetRowPath(original);
    state.counters["visible_px"] = double(view.width()) * view.height();
}

void RenderDIB_(benchmark::State& state)
{
    renderInto(state, false);
}

void RenderDIBPainter(benchmark::State& state)
{
    BenchApplication(); // pixmaps need a GUI application
    renderInto(state, true);
}

// A widget of the picture's zoomed size in a window of at most 1280 x 800,
// repainted: the renderer through the widget's painter into the backing
// store, with the paint cycle around it.
class PictureWidget : public QWidget {
public:
    PictureWidget(const DIB& pic, QWidget* parent) : QWidget(parent), pic_(pic)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        gdi::WidgetDC dc(this);
        RenderDIB(&dc, 0, 0, width(), height(), pic_, 0, 0, DIBWidth(pic_), DIBHeight(pic_), false, SRCCOPY, false,
                  nullptr);
    }

private:
    const DIB& pic_;
};

void RenderDIBWidget(benchmark::State& state)
{
    BenchApplication();
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const int zoom = static_cast<int>(state.range(2));
    DIB pic = noisyPicture(w, h);
    {
        const int dw = w * zoom / 100, dh = h * zoom / 100;
        QWidget window;
        window.resize(std::min(dw, 1280), std::min(dh, 800));
        auto* widget = new PictureWidget(pic, &window);
        widget->resize(dw, dh);
        window.show();
        QCoreApplication::processEvents();
        for (auto _ : state)
            widget->repaint();
        const QRect shown = widget->visibleRegion().boundingRect();
        state.counters["visible_px"] = double(shown.width()) * shown.height();
    }
    deldib(pic);
}

void Cases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"W", "H", "zoom", "path"});
    for (auto [w, h] : {std::pair{640, 480}, std::pair{1920, 1080}})
        for (int zoom : {100, 300})
            b->Args({w, h, zoom, -1});
    b->Args({640, 480, 9000, -1});
}

void PathCases(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"W", "H", "zoom", "path"});
    for (int path : {0, 1, 2})
        b->Args({640, 480, 100, path});
}

} // namespace

BENCHMARK(RenderDIB_)->Name("RenderDIB")->Apply(Cases);
BENCHMARK(RenderDIB_)->Name("RenderDIB/rowpath")->Apply(PathCases);
BENCHMARK(RenderDIBPainter)->Name("RenderDIB/painter")->Apply(Cases);
BENCHMARK(RenderDIBWidget)->Name("RenderDIB/widget")->Apply(Cases);
