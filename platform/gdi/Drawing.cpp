#include "platform/gdi/Drawing.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace gdi {

bool makeSpans(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
               int srcHeight, int pictureHeight, bool fromBottom, Span& x, Span& y)
{
    if (!normalize(xDest, destWidth, x.destStart, x.destCount) || !normalize(xSrc, srcWidth, x.srcStart, x.srcCount)
        || !normalize(yDest, destHeight, y.destStart, y.destCount)
        || !normalize(ySrc, srcHeight, y.srcStart, y.srcCount))
        return false;
    x.mirrored = (destWidth < 0) != (srcWidth < 0);
    y.mirrored = (destHeight < 0) != (srcHeight < 0);
    if (fromBottom) {
        // Rows [start, start + count) counted up from the bottom are rows
        // [H - start - count, H - start) counted down from the top; the top of
        // the source rectangle still goes to the top of the destination.
        const std::int64_t top = std::int64_t{pictureHeight} - y.srcStart - y.srcCount;
        if (top < std::numeric_limits<int>::min() || top > std::numeric_limits<int>::max())
            return false;
        y.srcStart = static_cast<int>(top);
    }
    return true;
}

void drawIntoImage(QImage& image, const QRect& clip, const Span& x, const Span& y, const PixelSource& source)
{
    const QRect visible = clip & image.rect();
    if (visible.isEmpty())
        return;
    const Mapping mapping(x, y, visible, source.width(), source.firstReadableRow(), source.endReadableRow());
    if (mapping.drawn().isEmpty())
        return;
    fillNearest(source, mapping, image.bits(), image.bytesPerLine(), QPoint(0, 0));
}

namespace {

// The scratch rows for drawing the visible part through a painter; kept from
// call to call so that painting a pane allocates no picture-sized buffer.
std::vector<std::uint32_t>& scratchBuffer()
{
    static thread_local std::vector<std::uint32_t> buffer;
    return buffer;
}

bool integerTranslation(const QTransform& t, QPoint& offset)
{
    if (t.type() > QTransform::TxTranslate)
        return false;
    const double dx = t.dx(), dy = t.dy();
    if (dx != std::floor(dx) || dy != std::floor(dy) || std::abs(dx) > 1e9 || std::abs(dy) > 1e9)
        return false;
    offset = QPoint(static_cast<int>(dx), static_cast<int>(dy));
    return true;
}

// What of the painter's logical plane reaches the device: the device's
// bounds (moved by the painter's own translation), the painter's clip and
// the system clip (the part of a widget being repainted, in the coordinates
// of the surface the painter really writes, reached through deviceOffset).
QRect visibleLogicalRect(QPainter& painter, QPoint worldOffset, QPoint deviceOffset)
{
    const QPaintDevice* device = painter.device();
    QRect visible(-worldOffset, QSize(device->width(), device->height()));
    if (painter.hasClipping())
        visible &= painter.clipBoundingRect().toAlignedRect();
    if (const QPaintEngine* engine = painter.paintEngine()) {
        const QRegion system = engine->systemClip();
        if (!system.isEmpty())
            visible &= system.boundingRect().translated(-deviceOffset);
    }
    return visible;
}

// Scaling devices (printers, transformed painters) get the source part at
// its own resolution and scale it themselves.
void drawScaled(QPainter& painter, const Span& x, const Span& y, const PixelSource& source, bool smooth)
{
    const std::int64_t c0 = std::max<std::int64_t>(x.srcStart, 0);
    const std::int64_t c1 = std::min<std::int64_t>(std::int64_t{x.srcStart} + x.srcCount, source.width());
    const std::int64_t r0 = std::max<std::int64_t>(y.srcStart, source.firstReadableRow());
    const std::int64_t r1 = std::min<std::int64_t>(std::int64_t{y.srcStart} + y.srcCount, source.endReadableRow());
    if (c0 >= c1 || r0 >= r1)
        return;
    const int w = static_cast<int>(c1 - c0), h = static_cast<int>(r1 - r0);
    QImage part(w, h, QImage::Format_RGB32);
    if (part.isNull())
        return;
    const Span px{0, w, static_cast<int>(c0), w, x.mirrored};
    const Span py{0, h, static_cast<int>(r0), h, y.mirrored};
    const Mapping mapping(px, py, QRect(0, 0, w, h), source.width(), source.firstReadableRow(),
                          source.endReadableRow());
    fillNearest(source, mapping, part.bits(), part.bytesPerLine(), QPoint(0, 0));

    // Where the clipped part lands inside the destination span.
    auto place = [](const Span& s, std::int64_t lo, std::int64_t hi, double& from, double& to) {
        const double scale = double(s.destCount) / s.srcCount;
        const double a = double(lo - s.srcStart), b = double(hi - s.srcStart);
        from = s.mirrored ? s.destStart + (s.srcCount - b) * scale : s.destStart + a * scale;
        to = s.mirrored ? s.destStart + (s.srcCount - a) * scale : s.destStart + b * scale;
    };
    double left, right, top, bottom;
    place(x, c0, c1, left, right);
    place(y, r0, r1, top, bottom);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    painter.drawImage(QRectF(left, top, right - left, bottom - top), part);
    painter.restore();
}

} // namespace

