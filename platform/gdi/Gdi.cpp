#include "platform/gdi/Gdi.h"

namespace gdi {

GdiObject::~GdiObject() = default;

Bitmap::Bitmap(int width, int height, int bitsPixel)
    : image_(width, height, QImage::Format_RGB32), bitsPixel_(bitsPixel)
{
    // A new device bitmap starts black, as a fresh one on a screen does.
    if (!image_.isNull())
        image_.fill(0xff000000u);
}

Bitmap::~Bitmap() = default;

BitmapSlot::BitmapSlot(DeviceContext* owner, int bitsPixel)
    : owner_(owner), stock_(std::make_unique<Bitmap>(1, 1, bitsPixel)), selected_(stock_.get())
{
    selected_->setSelectedInto(owner_);
}

BitmapSlot::~BitmapSlot()
{
    selected_->setSelectedInto(nullptr);
}

HGDIOBJ BitmapSlot::select(HGDIOBJ object)
{
    auto* bitmap = dynamic_cast<Bitmap*>(object);
    if (!bitmap || (bitmap->selectedInto() && bitmap->selectedInto() != owner_))
        return nullptr;
    HBITMAP previous = selected_;
    previous->setSelectedInto(nullptr);
    selected_ = bitmap;
    selected_->setSelectedInto(owner_);
    return previous;
}

DeviceContext::~DeviceContext() = default;

HPALETTE DeviceContext::SelectPalette(HPALETTE palette, BOOL)
{
    if (!palette)
        return nullptr;
    HPALETTE previous = palette_;
    palette_ = palette;
    return previous;
}

UINT DeviceContext::RealizePalette()
{
    return 0;
}

int DeviceContext::SetStretchBltMode(int mode)
{
    if (mode < BLACKONWHITE || mode > HALFTONE)
        return 0;
    const int previous = stretchMode_;
    stretchMode_ = mode;
    return previous;
}

int DeviceContext::GetDeviceCaps(int)
{
    return 0;
}

int DeviceContext::StretchDIBits(int, int, int, int, int, int, int, int, const void*, const BITMAPINFO*, UINT, DWORD)
{
    return GDI_ERROR;
}

int DeviceContext::SetDIBitsToDevice(int, int, DWORD, DWORD, int, int, UINT, UINT, const void*, const BITMAPINFO*, UINT)
{
    return 0;
}

HBITMAP DeviceContext::CreateCompatibleBitmap(int, int)
{
    return nullptr;
}

HDC DeviceContext::CreateCompatibleDC()
{
    return nullptr;
}

int DeviceContext::SetDIBits(HBITMAP, UINT, UINT, const void*, const BITMAPINFO*, UINT)
{
    return 0;
}

HGDIOBJ DeviceContext::SelectObject(HGDIOBJ)
{
    return nullptr;
}

BOOL DeviceContext::StretchBlt(int, int, int, int, HDC, int, int, int, int, DWORD)
{
    return 0;
}

BOOL DeviceContext::aboutToDelete()
{
    return 0;
}

const QImage* DeviceContext::sourceImage() const
{
    return nullptr;
}

// ---- Free functions

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground)
{
    return dc ? dc->SelectPalette(palette, forceBackground) : nullptr;
}

UINT RealizePalette(HDC dc)
{
    return dc ? dc->RealizePalette() : static_cast<UINT>(GDI_ERROR);
}

int SetStretchBltMode(HDC dc, int mode)
{
    return dc ? dc->SetStretchBltMode(mode) : 0;
}

int GetDeviceCaps(HDC dc, int index)
{
    return dc ? dc->GetDeviceCaps(index) : 0;
}

int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    if (!dc)
        return GDI_ERROR;
    return dc->StretchDIBits(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits, info, usage,
                             rop);
}

int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    if (!dc)
        return 0;
    return dc->SetDIBitsToDevice(xDest, yDest, width, height, xSrc, ySrc, startScan, lines, bits, info, usage);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height)
{
    return dc ? dc->CreateCompatibleBitmap(width, height) : nullptr;
}

HDC CreateCompatibleDC(HDC dc)
{
    return dc ? dc->CreateCompatibleDC() : nullptr;
}

int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    return dc ? dc->SetDIBits(bitmap, start, lines, bits, info, usage) : 0;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    return dc ? dc->SelectObject(object) : nullptr;
}

BOOL StretchBlt(HDC dest, int xDest, int yDest, int destWidth, int destHeight, HDC source, int xSrc, int ySrc,
                int srcWidth, int srcHeight, DWORD rop)
{
    if (!dest)
        return 0;
    return dest->StretchBlt(xDest, yDest, destWidth, destHeight, source, xSrc, ySrc, srcWidth, srcHeight, rop);
}

BOOL DeleteDC(HDC dc)
{
    if (!dc || !dc->aboutToDelete())
        return 0;
    delete dc;
    return 1;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object)
        return 0;
    if (auto* bitmap = dynamic_cast<Bitmap*>(object); bitmap && bitmap->selectedInto())
        return 0;
    delete object;
    return 1;
}

int GetObjectA(HGDIOBJ object, int size, void* out)
{
    auto* bitmap = dynamic_cast<Bitmap*>(object);
    if (!bitmap || !out || size < static_cast<int>(sizeof(BITMAP)))
        return 0;
    BITMAP bm;
    bm.bmType = 0;
    bm.bmWidth = bitmap->width();
    bm.bmHeight = bitmap->height();
    bm.bmWidthBytes = ((bitmap->width() * bitmap->bitsPixel() + 15) / 16) * 2;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(bitmap->bitsPixel());
    bm.bmBits = nullptr;
    *static_cast<BITMAP*>(out) = bm;
    return static_cast<int>(sizeof(BITMAP));
}

} // namespace gdi
