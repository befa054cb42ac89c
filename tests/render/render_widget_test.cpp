// What the renderer puts into a window: every way it draws, at several
// zooms, onto a widget scrolled inside a scroll area, must show exactly what
// the same call draws into an image. The pixels are read from the window's
// backing store, which is what reaches the screen.

#include "render/render_support.h"

#include <QApplication>
#include <QBackingStore>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QWidget>

#include <functional>
#include <string>

using testpic::Picture;

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "render_test";
    static char* argv[] = {name, nullptr};
    // Made once and never destroyed: Qt's own globals are gone by the time
    // static objects are destroyed at exit.
    static QApplication* a = new QApplication(argc, argv);
    return *a;
}

// A surface whose paintEvent runs a drawing function.
class Surface : public QWidget {
public:
    std::function<void(Surface*)> draw;

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (draw)
            draw(this);
    }
};

// How the device is asked to draw.
struct Way {
    const char* name;
    int caps;
    int screenBits;
    bool halftone;
};

constexpr Way kWays[] = {
    {"direct stretch", RC_STRETCHDIB | RC_DIBTODEV, 32, false},
    {"scratch picture", RC_DIBTODEV, 32, false},
    {"memory bitmap", 0, 32, false},
    {"halftone", RC_STRETCHDIB | RC_DIBTODEV, 8, true},
};

// The pixels of the backing store under a widget's rectangle r (widget
// coordinates), or a null image when the platform keeps no image.
QImage shown(QWidget* w, const QRect& r)
{
    QBackingStore* store = w->backingStore();
    QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (device == nullptr || device->devType() != QInternal::Image)
        return {};
    const QImage& image = *static_cast<QImage*>(device);
    return image.copy(r.translated(w->mapTo(w->window(), QPoint(0, 0)))).convertToFormat(QImage::Format_RGB32);
}

// A surface of a zoomed picture's size in a small scroll area, scrolled so
// that only a middle part of it shows.
struct WithApplication {
    WithApplication() { app(); }
};

class Pane : private WithApplication {
public:
    explicit Pane(QSize size)
    {
        area_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area_.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area_.resize(90, 70);
        surface_ = new Surface;
        surface_->resize(size);
        area_.setWidget(surface_);
        area_.move(20, 30);
        area_.show();
        area_.horizontalScrollBar()->setValue(size.width() / 3);
        area_.verticalScrollBar()->setValue(size.height() / 4);
        QApplication::processEvents();
    }

    Surface* surface() const { return surface_; }
    // The part of the surface the viewport shows, in surface coordinates.
    QRect visible() const
    {
        const QRect view(surface_->mapFrom(area_.viewport(), QPoint(0, 0)), area_.viewport()->size());
        return view & surface_->rect();
    }

private:
    QScrollArea area_;
    Surface* surface_ = nullptr;
};

class RenderWidget : public RenderTest {
protected:
    // Renders the whole picture over w x h at (x, y) the given way; a null
    // widget's painter is not used, image gets the drawing instead.
    void render(HDC target, const Way& way, const DIB& pic, QRect dest)
    {
        setScreenBits(way.screenBits);
        gdi::RecordingDC dc(target);
        dc.setRasterCaps(way.caps);
        renderWhole(&dc, pic, dest.x(), dest.y(), dest.width(), dest.height(), way.halftone);
    }

    QImage reference(QSize size, const Way& way, const DIB& pic, QRect dest, QRect clip = {})
    {
        QImage image = testpic::sentinelImage(size.width(), size.height());
        gdi::ImageDC dc(image);
        if (!clip.isNull())
            dc.setClipRect(clip);
        render(&dc, way, pic, dest);
        return image;
    }
};

} // namespace

TEST_F(RenderWidget, EveryWayAndZoomShowsWhatAnImageGets)
{
    for (int bits : {1, 4, 8, 24}) {
        Picture pic(testpic::makePicture(64, 48, bits));
        for (int zoom : {100, 33, 250}) {
            const QSize size(64 * zoom / 100, 48 * zoom / 100);
            for (const Way& way : kWays) {
                if (way.halftone && bits != 24)
                    continue;
                Pane pane(size);
                pane.surface()->draw = [&](Surface* s) {
                    gdi::WidgetDC dc(s);
                    render(&dc, way, pic, s->rect());
                };
                pane.surface()->repaint();
                const QRect visible = pane.visible();
                ASSERT_FALSE(visible.isEmpty());
                const QImage want = reference(size, way, pic, QRect(QPoint(0, 0), size)).copy(visible);
                const QImage got = shown(pane.surface(), visible);
                ASSERT_FALSE(got.isNull()) << "no image behind the window";
                EXPECT_EQ(got, want) << bits << " bits, " << zoom << " %, " << way.name;
            }
        }
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(RenderWidget, APartialRepaintLeavesTheRestAsItWas)
{
    Picture first(testpic::makePicture(60, 40, 24));
    Picture second(testpic::makePicture(60, 40, 8));
    const QSize size(150, 100);
    const Way& way = kWays[0];
    Pane pane(size);
    const DIB* pic = &first.dib();
    pane.surface()->draw = [&](Surface* s) {
        gdi::WidgetDC dc(s);
        render(&dc, way, *pic, s->rect());
    };
    pane.surface()->repaint();
    pic = &second.dib();
    // Two separate rectangles inside the visible part.
    const QRect visible = pane.visible();
    const QRect a(visible.topLeft() + QPoint(3, 2), QSize(20, 9));
    const QRect b(visible.topLeft() + QPoint(40, 30), QSize(11, 25));
    const QRegion region = QRegion(a) + QRegion(b);
    pane.surface()->repaint(region);

    QImage want = reference(size, way, first, QRect(QPoint(0, 0), size));
    const QImage now = reference(size, way, second, QRect(QPoint(0, 0), size));
    {
        QPainter p(&want);
        p.setClipRegion(region);
        p.drawImage(0, 0, now);
    }
    EXPECT_EQ(shown(pane.surface(), visible), want.copy(visible));
}

TEST_F(RenderWidget, ThePaintersOwnTranslationAndClipHold)
{
    Picture pic(testpic::makePicture(50, 30, 24));
    const QSize size(200, 120);
    const QRect dest(-7, 4, 170, 95);
    const QPoint shift(5, -3);
    for (const Way& way : kWays) {
        Pane pane(size);
        const QRect clip = QRect(pane.visible().topLeft() + QPoint(6, 5), QSize(50, 40)).translated(-shift);
        pane.surface()->draw = [&](Surface* s) {
            QPainter painter(s);
            painter.fillRect(s->rect(), QColor::fromRgb(testpic::kSentinel));
            painter.translate(shift);
            painter.setClipRect(clip);
            gdi::PainterDC dc(painter);
            render(&dc, way, pic, dest);
        };
        pane.surface()->repaint();
        const QRect visible = pane.visible();
        const QImage want = reference(size, way, pic, dest.translated(shift), clip.translated(shift));
        EXPECT_EQ(shown(pane.surface(), visible), want.copy(visible)) << way.name;
    }
}
