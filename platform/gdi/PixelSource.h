#pragma once
// A picture as the drawing code reads it: rows of pixels in one of the
// formats a DIB transfer accepts, or the 32-bit pixels of a device bitmap,
// addressed from the top row down as they appear on a device.

#include "records/WinTypes.h"

#include <array>
#include <cstdint>

class QImage;

namespace gdi {

// The 32-bit image formats whose pixels are 0xAARRGGBB words: the images a
// PixelSource reads and drawIntoImage writes.
bool isDirectFormat(const QImage& image);

enum class PixelFormat { Index1, Index4, Index8, Rgb555, Bgr24, Bgrx32 };

class PixelSource {
public:
    // A bottom-up (biHeight > 0) or top-down (biHeight < 0) picture in
    // DIB_RGB_COLORS form; bits holds the rows firstRow .. firstRow +
    // rowCount - 1 in memory order. Answers false for what cannot be drawn:
    // compressed or unknown formats, missing pointers, sizes whose rows do
    // not fit 32 bits.
    bool setDib(const BITMAPINFO* info, const void* bits, UINT usage);
    bool setDibBand(const BITMAPINFO* info, const void* bits, UINT usage, int firstRow, int rowCount);
    // The pixels of an image of a direct format (alpha ignored).
    bool setImage(const QImage& image);

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    const std::uint32_t* palette() const { return palette_.data(); }

    // Rows a drawing may read, counted from the top: [firstTop, endTop).
    int firstReadableRow() const { return firstTop_; }
    int endReadableRow() const { return endTop_; }
    // Start of the row `top` rows down from the top of the picture; it must
    // lie in the readable range.
    const std::uint8_t* row(int top) const;
    // Bytes that may be read from the start of that row on.
    std::int64_t readableBytes(int top) const;

private:
    const std::uint8_t* bits_ = nullptr;
    std::int64_t stride_ = 0;   // bytes from one memory row to the next
    int width_ = 0;
    int height_ = 0;
    bool bottomUp_ = true;
    int firstMemoryRow_ = 0;    // memory row of bits_
    int memoryRows_ = 0;        // rows present in bits_
    int firstTop_ = 0;
    int endTop_ = 0;
    PixelFormat format_ = PixelFormat::Bgr24;
    std::array<std::uint32_t, 256> palette_{}; // 0xffRRGGBB
};

} // namespace gdi
