#include "platform/gdi/Gdi.h"

#include "platform/gdi/Drawing.h"

#include <QPaintDevice>
#include <QPainter>
#include <QWidget>

namespace gdi {

PainterDC::PainterDC(QPainter& painter, int bitsPixel) : painter_(painter), bitsPixel_(bitsPixel) {}

PainterDC::~PainterDC() = default;

void PainterDC::paint(const Span& x, const Span& y, const PixelSource& source)
{
    if (painter_.isActive())
        drawThroughPainter(painter_, x, y, source, stretchBltMode() == HALFTONE);
}

QSize PainterDC::size() const
{
    const QPaintDevice* device = painter_.device();
    return device ? QSize(device->width(), device->height()) : QSize();
}

int PainterDC::depth() const
{
    if (bitsPixel_ > 0)
        return bitsPixel_;
    const QPaintDevice* device = painter_.device();
    return device ? device->depth() : 24;
}

WidgetDC::WidgetDC(QWidget* widget)
    : detail::OwnedPainter{std::make_unique<QPainter>(widget)}, PainterDC(*detail::OwnedPainter::painter)
{
}

WidgetDC::~WidgetDC() = default;

PrinterDC::PrinterDC(QPainter& painter) : PainterDC(painter, 24) {}

} // namespace gdi
