#include "platform/pixmill/PixmillLibrary.h"

#include "platform/pixmill/BlockPool.h"
#include "platform/pixmill/Halftone.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>

namespace {

// What stands behind a record. Copies of the record point at the same one.
struct Picture {
    std::unique_ptr<std::byte[]> header; // BITMAPINFO + colour table
    pixmill::PixelBlock pixels;
    std::unique_ptr<LogicalPalette> palette; // null for pictures without a table
};

// Pictures handed out and not yet freed. Lets deldib ignore a record that was
// freed already instead of freeing memory twice.
class Registry {
public:
    void add(Picture* p)
    {
        std::lock_guard lock(mutex_);
        live_.insert(p);
    }
    bool remove(Picture* p)
    {
        std::lock_guard lock(mutex_);
        return live_.erase(p) == 1;
    }
    bool contains(Picture* p)
    {
        std::lock_guard lock(mutex_);
        return live_.count(p) == 1;
    }
    std::int64_t count()
    {
        std::lock_guard lock(mutex_);
        return static_cast<std::int64_t>(live_.size());
    }

private:
    std::mutex mutex_;
    std::unordered_set<Picture*> live_;
};

Registry& registry()
{
    static Registry r;
    return r;
}

pixmill::BlockPool& pool()
{
    static pixmill::BlockPool p;
    return p;
}

std::size_t availableColors(const BITMAPINFO* source)
{
    if (source == nullptr)
        return 0;
    return ColorTableEntries(source->bmiHeader);
}

// Sizes of a requested picture; valid is false for a request that cannot be met.
struct Layout {
    bool valid = false;
    std::int32_t rowbytes = 0;
    std::size_t total = 0;
    int tableEntries = 0;
    std::size_t headerBytes() const { return sizeof(BITMAPINFOHEADER) + sizeof(RGBQUAD) * tableEntries; }
};

// Bit counts newdib accepts.
bool IsSupportedBitCount(int bitcount)
{
    switch (bitcount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        return true;
    default:
        return false;
    }
}

Picture* livePicture(const DIB& r)
{
    return static_cast<Picture*>(r.picture);
}

Layout layoutFor(int width, int height, int bitcount, int colors)
{
    Layout l;
    if (width <= 0 || height <= 0 || !IsSupportedBitCount(bitcount))
        return l;
    const std::int64_t rowbytes = StandardRowBytes(width, bitcount);
    if (rowbytes < 0)
        return l;
    const std::int64_t total = rowbytes * height;
    // The program measures pictures in signed 32-bit byte counts.
    if (total > std::numeric_limits<std::int32_t>::max())
        return l;
    const int maxColors = bitcount <= 8 ? (1 << bitcount) : 256;
    l.tableEntries = colors <= 0 ? 0 : (colors > maxColors ? maxColors : colors);
    l.rowbytes = static_cast<std::int32_t>(rowbytes);
    l.total = static_cast<std::size_t>(total);
    l.valid = true;
    return l;
}

// Writes header and colour table into info (headerBytes() of room).
void writeHeader(BITMAPINFO* info, const Layout& l, int width, int height, int bitcount, const BITMAPINFO* source)
{
    BITMAPINFOHEADER& h = info->bmiHeader;
    h = BITMAPINFOHEADER{};
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitcount);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(l.total);
    h.biClrUsed = static_cast<DWORD>(l.tableEntries);
    if (source != nullptr) {
        h.biXPelsPerMeter = source->bmiHeader.biXPelsPerMeter;
        h.biYPelsPerMeter = source->bmiHeader.biYPelsPerMeter;
    }
    RGBQUAD* table = ColorTable(info);
    std::fill(table, table + l.tableEntries, RGBQUAD{});
    const std::size_t fromSource = std::min<std::size_t>(availableColors(source), l.tableEntries);
    if (fromSource > 0)
        std::memcpy(table, ColorTable(source), fromSource * sizeof(RGBQUAD));
    if (source == nullptr) {
        // No table to copy: a grey ramp keeps index pictures visible.
        for (int i = 0; i < l.tableEntries; ++i) {
            const BYTE v = static_cast<BYTE>(l.tableEntries > 1 ? i * 255 / (l.tableEntries - 1) : 0);
            table[i] = RGBQUAD{v, v, v, 0};
        }
    }
}

// Fills the record's fields from a picture whose header is written.
DIB recordFor(Picture* pic, const Layout& l, int bitcount)
{
    auto* info = reinterpret_cast<BITMAPINFO*>(pic->header.get());
    DIB r;
    r.info = info;
    r.bits = pic->pixels.data;
    r.rowbytes = l.rowbytes;
    r.picture = pic;
    if (l.tableEntries > 0) {
        const RGBQUAD* table = ColorTable(info);
        if (!pic->palette)
            pic->palette = std::make_unique<LogicalPalette>();
        pic->palette->entries.assign(table, table + l.tableEntries);
        r.hpalette = pic->palette.get();
        r.haspalette = 1;
    } else {
        pic->palette.reset();
        // Deep pictures offer the halftone palette: the colours they are
        // reduced to on a screen of 8 bits or fewer.
        if (bitcount > 8)
            r.hpalette = pixmill::halftonePalette();
    }
    return r;
}

