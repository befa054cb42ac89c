#include "pixels/YuyvConversion.h"

#include "records/CpuFeatures.h"

#include <cstddef>

namespace pixels {

YuyvConverter::YuyvConverter() : kernel_(cpu::HasAVX2() ? BgrToYuyvRowAVX2 : BgrToYuyvRowPlain) {}

void YuyvConverter::convert(const std::uint8_t* bits, int rowbytes, int pictureHeight, int width, int height,
                            std::uint8_t* yuyv, int yuyvStride) const
{
    // Row `row` counted from the top is row pictureHeight-1-row in memory.
    for (int row = 0; row < height; ++row)
        kernel_(bits + static_cast<std::ptrdiff_t>(pictureHeight - 1 - row) * rowbytes,
                yuyv + static_cast<std::ptrdiff_t>(row) * yuyvStride, width);
}

} // namespace pixels
