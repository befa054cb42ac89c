#include "platform/gdi/gdi.h"

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

MemoryDC::MemoryDC(int bitsPixel)
    : stock_(std::make_unique<Bitmap>(1, 1, bitsPixel)), selected_(stock_.get()), bitsPixel_(bitsPixel)
{
    stock_->setSelectedInto(this);
}

MemoryDC::~MemoryDC()
{
    if (selected_)
        selected_->setSelectedInto(nullptr);
}

HGDIOBJ MemoryDC::SelectObject(HGDIOBJ object)
{
    auto* bitmap = dynamic_cast<Bitmap*>(object);
    if (!bitmap || (bitmap->selectedInto() && bitmap->selectedInto() != this))
        return nullptr;
    HBITMAP previous = selected_;
    previous->setSelectedInto(nullptr);
    selected_ = bitmap;
    selected_->setSelectedInto(this);
    return previous;
}

BOOL MemoryDC::aboutToDelete()
{
    return 1;
}

const QImage* MemoryDC::sourceImage() const
{
    return &selected_->image();
}

void MemoryDC::paint(const Span& x, const Span& y, const PixelSource& source)
{
    drawIntoImage(selected_->image(), selected_->image().rect(), x, y, source);
}

QSize MemoryDC::size() const
{
    return selected_->image().size();
}

int MemoryDC::depth() const
{
    return bitsPixel_;
}

} // namespace gdi
