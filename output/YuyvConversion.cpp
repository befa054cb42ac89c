#include "output/YuyvConversion.h"

#include <libyuv/convert_argb.h>

#include <algorithm>

namespace output {

namespace {
// Rows per band: 16 rows of a 1920-pixel picture are 120 KiB of BGRA.
constexpr int BandRows = 16;
} // namespace

YuyvConverter::YuyvConverter() : kernel_(CpuHasAVX2() ? BgraToYuyvRowAVX2 : BgraToYuyvRowPlain) {}

void YuyvConverter::convert(const std::uint8_t* bits, int rowbytes, int pictureHeight, int width, int height,
                            std::uint8_t* yuyv, int yuyvStride)
{
    if (width <= 0 || height <= 0)
        return;
    const int bandStride = width * 4;
    band_.resize(static_cast<std::size_t>(bandStride) * BandRows);
    for (int top = 0; top < height; top += BandRows) {
        const int rows = std::min(BandRows, height - top);
        // Row `top` counted from the top is row pictureHeight-1-top in
        // memory; a negative stride walks upwards through memory.
        const std::uint8_t* source = bits + static_cast<std::ptrdiff_t>(pictureHeight - 1 - top) * rowbytes;
        libyuv::RGB24ToARGB(source, -rowbytes, band_.data(), bandStride, width, rows);
        for (int row = 0; row < rows; ++row)
            kernel_(band_.data() + static_cast<std::ptrdiff_t>(row) * bandStride,
                    yuyv + static_cast<std::ptrdiff_t>(top + row) * yuyvStride, width);
    }
}

} // namespace output
