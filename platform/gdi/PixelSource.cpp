#include "platform/gdi/PixelSource.h"

#include <QImage>

#include <algorithm>
#include <limits>

namespace gdi {

namespace {

bool formatFor(int bitCount, PixelFormat& format)
{
    switch (bitCount) {
    case 1: format = PixelFormat::Index1; return true;
    case 4: format = PixelFormat::Index4; return true;
    case 8: format = PixelFormat::Index8; return true;
    case 16: format = PixelFormat::Rgb555; return true;
    case 24: format = PixelFormat::Bgr24; return true;
    case 32: format = PixelFormat::Bgrx32; return true;
    default: return false;
    }
}

} // namespace

bool isDirectFormat(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return true;
    default:
        return false;
    }
}

bool PixelSource::setDib(const BITMAPINFO* info, const void* bits, UINT usage)
{
    if (!info)
        return false;
    const std::int64_t rows = info->bmiHeader.biHeight < 0 ? -std::int64_t{info->bmiHeader.biHeight}
                                                           : info->bmiHeader.biHeight;
    if (rows > std::numeric_limits<int>::max())
        return false;
    return setDibBand(info, bits, usage, 0, static_cast<int>(rows));
}

bool PixelSource::setDibBand(const BITMAPINFO* info, const void* bits, UINT usage, int firstRow, int rowCount)
{
    if (!info || !bits || usage != 0)
        return false;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0
        || h.biHeight == std::numeric_limits<LONG>::min())
        return false;
    if (!formatFor(h.biBitCount, format_))
        return false;
    const std::int64_t stride = StandardRowBytes(h.biWidth, h.biBitCount);
    if (stride < 0)
        return false;
    width_ = h.biWidth;
    height_ = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bottomUp_ = h.biHeight > 0;
    stride_ = stride;
    bits_ = static_cast<const std::uint8_t*>(bits);

    if (firstRow < 0 || rowCount < 0 || firstRow >= height_)
        firstRow = rowCount = 0;
    rowCount = std::min(rowCount, height_ - firstRow);
    firstMemoryRow_ = firstRow;
    memoryRows_ = rowCount;
    if (bottomUp_) {
        endTop_ = height_ - firstRow;
        firstTop_ = endTop_ - rowCount;
    } else {
        firstTop_ = firstRow;
        endTop_ = firstRow + rowCount;
    }

    palette_.fill(0xff000000u);
    if (h.biBitCount <= 8) {
        const DWORD entries = std::min<DWORD>(ColorTableEntries(h), DWORD{1} << h.biBitCount);
        const RGBQUAD* table = ColorTable(info);
        for (DWORD i = 0; i < entries; ++i)
            palette_[i] = 0xff000000u | (std::uint32_t{table[i].rgbRed} << 16)
                          | (std::uint32_t{table[i].rgbGreen} << 8) | table[i].rgbBlue;
    }
    return true;
}

bool PixelSource::setImage(const QImage& image)
{
    if (image.isNull() || !isDirectFormat(image))
        return false;
    format_ = PixelFormat::Bgrx32;
    width_ = image.width();
    height_ = image.height();
    bottomUp_ = false;
    stride_ = image.bytesPerLine();
    bits_ = image.constBits();
    firstMemoryRow_ = 0;
    memoryRows_ = height_;
    firstTop_ = 0;
    endTop_ = height_;
    return true;
}

const std::uint8_t* PixelSource::row(int top) const
{
    const int memoryRow = bottomUp_ ? height_ - 1 - top : top;
    return bits_ + (memoryRow - firstMemoryRow_) * stride_;
}

std::int64_t PixelSource::readableBytes(int top) const
{
    const int memoryRow = bottomUp_ ? height_ - 1 - top : top;
    return (std::int64_t{memoryRows_} - (memoryRow - firstMemoryRow_)) * stride_;
}

} // namespace gdi
