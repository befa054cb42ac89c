#pragma once
// Device contexts: the drawing surface a picture is rendered onto. A device
// context is an object; the operations the renderer needs are its virtual
// members, and free functions with the classic names forward to them so that
// drawing code reads as the well-known graphics interface does.
//
// Concrete devices:
//  - PainterDC over a QPainter that is already active on any paint device:
//    a widget inside its paintEvent, a QImage, or a printer page;
//  - WidgetDC, which opens its own QPainter on a widget (inside paintEvent);
//  - ImageDC over a QImage, writing into its pixels directly;
//  - memory contexts made by CreateCompatibleDC, holding a Bitmap.
// Screens and printers report RC_STRETCHDIB | RC_DIBTODEV.
//
// Coordinates are device units of the target (for PainterDC: the painter's
// logical coordinates). DIB transfers read bottom-up pictures: a source y
// counts rows up from the bottom row. A memory bitmap's rows are counted down
// from the top, as a device's are.
//
// Rectangles with a negative width or height span from the given corner
// leftwards or upwards; when the destination and source extents of one axis
// have opposite signs the picture is mirrored along that axis. A zero extent
// draws nothing. Only SRCCOPY is offered as a raster operation; any other
// makes the drawing call fail.
//
// Everything here runs on the GUI thread.

#include "records/WinTypes.h"

#include <functional>
#include <memory>

#include <QImage>
#include <QRect>
#include <QSize>

class QPainter;
class QWidget;

// Numbers of the classic interface, with their well-known values.
inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
inline constexpr int HORZRES = 8;
inline constexpr int VERTRES = 10;
inline constexpr int BITSPIXEL = 12;
inline constexpr int RASTERCAPS = 38;
inline constexpr int RC_DIBTODEV = 0x0200;
inline constexpr int RC_STRETCHDIB = 0x2000;
inline constexpr int BLACKONWHITE = 1;
inline constexpr int WHITEONBLACK = 2;
inline constexpr int COLORONCOLOR = 3;
inline constexpr int HALFTONE = 4;
inline constexpr UINT DIB_RGB_COLORS = 0;
inline constexpr int GDI_ERROR = -1;
inline constexpr DWORD SRCCOPY = 0x00CC0020;
inline constexpr UINT MB_OK = 0;
inline constexpr int IDOK = 1;

// The 24-byte description GetObjectA fills in for a bitmap.
struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 1;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;
};

namespace gdi {

class DeviceContext;

// Anything DeleteObject frees.
class GdiObject {
public:
    GdiObject() = default;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    virtual ~GdiObject();
};

// A device-dependent bitmap: the pixels of a memory context. Its picture is
// an RGB32 image; bitsPixel is the depth of the device it is compatible with
// (what GetObjectA reports).
class Bitmap : public GdiObject {
public:
    Bitmap(int width, int height, int bitsPixel);
    ~Bitmap() override;

    bool isNull() const { return image_.isNull(); }
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    int bitsPixel() const { return bitsPixel_; }
    QImage& image() { return image_; }
    const QImage& image() const { return image_; }

    // The memory context this bitmap is selected into, or null. A selected
    // bitmap can be neither deleted nor written by SetDIBits.
    DeviceContext* selectedInto() const { return selectedInto_; }
    void setSelectedInto(DeviceContext* dc) { selectedInto_ = dc; }

private:
    QImage image_;
    int bitsPixel_;
    DeviceContext* selectedInto_ = nullptr;
};

} // namespace gdi

using HDC = gdi::DeviceContext*;
using HGDIOBJ = gdi::GdiObject*;
using HBITMAP = gdi::Bitmap*;

namespace gdi {

// A drawing target. The base class answers every operation as a device that
// can do nothing (0, null or GDI_ERROR), except the palette and stretch-mode
// state, which every device keeps.
class DeviceContext {
public:
    DeviceContext() = default;
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;
    virtual ~DeviceContext();

    // Selects a logical palette; answers the one it replaces (null at first).
    // Selecting null changes nothing and answers null. The palette is
    // remembered only: every device here is true colour.
    virtual HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground);
    // Number of palette entries mapped into the system palette: always 0 on
    // true-colour devices. GDI_ERROR when no palette device could do it.
    virtual UINT RealizePalette();
    // Answers the previous mode, or 0 for a mode outside 1..4.
    virtual int SetStretchBltMode(int mode);
    int stretchBltMode() const { return stretchMode_; }
    virtual int GetDeviceCaps(int index);

