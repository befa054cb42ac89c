#pragma once
// The bitmap and palette records that pictures, devices and capture drivers
// exchange. Field names and widths follow the well-known bitmap file layout,
// so a header read from a driver or written to a file means the same thing
// everywhere in the program.

#include <cstdint>
#include <vector>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = int;

inline constexpr DWORD BI_RGB = 0;

struct BITMAPINFOHEADER {
    DWORD biSize = sizeof(BITMAPINFOHEADER);
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = BI_RGB;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};
static_assert(sizeof(RGBQUAD) == 4);

// A bitmap header followed in memory by its colour table (biClrUsed entries,
// or 2^biBitCount when that is 0 and the bit count is 8 or less). The table
// is reached through ColorTable(), never by indexing past the header.
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
};

inline const RGBQUAD* ColorTable(const BITMAPINFO* info)
{
    return reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(info) + info->bmiHeader.biSize);
}
inline RGBQUAD* ColorTable(BITMAPINFO* info)
{
    return reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(info) + info->bmiHeader.biSize);
}

// Bytes from one row of a bitmap to the next: whole 32-bit words, the
// standard stride ((width * bitcount + 31) div 32) * 4. -1 for a width or bit
// count of 0 or less, or a row that does not fit 32 bits.
inline std::int64_t StandardRowBytes(int width, int bitcount)
{
    if (width <= 0 || bitcount <= 0)
        return -1;
    const std::int64_t rowbytes = ((static_cast<std::int64_t>(width) * bitcount + 31) / 32) * 4;
    return rowbytes > 0x7FFFFFFF ? -1 : rowbytes;
}

// Number of colour table entries a header announces.
inline DWORD ColorTableEntries(const BITMAPINFOHEADER& h)
{
    if (h.biClrUsed != 0)
        return h.biClrUsed;
    if (h.biBitCount >= 1 && h.biBitCount <= 8)
        return DWORD{1} << h.biBitCount;
    return 0;
}

// A logical palette: the colours a picture wants realised on a device that
// maps colours through a palette. Palettes belong to whoever made them.
struct LogicalPalette {
    std::vector<RGBQUAD> entries;
};
using HPALETTE = LogicalPalette*;
