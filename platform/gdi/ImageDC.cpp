#include "platform/gdi/gdi.h"

namespace gdi {

// Drawing into images is being written; until then an image device refuses
// every drawing call.
struct ImageDC::Impl {};

ImageDC::ImageDC(QImage& image) : image_(image), impl_(std::make_unique<Impl>()) {}
ImageDC::~ImageDC() = default;
void ImageDC::setClipRect(const QRect&) {}
int ImageDC::GetDeviceCaps(int) { return 0; }
int ImageDC::StretchDIBits(int, int, int, int, int, int, int, int, const void*, const BITMAPINFO*, UINT, DWORD) { return GDI_ERROR; }
int ImageDC::SetDIBitsToDevice(int, int, DWORD, DWORD, int, int, UINT, UINT, const void*, const BITMAPINFO*, UINT) { return 0; }
HBITMAP ImageDC::CreateCompatibleBitmap(int, int) { return nullptr; }
HDC ImageDC::CreateCompatibleDC() { return nullptr; }
int ImageDC::SetDIBits(HBITMAP, UINT, UINT, const void*, const BITMAPINFO*, UINT) { return 0; }
BOOL ImageDC::StretchBlt(int, int, int, int, HDC, int, int, int, int, DWORD) { return 0; }
const QImage* ImageDC::sourceImage() const { return &image_; }

} // namespace gdi