    // Draws a rectangle of a bottom-up picture scaled into a rectangle of the
    // device. Answers the number of source rows drawn (0 for an empty
    // rectangle) or GDI_ERROR.
    virtual int StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                              int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
    // Copies a rectangle of a picture one to one. bits holds the rows
    // startScan .. startScan + lines - 1 of the picture. Answers the number of
    // rows set, 0 on failure.
    virtual int SetDIBitsToDevice(int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                                  UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);

    // A bitmap of this device's depth (owned by the caller; DeleteObject), or
    // null.
    virtual HBITMAP CreateCompatibleBitmap(int width, int height);
    // A memory context (owned by the caller; DeleteDC), or null.
    virtual HDC CreateCompatibleDC();
    // Writes picture rows start .. start + lines - 1 (bottom-up) into a
    // bitmap that is not selected into any context. Answers the rows written,
    // 0 on failure.
    virtual int SetDIBits(HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
    // Selects a bitmap into a memory context; answers the one it replaces,
    // or null on failure.
    virtual HGDIOBJ SelectObject(HGDIOBJ object);
    // Copies a rectangle of a memory context (rows counted from the top)
    // scaled onto this device. Nonzero on success.
    virtual BOOL StretchBlt(int xDest, int yDest, int destWidth, int destHeight, HDC source, int xSrc, int ySrc,
                            int srcWidth, int srcHeight, DWORD rop);

    // Asked by DeleteDC before it frees the context: nonzero only for
    // contexts made by CreateCompatibleDC, which belong to their caller.
    // Contexts made over painters and images belong to whoever made them and
    // are never freed by DeleteDC.
    virtual BOOL aboutToDelete();

    // The pixels a StretchBlt may read from this context, or null.
    virtual const QImage* sourceImage() const;

private:
    HPALETTE palette_ = nullptr;
    int stretchMode_ = BLACKONWHITE;
};

struct Span;
class PixelSource;

// A device that has pixels: everything drawn resamples the source nearest
// neighbour (COLORONCOLOR) in any stretch mode; a device that scales by
// itself (a printer) smooths in HALFTONE mode. Reports RC_STRETCHDIB |
// RC_DIBTODEV, and its size and depth for HORZRES, VERTRES and BITSPIXEL.
class SurfaceDC : public DeviceContext {
public:
    int GetDeviceCaps(int index) override;
    int StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                      int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) override;
    int SetDIBitsToDevice(int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                          UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) override;
    HBITMAP CreateCompatibleBitmap(int width, int height) override;
    HDC CreateCompatibleDC() override;
    int SetDIBits(HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
                  UINT usage) override;
    BOOL StretchBlt(int xDest, int yDest, int destWidth, int destHeight, HDC source, int xSrc, int ySrc, int srcWidth,
                    int srcHeight, DWORD rop) override;

protected:
    // Draws the source spans onto the device.
    virtual void paint(const Span& x, const Span& y, const PixelSource& source) = 0;
    // Size in device pixels and bits per pixel.
    virtual QSize size() const = 0;
    virtual int depth() const = 0;
};

// Draws through a QPainter that is active on any paint device. When the
// painter's raster engine writes into a QImage of 32 bits per pixel (an
// image, or the backing store of the window a widget is painted in) with a
// plain translation, the pixels are written straight into that image within
// the painter's clip and the part being repainted; other raster devices get
// the visible part converted once and blitted one to one; printers and
// scaled painters get the source part at its own resolution and scale it.
class PainterDC : public SurfaceDC {
public:
    // bitsPixel: what GetDeviceCaps(BITSPIXEL) and compatible bitmaps report;
    // 0 takes the paint device's depth.
    explicit PainterDC(QPainter& painter, int bitsPixel = 0);
    ~PainterDC() override;

    QPainter& painter() { return painter_; }

protected:
    void paint(const Span& x, const Span& y, const PixelSource& source) override;
    QSize size() const override;
    int depth() const override;

private:
    QPainter& painter_;
    int bitsPixel_;
};

namespace detail {
struct OwnedPainter {
    std::unique_ptr<QPainter> painter;
};
} // namespace detail

// Opens its own painter on a widget. Make it inside the widget's paintEvent
// only, and let it go before paintEvent returns.
class WidgetDC : private detail::OwnedPainter, public PainterDC {
public:
    explicit WidgetDC(QWidget* widget);
    ~WidgetDC() override;
};

