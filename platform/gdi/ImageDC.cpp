#include "platform/gdi/Gdi.h"

#include "platform/gdi/Drawing.h"

#include <QPainter>

namespace gdi {

ImageDC::ImageDC(QImage& image) : image_(image), clip_(image.rect()) {}

ImageDC::~ImageDC() = default;

const QImage* ImageDC::sourceImage() const
{
    return &image_;
}

void ImageDC::paint(const Span& x, const Span& y, const PixelSource& source)
{
    if (image_.isNull())
        return;
    if (isDirectFormat(image_)) {
        drawIntoImage(image_, clip_, x, y, source);
        return;
    }
    QPainter painter(&image_);
    painter.setClipRect(clip_);
    drawThroughPainter(painter, x, y, source, stretchBltMode() == HALFTONE);
}

QSize ImageDC::size() const
{
    return image_.size();
}

int ImageDC::depth() const
{
    return image_.isNull() ? 24 : image_.depth();
}

MemoryDC::MemoryDC(int bitsPixel) : slot_(this, bitsPixel), bitsPixel_(bitsPixel) {}

MemoryDC::~MemoryDC() = default;

HGDIOBJ MemoryDC::SelectObject(HGDIOBJ object)
{
    return slot_.select(object);
}

BOOL MemoryDC::aboutToDelete()
{
    return 1;
}

const QImage* MemoryDC::sourceImage() const
{
    return &slot_.bitmap().image();
}

void MemoryDC::paint(const Span& x, const Span& y, const PixelSource& source)
{
    QImage& image = slot_.bitmap().image();
    drawIntoImage(image, image.rect(), x, y, source);
}

QSize MemoryDC::size() const
{
    return slot_.bitmap().image().size();
}

int MemoryDC::depth() const
{
    return bitsPixel_;
}

} // namespace gdi
