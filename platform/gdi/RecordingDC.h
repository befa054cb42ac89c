#pragma once
// A device context for tests: it writes down every call with its arguments,
// reports whatever raster capabilities it is given, and can be told to fail
// any drawing call. Alone it draws nothing and answers like a device that
// succeeded; given a real device to pass calls on to, it draws there too.
//
// Memory contexts it makes are recording contexts as well, writing into the
// same journal under the name "mem" (the first one is "dc"). Bitmaps it makes
// write "DeleteObject" to the journal when they are freed.

#include "platform/gdi/Gdi.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace gdi {

class RecordingDC : public DeviceContext {
public:
    struct Call {
        std::string dc;                 // "dc" or "mem"
        std::string name;               // the operation, e.g. "StretchDIBits"
        std::vector<std::int64_t> args; // its whole-number arguments in order
        const void* pointer = nullptr;  // bits, palette, bitmap or source context
        const void* info = nullptr;     // BITMAPINFO of DIB transfers
        BITMAPINFOHEADER header{};      // its header as it was at the call
    };

    struct Journal {
        std::vector<Call> calls;
        std::set<std::string> failing;
        int rasterCaps = RC_STRETCHDIB | RC_DIBTODEV;
        int bitsPixel = 32;
        int horzRes = 1024;
        int vertRes = 768;
    };

    // target: a device that really draws, or null. It must outlive this one.
    explicit RecordingDC(HDC target = nullptr);
    ~RecordingDC() override;

    void setRasterCaps(int caps) { journal_->rasterCaps = caps; }
    void setBitsPixel(int bits) { journal_->bitsPixel = bits; }
    // Makes every later call of that name (on this context and its memory
    // contexts) answer its failure value: GDI_ERROR, 0 or null.
    void fail(const std::string& name) { journal_->failing.insert(name); }

    const std::vector<Call>& calls() const { return journal_->calls; }
    // "name" for calls on this context, "mem.name" for memory contexts.
    std::vector<std::string> names() const;
    void clear() { journal_->calls.clear(); }

    HPALETTE SelectPalette(HPALETTE palette, BOOL forceBackground) override;
    UINT RealizePalette() override;
    int SetStretchBltMode(int mode) override;
    int GetDeviceCaps(int index) override;
    int StretchDIBits(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
                      int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop) override;
    int SetDIBitsToDevice(int xDest, int yDest, DWORD width, DWORD height, int xSrc, int ySrc, UINT startScan,
                          UINT lines, const void* bits, const BITMAPINFO* info, UINT usage) override;
    HBITMAP CreateCompatibleBitmap(int width, int height) override;
    HDC CreateCompatibleDC() override;
    int SetDIBits(HBITMAP bitmap, UINT start, UINT lines, const void* bits, const BITMAPINFO* info,
                  UINT usage) override;
    HGDIOBJ SelectObject(HGDIOBJ object) override;
    BOOL StretchBlt(int xDest, int yDest, int destWidth, int destHeight, HDC source, int xSrc, int ySrc,
                    int srcWidth, int srcHeight, DWORD rop) override;
    BOOL aboutToDelete() override;
    const QImage* sourceImage() const override;

private:
    RecordingDC(std::shared_ptr<Journal> journal, std::string name, HDC ownedTarget);
    void record(const char* name, std::vector<std::int64_t> args, const void* pointer = nullptr,
                const void* info = nullptr);
    bool failing(const char* name) const;

    std::shared_ptr<Journal> journal_;
    std::string name_;
    HDC target_;
    bool ownsTarget_ = false;
    std::unique_ptr<BitmapSlot> slot_; // only when there is no target
};

} // namespace gdi
