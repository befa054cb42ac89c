#include "dib/Pixmill.h"

#include "platform/gdi/Gdi.h"

std::int32_t DIBWidth(const DIB& r)
{
    return r.info->bmiHeader.biWidth;
}

std::int32_t DIBHeight(const DIB& r)
{
    return r.info->bmiHeader.biHeight;
}

std::int32_t DIBBitCount(const DIB& r)
{
    return r.info->bmiHeader.biBitCount;
}

std::int32_t PowerOfTwo(std::int32_t n)
{
    if (n <= 0)
        return 1;
    // Doubling in 32 bits: the one bit leaves the word at n = 32.
    return n >= 32 ? 0 : static_cast<std::int32_t>(std::uint32_t{1} << n);
}

std::int32_t DIBColorCount(const DIB& r)
{
    return PowerOfTwo(DIBBitCount(r));
}

std::int32_t ScreenBitsPerPixel()
{
    gdi::DesktopWindow* desktop = gdi::GetDesktopWindow();
    HDC dc = gdi::GetDC(desktop);
    HBITMAP probe = gdi::CreateCompatibleBitmap(dc, 1, 1);
    BITMAP description;
    // Without a probe bitmap the depth is unknown; a true-colour screen is the
    // safer guess, since a shallow one would halftone every 24-bit picture.
    std::int32_t bitsPixel = 24;
    if (gdi::GetObjectA(probe, sizeof(description), &description) != 0)
        bitsPixel = description.bmBitsPixel;
    gdi::DeleteObject(probe);
    gdi::ReleaseDC(desktop, dc);
    return bitsPixel;
}
