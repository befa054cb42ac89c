#include "platform/gdi/Gdi.h"

#include "platform/gdi/Drawing.h"

#include <limits>

namespace gdi {

int SurfaceDC::GetDeviceCaps(int index)
{
    switch (index) {
    case RASTERCAPS:
        return RC_STRETCHDIB | RC_DIBTODEV;
    case HORZRES:
        return size().width();
    case VERTRES:
        return size().height();
    case BITSPIXEL:
        return depth();
    default:
        return 0;
    }
}

int SurfaceDC::StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                             int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    PixelSource source;
    if (rop != SRCCOPY || !source.setDib(info, bits, usage))
        return GDI_ERROR;
    Span x, y;
    if (!makeSpans(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, source.height(), true, x,
                   y))
        return 0;
    paint(x, y, source);
    return y.srcCount;
}

int SurfaceDC::SetDIBitsToDevice(int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                                 UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    constexpr DWORD most = std::numeric_limits<int>::max();
    if (width > most || height > most || startScan > most || lines > most)
        return 0;
    PixelSource source;
    if (!source.setDibBand(info, bits, usage, static_cast<int>(startScan), static_cast<int>(lines)))
        return 0;
    const int rows = source.endReadableRow() - source.firstReadableRow();
    if (rows == 0)
        return 0;
    Span x, y;
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    if (makeSpans(xDest, yDest, w, h, xSrc, ySrc, w, h, source.height(), true, x, y))
        paint(x, y, source);
    return rows;
}

HBITMAP SurfaceDC::CreateCompatibleBitmap(int width, int height)
{
    if (width <= 0 || height <= 0)
        return nullptr;
    auto bitmap = std::make_unique<Bitmap>(width, height, depth());
    return bitmap->isNull() ? nullptr : bitmap.release();
}

HDC SurfaceDC::CreateCompatibleDC()
{
    return new MemoryDC(depth());
}

int SurfaceDC::SetDIBits(HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
                         UINT usage)
{
    constexpr UINT most = std::numeric_limits<int>::max();
    if (!bitmap || bitmap->isNull() || bitmap->selectedInto() || start > most || lines > most)
        return 0;
    PixelSource source;
    if (!source.setDibBand(info, bits, usage, static_cast<int>(start), static_cast<int>(lines)))
        return 0;
    const int rows = source.endReadableRow() - source.firstReadableRow();
    if (rows == 0)
        return 0;
    // The picture's bottom row lies on the bitmap's bottom row.
    Span x{0, source.width(), 0, source.width(), false};
    Span y{bitmap->height() - source.height(), source.height(), 0, source.height(), false};
    drawIntoImage(bitmap->image(), bitmap->image().rect(), x, y, source);
    return rows;
}

BOOL SurfaceDC::StretchBlt(int xDest, int yDest, int destWidth, int destHeight, HDC sourceDC, int xSrc, int ySrc,
                           int srcWidth, int srcHeight, DWORD rop)
{
    const QImage* image = sourceDC ? sourceDC->sourceImage() : nullptr;
    PixelSource source;
    if (rop != SRCCOPY || !image || !source.setImage(*image))
        return 0;
    Span x, y;
    if (makeSpans(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, source.height(), false, x,
                  y))
        paint(x, y, source);
    return 1;
}

} // namespace gdi