// A printer page: a QPainter active on a QPrinter (or any paged device).
// HORZRES and VERTRES give the printable area in device pixels.
class PrinterDC : public PainterDC {
public:
    explicit PrinterDC(QPainter& painter);
};

// Draws into a QImage. Images of Format_RGB32, Format_ARGB32 and
// Format_ARGB32_Premultiplied are written directly; other formats through a
// painter opened for the call. The image must outlive the context, and no
// painter may be active on it while the context draws.
class ImageDC : public SurfaceDC {
public:
    explicit ImageDC(QImage& image);
    ~ImageDC() override;

    // Limits drawing to a rectangle of the image (the whole image at first).
    void setClipRect(const QRect& clip) { clip_ = clip; }

    const QImage* sourceImage() const override;

protected:
    void paint(const Span& x, const Span& y, const PixelSource& source) override;
    QSize size() const override;
    int depth() const override;

private:
    QImage& image_;
    QRect clip_;
};

// The bitmap selected into a memory context: at first a 1 x 1 bitmap of the
// context's own. A bitmap is selected into one context at a time; the one
// selected last is let go when the slot goes.
class BitmapSlot {
public:
    BitmapSlot(DeviceContext* owner, int bitsPixel);
    ~BitmapSlot();
    BitmapSlot(const BitmapSlot&) = delete;
    BitmapSlot& operator=(const BitmapSlot&) = delete;

    // Selects a bitmap that no other context holds; answers the one it
    // replaces, or null on failure.
    HGDIOBJ select(HGDIOBJ object);
    Bitmap& bitmap() const { return *selected_; }

private:
    DeviceContext* owner_;
    std::unique_ptr<Bitmap> stock_;
    HBITMAP selected_;
};

// A memory context: draws into the bitmap selected into it, and is the
// source of StretchBlt.
class MemoryDC : public SurfaceDC {
public:
    explicit MemoryDC(int bitsPixel);
    ~MemoryDC() override;

    HGDIOBJ SelectObject(HGDIOBJ object) override;
    BOOL aboutToDelete() override;
    const QImage* sourceImage() const override;

protected:
    void paint(const Span& x, const Span& y, const PixelSource& source) override;
    QSize size() const override;
    int depth() const override;

private:
    BitmapSlot slot_;
    int bitsPixel_;
};

// ---- The classic free functions. A null context makes each answer its
// failure value.

HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetDeviceCaps(HDC dc, int index);
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                  int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop);
int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
HDC CreateCompatibleDC(HDC dc);
int SetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL StretchBlt(HDC dest, int xDest, int yDest, int destWidth, int destHeight, HDC source, int xSrc, int ySrc,
                int srcWidth, int srcHeight, DWORD rop);
// Frees a context made by CreateCompatibleDC; the bitmap selected into it is
// not freed. Any other context is refused (0): see aboutToDelete.
BOOL DeleteDC(HDC dc);
// Frees a bitmap. Fails (0) while the bitmap is selected into a context.
BOOL DeleteObject(HGDIOBJ object);
// Fills a BITMAP for a bitmap; answers the bytes written, 0 on failure.
int GetObjectA(HGDIOBJ object, int size, void* out);

// ---- The screen.

// The desktop window, and a context for it whose compatible bitmaps have the
// screen's depth. Release the context with ReleaseDC.
class DesktopWindow;
DesktopWindow* GetDesktopWindow();
HDC GetDC(DesktopWindow* window);
int ReleaseDC(DesktopWindow* window, HDC dc);

// Where the screen's depth comes from: by default the primary screen's
// (QScreen::depth), 24 when there is no screen. Tests install their own.
// Answers the probe it replaces; an empty function restores the default.
using ScreenDepthProbe = std::function<int()>;
ScreenDepthProbe SetScreenDepthProbe(ScreenDepthProbe probe);

// ---- Messages.

// A message box with one OK button and no owner: modal, shown through the
// current sink. A null caption gives the default caption "Fehler". Answers
// IDOK.
int MessageBoxA(const void* owner, const char* text, const char* caption, UINT type);

// Where message boxes go: by default a modal QMessageBox. Tests install a
// sink to see messages without blocking. Answers the sink it replaces; an
// empty function restores the default.
using MessageBoxSink = std::function<int(const char* text, const char* caption, UINT type)>;
MessageBoxSink SetMessageBoxSink(MessageBoxSink sink);

} // namespace gdi
