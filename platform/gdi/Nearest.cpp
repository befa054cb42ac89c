#include "platform/gdi/Nearest.h"

#include "platform/gdi/RowKernels.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace gdi {

bool normalize(int origin, int extent, int& start, int& count)
{
    if (extent == 0 || extent == std::numeric_limits<int>::min())
        return false;
    const std::int64_t end = std::int64_t{origin} + extent;
    if (end < std::numeric_limits<int>::min() || end > std::numeric_limits<int>::max())
        return false;
    start = extent > 0 ? origin : static_cast<int>(end);
    count = extent > 0 ? extent : -extent;
    return true;
}

namespace {

// Source pixel for destination pixel k of the span, not yet bounds-checked.
inline std::int64_t sourceOf(const Span& s, std::int64_t k)
{
    std::int64_t j = ((2 * k + 1) * s.srcCount) / (2 * std::int64_t{s.destCount});
    if (s.mirrored)
        j = s.srcCount - 1 - j;
    return s.srcStart + j;
}

// Destination pixels [from, to) of the span whose source lies in [lo, hi),
// with their sources. The sources are monotonic in k, so those pixels form
// one run; it is found by trimming both ends.
void mapAxis(const Span& s, int from, int to, std::int64_t lo, std::int64_t hi, int& first,
             std::vector<std::int32_t>& out)
{
    out.clear();
    first = from;
    if (from >= to)
        return;
    out.reserve(static_cast<std::size_t>(to - from));
    bool started = false;
    for (int d = from; d < to; ++d) {
        const std::int64_t src = sourceOf(s, std::int64_t{d} - s.destStart);
        if (src < lo || src >= hi) {
            if (started)
                break;
            continue;
        }
        if (!started) {
            started = true;
            first = d;
        }
        out.push_back(static_cast<std::int32_t>(src));
    }
}

} // namespace

Mapping::Mapping(const Span& x, const Span& y, const QRect& visible, int srcWidth, int srcFirstRow, int srcEndRow)
{
    const std::int64_t left = std::max<std::int64_t>(x.destStart, visible.left());
    const std::int64_t right = std::min<std::int64_t>(std::int64_t{x.destStart} + x.destCount,
                                                      std::int64_t{visible.left()} + visible.width());
    const std::int64_t top = std::max<std::int64_t>(y.destStart, visible.top());
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y.destStart} + y.destCount,
                                                       std::int64_t{visible.top()} + visible.height());
    if (left >= right || top >= bottom)
        return;
    int firstX = 0;
    int firstY = 0;
    mapAxis(x, static_cast<int>(left), static_cast<int>(right), 0, srcWidth, firstX, columns_);
    mapAxis(y, static_cast<int>(top), static_cast<int>(bottom), srcFirstRow, srcEndRow, firstY, rows_);
    if (columns_.empty() || rows_.empty()) {
        columns_.clear();
        rows_.clear();
        return;
    }
    drawn_ = QRect(firstX, firstY, static_cast<int>(columns_.size()), static_cast<int>(rows_.size()));
    straight_ = columns_.back() - columns_.front() + 1 == static_cast<std::int32_t>(columns_.size())
                && (columns_.size() == 1 || columns_[1] > columns_[0]);
}

namespace {

inline std::uint32_t fromBgr(const std::uint8_t* p)
{
    return 0xff000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

inline std::uint32_t from555(const std::uint8_t* p)
{
    const std::uint32_t v = p[0] | (std::uint32_t{p[1]} << 8);
    const std::uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    return 0xff000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
}

// One destination row from one source row.
class RowWriter {
public:
    RowWriter(const PixelSource& source, const Mapping& mapping)
        : source_(source), columns_(mapping.columns()), straight_(mapping.straightColumns())
    {
        // Byte offsets for the gathering loop; a straight run is converted
        // as one block and needs none.
        if (source.format() == PixelFormat::Bgr24 && !straight_) {
            offsets_.reserve(columns_.size());
            for (std::int32_t c : columns_)
                offsets_.push_back(c * 3);
            maxOffset_ = *std::max_element(offsets_.begin(), offsets_.end());
        }
    }

    void write(const std::uint8_t* row, std::int64_t readable, std::uint32_t* out) const
    {
        const std::size_t n = columns_.size();
        const std::int32_t* col = columns_.data();
        const std::uint32_t* palette = source_.palette();
        switch (source_.format()) {
        case PixelFormat::Bgr24:
            if (straight_) {
                Bgr24Row()(row + std::size_t(col[0]) * 3, out, n);
            } else if (maxOffset_ + 4 <= readable) {
                // Four-byte loads: the byte after each pixel is still inside
                // the picture's memory.
                const std::int32_t* off = offsets_.data();
                for (std::size_t i = 0; i < n; ++i) {
                    std::uint32_t v;
                    std::memcpy(&v, row + off[i], 4);
                    out[i] = v | 0xff000000u;
                }
            } else {
                for (std::size_t i = 0; i < n; ++i)
                    out[i] = fromBgr(row + offsets_[i]);
            }
            break;
        case PixelFormat::Bgrx32:
            if (straight_) {
                const std::uint8_t* p = row + std::size_t(col[0]) * 4;
                for (std::size_t i = 0; i < n; ++i, p += 4) {
                    std::uint32_t v;
                    std::memcpy(&v, p, 4);
                    out[i] = v | 0xff000000u;
                }
            } else {
                for (std::size_t i = 0; i < n; ++i) {
                    std::uint32_t v;
                    std::memcpy(&v, row + std::size_t(col[i]) * 4, 4);
                    out[i] = v | 0xff000000u;
                }
            }
            break;
        case PixelFormat::Rgb555:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = from555(row + std::size_t(col[i]) * 2);
            break;
        case PixelFormat::Index8:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = palette[row[col[i]]];
            break;
        case PixelFormat::Index4:
            for (std::size_t i = 0; i < n; ++i) {
                const std::uint8_t b = row[col[i] >> 1];
                out[i] = palette[(col[i] & 1) ? (b & 0x0f) : (b >> 4)];
            }
            break;
        case PixelFormat::Index1:
            for (std::size_t i = 0; i < n; ++i)
                out[i] = palette[(row[col[i] >> 3] >> (7 - (col[i] & 7))) & 1];
            break;
        }
    }

private:
    const PixelSource& source_;
    const std::vector<std::int32_t>& columns_;
    bool straight_;
    std::vector<std::int32_t> offsets_;
    std::int64_t maxOffset_ = 0;
};

} // namespace

void fillNearest(const PixelSource& source, const Mapping& mapping, std::uint8_t* out, std::int64_t outStride,
                 QPoint origin)
{
    const QRect& d = mapping.drawn();
    if (d.isEmpty())
        return;
    const RowWriter writer(source, mapping);
    const std::size_t rowBytes = mapping.columns().size() * 4;
    std::uint8_t* first = out + (std::int64_t{d.top()} - origin.y()) * outStride
                          + (std::int64_t{d.left()} - origin.x()) * 4;
    const std::vector<std::int32_t>& rows = mapping.rows();
    std::uint8_t* previous = nullptr;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        std::uint8_t* target = first + std::int64_t(i) * outStride;
        // Enlarged pictures repeat a source row on several device rows: copy
        // the row already made instead of converting it again.
        if (previous && rows[i] == rows[i - 1]) {
            std::memcpy(target, previous, rowBytes);
        } else {
            writer.write(source.row(rows[i]), source.readableBytes(rows[i]), reinterpret_cast<std::uint32_t*>(target));
        }
        previous = target;
    }
}

} // namespace gdi