void drawThroughPainter(QPainter& painter, const Span& x, const Span& y, const PixelSource& source, bool smooth)
{
    QPoint offset;
    QPoint worldOffset;
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !integerTranslation(painter.deviceTransform(), offset)
        || !integerTranslation(painter.worldTransform(), worldOffset)) {
        drawScaled(painter, x, y, source, smooth);
        return;
    }
    const QRect visible = visibleLogicalRect(painter, worldOffset, offset);
    if (visible.isEmpty())
        return;

    // A widget's painter really writes into its window's backing store: the
    // paint engine's device, which is an image on raster platforms. The
    // device transform holds the widget's place in it, the system clip the
    // part being repainted (both in the image's own coordinates).
    QPaintDevice* target = engine->paintDevice();
    const bool plainComposition = painter.compositionMode() == QPainter::CompositionMode_SourceOver
                                  || painter.compositionMode() == QPainter::CompositionMode_Source;
    if (target != nullptr && target->devType() == QInternal::Image && plainComposition && painter.opacity() == 1.0) {
        auto* image = static_cast<QImage*>(target);
        if (isDirectFormat(*image)) {
            const Span dx{x.destStart + offset.x(), x.destCount, x.srcStart, x.srcCount, x.mirrored};
            const Span dy{y.destStart + offset.y(), y.destCount, y.srcStart, y.srcCount, y.mirrored};
            const QRect bounds = visible.translated(offset) & image->rect();
            QRegion region = painter.hasClipping() ? painter.clipRegion().translated(offset) : QRegion(bounds);
            const QRegion system = engine->systemClip();
            if (!system.isEmpty())
                region &= system;
            for (const QRect& r : region)
                drawIntoImage(*image, r & bounds, dx, dy, source);
            return;
        }
    }

    // Any other raster device: convert only the visible part, once, and let
    // the painter blit it one to one.
    const Mapping mapping(x, y, visible, source.width(), source.firstReadableRow(), source.endReadableRow());
    const QRect drawn = mapping.drawn();
    if (drawn.isEmpty())
        return;
    std::vector<std::uint32_t>& buffer = scratchBuffer();
    const std::size_t need = std::size_t(drawn.width()) * std::size_t(drawn.height());
    if (buffer.size() < need)
        buffer.resize(need);
    fillNearest(source, mapping, reinterpret_cast<std::uint8_t*>(buffer.data()), std::int64_t{drawn.width()} * 4,
                drawn.topLeft());
    const QImage part(reinterpret_cast<const uchar*>(buffer.data()), drawn.width(), drawn.height(),
                      qsizetype(drawn.width()) * 4, QImage::Format_RGB32);
    painter.drawImage(drawn.topLeft(), part);
}

} // namespace gdi
