#include "platform/gdi/RecordingDC.h"

#include <cstdlib>

namespace gdi {

namespace {

// A bitmap that notes its own deletion.
class RecordedBitmap : public Bitmap {
public:
    RecordedBitmap(int width, int height, int bitsPixel, std::shared_ptr<RecordingDC::Journal> journal)
        : Bitmap(width, height, bitsPixel), journal_(std::move(journal))
    {
    }
    ~RecordedBitmap() override { journal_->calls.push_back({"dc", "DeleteObject", {}, this, nullptr, {}}); }

private:
    std::shared_ptr<RecordingDC::Journal> journal_;
};

} // namespace

RecordingDC::RecordingDC(HDC target) : RecordingDC(std::make_shared<Journal>(), "dc", nullptr)
{
    target_ = target;
}

RecordingDC::RecordingDC(std::shared_ptr<Journal> journal, std::string name, HDC ownedTarget)
    : journal_(std::move(journal)), name_(std::move(name)), target_(ownedTarget), ownsTarget_(ownedTarget != nullptr)
{
    if (!target_)
        slot_ = std::make_unique<BitmapSlot>(this, journal_->bitsPixel);
}

RecordingDC::~RecordingDC()
{
    if (ownsTarget_)
        gdi::DeleteDC(target_);
}

std::vector<std::string> RecordingDC::names() const
{
    std::vector<std::string> out;
    for (const Call& c : journal_->calls)
        out.push_back(c.dc == "dc" ? c.name : c.dc + "." + c.name);
    return out;
}

void RecordingDC::record(const char* name, std::vector<std::int64_t> args, const void* pointer, const void* info)
{
    Call call{name_, name, std::move(args), pointer, info, {}};
    if (info)
        call.header = static_cast<const BITMAPINFO*>(info)->bmiHeader;
    journal_->calls.push_back(std::move(call));
}

bool RecordingDC::failing(const char* name) const
{
    return journal_->failing.count(name) != 0;
}

HPALETTE RecordingDC::SelectPalette(HPALETTE palette, BOOL forceBackground)
{
    record("SelectPalette", {forceBackground}, palette);
    if (failing("SelectPalette"))
        return nullptr;
    if (target_)
        target_->SelectPalette(palette, forceBackground);
    return DeviceContext::SelectPalette(palette, forceBackground);
}

UINT RecordingDC::RealizePalette()
{
    record("RealizePalette", {});
    if (failing("RealizePalette"))
        return static_cast<UINT>(GDI_ERROR);
    return target_ ? target_->RealizePalette() : 0;
}

int RecordingDC::SetStretchBltMode(int mode)
{
    record("SetStretchBltMode", {mode});
    if (failing("SetStretchBltMode"))
        return 0;
    if (target_)
        target_->SetStretchBltMode(mode);
    return DeviceContext::SetStretchBltMode(mode);
}

int RecordingDC::GetDeviceCaps(int index)
{
    record("GetDeviceCaps", {index});
    if (failing("GetDeviceCaps"))
        return 0;
    switch (index) {
    case RASTERCAPS:
        return journal_->rasterCaps;
    case BITSPIXEL:
        return journal_->bitsPixel;
    case HORZRES:
        return target_ ? target_->GetDeviceCaps(HORZRES) : journal_->horzRes;
    case VERTRES:
        return target_ ? target_->GetDeviceCaps(VERTRES) : journal_->vertRes;
    default:
        return target_ ? target_->GetDeviceCaps(index) : 0;
    }
}

int RecordingDC::StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                               int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                               DWORD rop)
{
    record("StretchDIBits", {xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, usage, rop}, bits,
           info);
    if (failing("StretchDIBits"))
        return GDI_ERROR;
    if (target_)
        return target_->StretchDIBits(xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, bits,
                                      info, usage, rop);
    return std::abs(srcHeight);
}

int RecordingDC::SetDIBitsToDevice(int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc,
                                   UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info, UINT usage)
{
    record("SetDIBitsToDevice", {xDest, yDest, width, height, xSrc, ySrc, startScan, lines, usage}, bits, info);
    if (failing("SetDIBitsToDevice"))
        return 0;
    if (target_)
        return target_->SetDIBitsToDevice(xDest, yDest, width, height, xSrc, ySrc, startScan, lines, bits, info,
                                          usage);
    return static_cast<int>(lines);
}

HBITMAP RecordingDC::CreateCompatibleBitmap(int width, int height)
{
    record("CreateCompatibleBitmap", {width, height});
    if (failing("CreateCompatibleBitmap") || width <= 0 || height <= 0)
        return nullptr;
    auto bitmap = std::make_unique<RecordedBitmap>(width, height, journal_->bitsPixel, journal_);
    if (bitmap->isNull())
        return nullptr;
    return bitmap.release();
}

HDC RecordingDC::CreateCompatibleDC()
{
    record("CreateCompatibleDC", {});
    if (failing("CreateCompatibleDC"))
        return nullptr;
    HDC inner = nullptr;
    if (target_) {
        inner = target_->CreateCompatibleDC();
        if (!inner)
            return nullptr;
    }
    return new RecordingDC(journal_, "mem", inner);
}

int RecordingDC::SetDIBits(HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
                           UINT usage)
{
    record("SetDIBits", {start, lines, usage}, bitmap, info);
    if (failing("SetDIBits") || !bitmap || bitmap->selectedInto())
        return 0;
    if (target_)
        return target_->SetDIBits(bitmap, start, lines, bits, info, usage);
    return static_cast<int>(lines);
}

HGDIOBJ RecordingDC::SelectObject(HGDIOBJ object)
{
    record("SelectObject", {}, object);
    if (failing("SelectObject"))
        return nullptr;
    if (target_)
        return target_->SelectObject(object);
    return slot_->select(object);
}

BOOL RecordingDC::StretchBlt(int xDest, int yDest, int destWidth, int destHeight, HDC source, int xSrc, int ySrc,
                             int srcWidth, int srcHeight, DWORD rop)
{
    record("StretchBlt", {xDest, yDest, destWidth, destHeight, xSrc, ySrc, srcWidth, srcHeight, rop}, source);
    if (failing("StretchBlt"))
        return 0;
    if (target_)
        return target_->StretchBlt(xDest, yDest, destWidth, destHeight, source, xSrc, ySrc, srcWidth, srcHeight,
                                   rop);
    return 1;
}

BOOL RecordingDC::aboutToDelete()
{
    record("DeleteDC", {});
    // Only the memory contexts it made belong to the caller.
    return name_ == "mem" ? 1 : 0;
}

const QImage* RecordingDC::sourceImage() const
{
    if (target_)
        return target_->sourceImage();
    return slot_ ? &slot_->bitmap().image() : nullptr;
}

} // namespace gdi