DIB makePicture(int width, int height, int bitcount, const BITMAPINFO* source, int colors, bool zeroed)
{
    const Layout l = layoutFor(width, height, bitcount, colors);
    if (!l.valid)
        return {};
    try {
        auto pic = std::make_unique<Picture>();
        pic->header = std::make_unique<std::byte[]>(l.headerBytes());
        writeHeader(reinterpret_cast<BITMAPINFO*>(pic->header.get()), l, width, height, bitcount, source);
        pic->pixels = pool().take(l.total);
        if (pic->pixels.data == nullptr)
            return {};
        if (zeroed)
            std::memset(pic->pixels.data, 0, l.total);
        const DIB r = recordFor(pic.get(), l, bitcount);
        registry().add(pic.get());
        pic.release(); // owned through the registry until deldib
        return r;
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace

DIB newdib(int width, int height, int bitcount, const BITMAPINFO* source, int colors)
{
    return makePicture(width, height, bitcount, source, colors, true);
}

DIB newdibuninitialized(int width, int height, int bitcount, const BITMAPINFO* source, int colors)
{
    return makePicture(width, height, bitcount, source, colors, false);
}

bool dibfits(const DIB& r, int width, int height, int bitcount, int colors)
{
    const Layout l = layoutFor(width, height, bitcount, colors);
    Picture* pic = livePicture(r);
    if (!l.valid || pic == nullptr || !registry().contains(pic))
        return false;
    return pic->pixels.capacity >= l.total && pic->pixels.capacity - l.total <= pic->pixels.capacity / 4 &&
           r.info->bmiHeader.biClrUsed == static_cast<DWORD>(l.tableEntries);
}

bool renewdib(DIB& r, int width, int height, int bitcount, const BITMAPINFO* source, int colors)
{
    if (!dibfits(r, width, height, bitcount, colors))
        return false;
    // Same memory, new description. The colour table keeps its size, so its
    // palette is refilled without allocating: nothing here can fail.
    const Layout l = layoutFor(width, height, bitcount, colors);
    writeHeader(r.info, l, width, height, bitcount, source);
    r = recordFor(livePicture(r), l, bitcount);
    return true;
}

void deldib(const DIB& r)
{
    Picture* pic = livePicture(r);
    if (pic == nullptr || !registry().remove(pic))
        return;
    std::unique_ptr<Picture> owned(pic);
    pool().give(std::move(owned->pixels));
}

namespace {

// Byte address of pixel (x, y), or null outside the picture.
std::uint8_t* pixelRow(const DIB& r, int x, int y)
{
    if (r.bits == nullptr || r.info == nullptr)
        return nullptr;
    const BITMAPINFOHEADER& h = r.info->bmiHeader;
    if (x < 0 || y < 0 || x >= h.biWidth || y >= h.biHeight)
        return nullptr;
    return r.bits + static_cast<std::ptrdiff_t>(y) * r.rowbytes;
}

} // namespace

std::uint32_t getpixel(const DIB& r, int x, int y)
{
    const std::uint8_t* row = pixelRow(r, x, y);
    if (row == nullptr)
        return 0;
    switch (r.info->bmiHeader.biBitCount) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4:
        return (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 0x0Fu);
    case 8:
        return row[x];
    case 16:
        return row[x * 2] | (row[x * 2 + 1] << 8);
    case 24:
        return row[x * 3] | (row[x * 3 + 1] << 8) | (static_cast<std::uint32_t>(row[x * 3 + 2]) << 16);
    case 32: {
        std::uint32_t v;
        std::memcpy(&v, row + x * 4, 4);
        return v;
    }
    default:
        return 0;
    }
}

void setpixel(const DIB& r, int x, int y, std::uint32_t value)
{
    std::uint8_t* row = pixelRow(r, x, y);
    if (row == nullptr)
        return;
    switch (r.info->bmiHeader.biBitCount) {
    case 1: {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x % 8));
        if (value & 1u)
            row[x / 8] |= mask;
        else
            row[x / 8] &= static_cast<std::uint8_t>(~mask);
        break;
    }
    case 4: {
        std::uint8_t& b = row[x / 2];
        if (x % 2 == 0)
            b = static_cast<std::uint8_t>((b & 0x0F) | ((value & 0x0F) << 4));
        else
            b = static_cast<std::uint8_t>((b & 0xF0) | (value & 0x0F));
        break;
    }
    case 8:
        row[x] = static_cast<std::uint8_t>(value);
        break;
    case 16:
        row[x * 2] = static_cast<std::uint8_t>(value);
        row[x * 2 + 1] = static_cast<std::uint8_t>(value >> 8);
        break;
    case 24:
        row[x * 3] = static_cast<std::uint8_t>(value);
        row[x * 3 + 1] = static_cast<std::uint8_t>(value >> 8);
        row[x * 3 + 2] = static_cast<std::uint8_t>(value >> 16);
        break;
    case 32:
        std::memcpy(row + x * 4, &value, 4);
        break;
    default:
        break;
    }
}

DIB DIBHalftoneDIB(const DIB& r)
{
    if (r.bits == nullptr || r.info == nullptr || r.info->bmiHeader.biBitCount != 24)
        return {};
    return DIBHalftoneDIBXY(r, r.info->bmiHeader.biWidth, r.info->bmiHeader.biHeight);
}

DIB DIBHalftoneDIBXY(const DIB& r, int width, int height)
{
    if (r.bits == nullptr || r.info == nullptr || r.info->bmiHeader.biBitCount != 24)
        return {};
    if (width <= 0 || height <= 0)
        return {};
    BITMAPINFO* paletteSource = pixmill::halftoneFormat();
    DIB out = newdib(width, height, 8, paletteSource, static_cast<int>(paletteSource->bmiHeader.biClrUsed));
    if (out.bits == nullptr)
        return out;
    const pixmill::PixelView src{r.bits, r.rowbytes, r.info->bmiHeader.biWidth, r.info->bmiHeader.biHeight};
    pixmill::halftoneInto(src, out.bits, out.rowbytes, width, height);
    return out;
}

double power(double base, double exponent)
{
    return std::pow(base, exponent);
}

namespace pixmill {

Stats stats()
{
    return Stats{registry().count()};
}

} // namespace pixmill
