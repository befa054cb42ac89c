#include "platform/gdi/gdi.h"

#include <QPainter>
#include <QWidget>

namespace gdi {

// Drawing through painters is being written; until then a painter device
// refuses every drawing call.
struct PainterDC::Impl {};

PainterDC::PainterDC(QPainter& painter, int) : painter_(painter), impl_(std::make_unique<Impl>()) {}
PainterDC::~PainterDC() = default;
int PainterDC::GetDeviceCaps(int) { return 0; }
int PainterDC::StretchDIBits(int, int, int, int, int, int, int, int, const void*, const BITMAPINFO*, UINT, DWORD) { return GDI_ERROR; }
int PainterDC::SetDIBitsToDevice(int, int, DWORD, DWORD, int, int, UINT, UINT, const void*, const BITMAPINFO*, UINT) { return 0; }
HBITMAP PainterDC::CreateCompatibleBitmap(int, int) { return nullptr; }
HDC PainterDC::CreateCompatibleDC() { return nullptr; }
int PainterDC::SetDIBits(HBITMAP, UINT, UINT, const void*, const BITMAPINFO*, UINT) { return 0; }
BOOL PainterDC::StretchBlt(int, int, int, int, HDC, int, int, int, int, DWORD) { return 0; }

WidgetDC::WidgetDC(QWidget* widget)
    : detail::OwnedPainter{std::make_unique<QPainter>(widget)}, PainterDC(*detail::OwnedPainter::painter)
{
}
WidgetDC::~WidgetDC() = default;

PrinterDC::PrinterDC(QPainter& painter) : PainterDC(painter, 24) {}

} // namespace gdi
