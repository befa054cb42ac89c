#include "widgets/ButtonGlyph.h"

#include "widgets/GlyphCache.h"

#include <QPainter>

#include <algorithm>
#include <utility>

namespace {

QRgb BottomLeft(const QImage& image)
{
    return image.pixel(0, image.height() - 1);
}

bool IsOneBit(const QImage& image)
{
    return image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
}

// The disabled image of a glyph that has one: its white, grey and
// transparent pixels take the desktop's colours, each pixel once.
QImage Recoloured(QImage image, QRgb transparent, const GlyphColours& colours)
{
    const QRgb white = qRgb(255, 255, 255);
    const QRgb grey = qRgb(128, 128, 128);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (row[x] == white)
                row[x] = colours.highlight;
            else if (row[x] == grey)
                row[x] = colours.shadow;
            else if (row[x] == transparent)
                row[x] = colours.face;
        }
    }
    return image;
}

// The classic look of a disabled one-image glyph: the black pixels of the
// image pressed into the button face, lit one pixel right and down.
QImage Embossed(const QImage& source, const GlyphColours& colours)
{
    QImage out(source.size(), QImage::Format_ARGB32);
    out.fill(colours.face);
    const QRgb black = qRgb(0, 0, 0);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (source.pixel(x, y) == black && x + 1 < out.width() && y + 1 < out.height())
                out.setPixel(x + 1, y + 1, colours.highlight);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (source.pixel(x, y) == black)
                out.setPixel(x, y, colours.shadow);
    return out;
}

} // namespace

TButtonGlyph::TButtonGlyph()
{
    GlyphCache::Get();
}

TButtonGlyph::~TButtonGlyph()
{
    Invalidate();
    GlyphCache::DropIfEmpty();
}

void TButtonGlyph::Changed()
{
    if (OnChange)
        OnChange();
}

void TButtonGlyph::SetGlyph(const QImage& glyph)
{
    Invalidate();
    glyph_ = glyph;
    if (glyph_.height() > 0) {
        transparentColor_ = IsOneBit(glyph_) ? qRgb(255, 255, 255) : BottomLeft(glyph_);
        if (glyph_.width() % glyph_.height() == 0) {
            const int images = glyph_.width() / glyph_.height();
            numGlyphs_ = images > 4 ? 1 : std::max(images, 1);
        }
    }
    Changed();
}

void TButtonGlyph::SetNumGlyphs(int value)
{
    value = std::clamp(value, 1, 4);
    if (value == numGlyphs_)
        return;
    Invalidate();
    numGlyphs_ = value;
    Changed();
}

QSize TButtonGlyph::ImageSize() const
{
    if (glyph_.isNull())
        return {0, 0};
    return {glyph_.width() / numGlyphs_, glyph_.height()};
}

void TButtonGlyph::Invalidate()
{
    for (int& index : indexes_) {
        if (index != -1 && imageList_)
            imageList_->Delete(index);
        index = -1;
    }
    if (imageList_)
        if (GlyphCache* cache = GlyphCache::Existing())
            cache->ReturnList(imageList_);
    imageList_ = nullptr;
}

int TButtonGlyph::CreateButtonGlyph(TButtonState state, const GlyphColours& colours)
{
    if (state == bsDown && numGlyphs_ < 3)
        state = bsUp;
    if (indexes_[state] != -1)
        return indexes_[state];
    const QSize size = ImageSize();
    if (size.isEmpty())
        return -1;
    if (!imageList_)
        imageList_ = GlyphCache::Get().GetList(size);

    const int source = state < numGlyphs_ ? state : 0;
    QImage image =
        glyph_.copy(QRect(QPoint(source * size.width(), 0), size)).convertToFormat(QImage::Format_ARGB32);
    if (state == bsDisabled)
        image = numGlyphs_ > 1 ? Recoloured(std::move(image), transparentColor_, colours) : Embossed(image, colours);

    indexes_[state] = imageList_->Add(image, BottomLeft(image));
    return indexes_[state];
}

void TButtonGlyph::Draw(QPainter& painter, QPoint at, TButtonState state, const GlyphColours& colours)
{
    // No bitmap, no slot: CreateButtonGlyph answers -1 and makes no list.
    const int slot = CreateButtonGlyph(state, colours);
    if (slot != -1)
        imageList_->Draw(painter, slot, at);
}
