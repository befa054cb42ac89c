#pragma once
// Nearest-neighbour resampling of a picture rectangle onto a rectangle of
// 32-bit device pixels.
//
// Destination pixel k of an extent of n pixels takes source pixel
// floor((k + 1/2) * m / n) of an extent of m pixels: the source pixel under
// the centre of the destination pixel. At equal extents that is a one to one
// copy; at 200 % each source pixel is taken twice.

#include "platform/gdi/PixelSource.h"

#include <QRect>

#include <cstdint>
#include <vector>

namespace gdi {

// One axis of a drawing: a destination extent, a source extent and whether
// the picture is mirrored along it.
struct Span {
    int destStart = 0; // first destination pixel
    int destCount = 0; // > 0
    int srcStart = 0;  // first source pixel, counted from the left / top
    int srcCount = 0;  // > 0
    bool mirrored = false;
};

// Turns an origin and a signed extent into a start and a count; false for a
// zero extent or one that overflows.
bool normalize(int origin, int extent, int& start, int& count);

// Which source pixel each visible destination pixel takes.
class Mapping {
public:
    // visible: the destination pixels that may be drawn. Pixels whose source
    // falls outside [0, srcLimit) or outside the readable rows are left out.
    Mapping(const Span& x, const Span& y, const QRect& visible, int srcWidth, int srcFirstRow, int srcEndRow);

    // The destination pixels that will be drawn (empty when none).
    const QRect& drawn() const { return drawn_; }
    // Source column and row (from the left / top) for drawn pixel i.
    const std::vector<std::int32_t>& columns() const { return columns_; }
    const std::vector<std::int32_t>& rows() const { return rows_; }
    // True when the columns run one by one, left to right, from columns()[0].
    bool straightColumns() const { return straight_; }

private:
    QRect drawn_;
    std::vector<std::int32_t> columns_;
    std::vector<std::int32_t> rows_;
    bool straight_ = false;
};

// Writes the drawn pixels of the mapping as 0xffRRGGBB words: destination
// pixel (x, y) goes to out + (y - origin.y) * outStride + (x - origin.x) * 4.
void fillNearest(const PixelSource& source, const Mapping& mapping, std::uint8_t* out, std::int64_t outStride,
                 QPoint origin);

} // namespace gdi
