#include "dib/RenderDIB.h"

#include "dib/PictureGuard.h"

#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace render {

int RoundHalfEven(double q)
{
    if (!(q >= std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (q > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(std::nearbyint(q));
}

namespace {

int toInt(std::int64_t v)
{
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

} // namespace

bool ClipToPicture(Rects& r, int W, int H)
{
    // Products are taken in 64 bits so that large zooms cannot overflow.
    using I = std::int64_t;
    if (W < I{r.SrcX} + r.SrcWidth) {
        if (r.SrcWidth == 0)
            return false;
        r.DestWidth = RoundHalfEven(double(I{r.DestWidth} * (I{W} - r.SrcX)) / r.SrcWidth);
        r.SrcWidth = toInt(I{W} - r.SrcX);
    }
    if (r.SrcY < 0) {
        if (r.SrcHeight == 0)
            return false;
        r.DestHeight = RoundHalfEven(double((I{r.SrcHeight} + r.SrcY) * r.DestHeight) / r.SrcHeight);
        r.SrcHeight = toInt(I{r.SrcHeight} + r.SrcY);
        r.SrcY = 0;
    }
    if (H < I{r.SrcY} + r.SrcHeight) {
        if (r.SrcHeight == 0)
            return false;
        const int n = RoundHalfEven(double(I{r.DestHeight} * (I{H} - r.SrcY)) / r.SrcHeight);
        r.DestY = toInt(I{r.DestY} + (I{r.DestHeight} - n));
        r.DestHeight = n;
        r.SrcHeight = toInt(I{H} - r.SrcY);
    }
    if (r.SrcX < 0) {
        if (r.SrcWidth == 0)
            return false;
        const int n = RoundHalfEven(double((I{r.SrcWidth} + r.SrcX) * r.DestWidth) / r.SrcWidth);
        r.DestX = toInt(I{r.DestX} + (I{r.DestWidth} - n));
        r.DestWidth = n;
        r.SrcWidth = toInt(I{r.SrcWidth} + r.SrcX);
        r.SrcX = 0;
    }
    return r.SrcWidth > 0 && r.SrcHeight > 0 && r.SrcX < W && r.SrcY < H;
}

void FillScratch(const DIB& scratch, const DIB& source, int SrcX, int SrcY, int SrcWidth, int SrcHeight)
{
    const int destWidth = DIBWidth(scratch);
    const int destHeight = DIBHeight(scratch);
    const int bitCount = DIBBitCount(source);
    using I = std::int64_t;
    for (int y = 0; y < destHeight; ++y) {
        const int sy = SrcY + static_cast<int>((I{SrcHeight} - 1) * y / (destHeight - 1));
        const std::uint8_t* from = source.bits + I{sy} * source.rowbytes;
        std::uint8_t* to = scratch.bits + I{y} * scratch.rowbytes;
        for (int x = 0; x < destWidth; ++x) {
            const int sx = SrcX + static_cast<int>((I{SrcWidth} - 1) * x / (destWidth - 1));
            switch (bitCount) {
            case 24:
                std::memcpy(to + I{x} * 3, from + I{sx} * 3, 3);
                break;
            case 8:
                to[x] = from[sx];
                break;
            case 4: {
                const std::uint8_t b = from[sx / 2];
                const std::uint8_t nibble = (sx % 2 == 0) ? (b >> 4) : (b & 0x0f);
                to[x / 2] |= (x % 2 == 0) ? std::uint8_t(nibble << 4) : nibble;
                break;
            }
            case 1:
                setpixel(scratch, x, y, getpixel(source, sx, sy));
                break;
            default:
                return;
            }
        }
    }
}

} // namespace render

namespace {

constexpr const char* kNoBitmap = QT_TRANSLATE_NOOP("gdi::MessageBox", "Konnte Bitmap nicht erzeugen!");
// The program's own wording, misspelling included.
constexpr const char* kNoSetDIBits = QT_TRANSLATE_NOOP("gdi::MessageBox",
                                                       "Das Gerät unterstützt die Funtkion setdibits nicht!");
constexpr const char* kNoStretchBlt = QT_TRANSLATE_NOOP("gdi::MessageBox",
                                                        "Das Gerät unterstützt die Funktion StretchBlt nicht!");

// Keeps the first palette a call replaces, to put it back at the end.
class EntryPalette {
public:
    explicit EntryPalette(HDC dc) : dc_(dc) {}

    void select(HPALETTE palette)
    {
        HPALETTE replaced = gdi::SelectPalette(dc_, palette, FALSE);
        if (!kept_) {
            entry_ = replaced;
            kept_ = true;
        }
        gdi::RealizePalette(dc_);
    }
    void restore() { gdi::SelectPalette(dc_, entry_, FALSE); }

private:
    HDC dc_;
    HPALETTE entry_ = nullptr;
    bool kept_ = false;
};

void drawHalftoned(HDC DC, const render::Rects& r, const DIB& Dib, DWORD Rop, HPALETTE chosen, EntryPalette& entry)
{
    const int W = DIBWidth(Dib), H = DIBHeight(Dib);
    const bool shrinking = r.DestWidth < r.SrcWidth || r.DestHeight < r.SrcHeight;
    const PictureGuard halftoned(
        shrinking ? DIBHalftoneDIBXY(Dib, render::RoundHalfEven(double(std::int64_t{W} * r.DestWidth) / r.SrcWidth),
                                     render::RoundHalfEven(double(std::int64_t{H} * r.DestHeight) / r.SrcHeight))
                  : DIBHalftoneDIB(Dib));
    entry.select(chosen);
    if (halftoned.get().info) {
        const DIB& h = halftoned.get();
        int sx = r.SrcX, sy = r.SrcY, sw = r.SrcWidth, sh = r.SrcHeight;
        if (shrinking) {
            // The matching part of the resampled picture, copied one to one.
            sx = render::RoundHalfEven(double(std::int64_t{DIBWidth(h)} * r.SrcX) / W);
            sy = render::RoundHalfEven(double(std::int64_t{DIBHeight(h)} * r.SrcY) / H);
            sw = r.DestWidth;
            sh = r.DestHeight;
        }
        gdi::StretchDIBits(DC, r.DestX, r.DestY, r.DestWidth, r.DestHeight, sx, sy, sw, sh, h.bits, h.info,
                           DIB_RGB_COLORS, Rop);
    }
    entry.restore();
}

// The scratch-picture way. Answers whether the device took the picture.
bool drawResampled(HDC DC, const render::Rects& r, const DIB& Dib)
{
    // The fill divides by the target size less one: a one-pixel target is
    // left undrawn (and counts as drawn, so no other way is tried).
    if (r.DestWidth == 1 || r.DestHeight == 1)
        return true;
    const int colorCount = DIBColorCount(Dib);
    const int colors = (colorCount >= 1 && colorCount <= 256) ? colorCount : 0;
    const PictureGuard scratch(newdib(r.DestWidth, r.DestHeight, DIBBitCount(Dib), Dib.info, colors));
    if (!scratch.holdsPicture())
        return false;
    render::FillScratch(scratch.get(), Dib, r.SrcX, r.SrcY, r.SrcWidth, r.SrcHeight);
    return gdi::SetDIBitsToDevice(DC, r.DestX, r.DestY, static_cast<DWORD>(r.DestWidth),
                                  static_cast<DWORD>(r.DestHeight), 0, 0, 0, static_cast<UINT>(r.DestHeight),
                                  scratch.get().bits, scratch.get().info, DIB_RGB_COLORS)
           != 0;
}

void drawThroughBitmap(HDC DC, const render::Rects& r, const DIB& Dib, DWORD Rop)
{
    const int W = DIBWidth(Dib), H = DIBHeight(Dib);
    HBITMAP bitmap = gdi::CreateCompatibleBitmap(DC, W, H);
    if (!bitmap) {
        gdi::MessageBoxA(nullptr, kNoBitmap, nullptr, MB_OK);
        return;
    }
    HDC memory = gdi::CreateCompatibleDC(DC);
    if (gdi::SetDIBits(memory, bitmap, 0, static_cast<UINT>(H), Dib.bits, Dib.info, DIB_RGB_COLORS) == 0) {
        gdi::MessageBoxA(nullptr, kNoSetDIBits, nullptr, MB_OK);
    } else {
        HGDIOBJ replaced = gdi::SelectObject(memory, bitmap);
        // The bitmap's rows run from the top: the source rectangle, given
        // from the bottom, is turned over so that every way shows the same
        // part of the picture.
        const int topRow = static_cast<int>(std::int64_t{H} - r.SrcY - r.SrcHeight);
        if (gdi::StretchBlt(DC, r.DestX, r.DestY, r.DestWidth, r.DestHeight, memory, r.SrcX, topRow, r.SrcWidth,
                            r.SrcHeight, Rop)
            == 0)
            gdi::MessageBoxA(nullptr, kNoStretchBlt, nullptr, MB_OK);
        gdi::SelectObject(memory, replaced);
    }
    gdi::DeleteDC(memory);
    gdi::DeleteObject(bitmap);
}

void drawOnDevice(HDC DC, const render::Rects& r, const DIB& Dib, DWORD Rop)
{
    const int caps = gdi::GetDeviceCaps(DC, RASTERCAPS);
    bool done = false;
    if (caps & RC_STRETCHDIB)
        done = gdi::StretchDIBits(DC, r.DestX, r.DestY, r.DestWidth, r.DestHeight, r.SrcX, r.SrcY, r.SrcWidth,
                                  r.SrcHeight, Dib.bits, Dib.info, DIB_RGB_COLORS, Rop)
               != GDI_ERROR;
    if (!done && (caps & RC_DIBTODEV))
        done = drawResampled(DC, r, Dib);
    if (!done)
        drawThroughBitmap(DC, r, Dib, Rop);
}

} // namespace

void RenderDIB(HDC DC, int DestX, int DestY, int DestWidth, int DestHeight, const DIB& Dib, int SrcX, int SrcY,
               int SrcWidth, int SrcHeight, bool Halftone, DWORD Rop, bool UseOwnPalette, HPALETTE Palette)
{
    if (!DIBHoldsPicture(Dib))
        return;
    const int W = DIBWidth(Dib), H = DIBHeight(Dib);
    if (W <= 0 || H <= 0)
        return;
    render::Rects r{DestX, DestY, DestWidth, DestHeight, SrcX, SrcY, SrcWidth, SrcHeight};
    if (!render::ClipToPicture(r, W, H) || r.DestWidth == 0 || r.DestHeight == 0)
        return;

    const HPALETTE chosen = UseOwnPalette ? Dib.hpalette : Palette;
    EntryPalette entry(DC);
    if (Dib.haspalette == 1)
        entry.select(chosen);
    gdi::SetStretchBltMode(DC, COLORONCOLOR);

    // The screen is probed for 24-bit pictures only, but then on every call.
    if (DIBBitCount(Dib) == 24 && ScreenBitsPerPixel() <= 8 && Halftone)
        drawHalftoned(DC, r, Dib, Rop, chosen, entry);
    else
        drawOnDevice(DC, r, Dib, Rop);

    if (Dib.haspalette == 1)
        entry.restore();
}
