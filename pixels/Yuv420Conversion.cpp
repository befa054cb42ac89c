#include "pixels/Yuv420Conversion.h"

#include "pixels/YuyvKernels.h"

#include <cstddef>

namespace pixels {

namespace {

inline std::uint8_t Luma(const std::uint8_t* bgr)
{
    return static_cast<std::uint8_t>((YR * bgr[2] + YG * bgr[1] + YB * bgr[0] + YOffset) >> 15);
}

// The YUYV weights are for the sum of a pixel pair; a 2x2 block's sum is
// twice that, so one more bit of shift and twice the offset.
constexpr int COffset4 = 2 * COffset;

// Two rows of luma and the row of colour samples between them.
template <Yuv420Layout layout>
void BlockRow(const std::uint8_t* top, const std::uint8_t* bottom, std::uint8_t* yTop, std::uint8_t* yBottom,
              std::uint8_t* cb, std::uint8_t* cr, int width)
{
    for (int x = 0; x < width; x += 2, top += 6, bottom += 6, yTop += 2, yBottom += 2) {
        yTop[0] = Luma(top);
        yTop[1] = Luma(top + 3);
        yBottom[0] = Luma(bottom);
        yBottom[1] = Luma(bottom + 3);
        const int b = top[0] + top[3] + bottom[0] + bottom[3];
        const int g = top[1] + top[4] + bottom[1] + bottom[4];
        const int r = top[2] + top[5] + bottom[2] + bottom[5];
        const auto u = static_cast<std::uint8_t>((UR * r + UG * g + UB * b + COffset4) >> 16);
        const auto v = static_cast<std::uint8_t>((VR * r + VG * g + VB * b + COffset4) >> 16);
        if constexpr (layout == Yuv420Layout::I420) {
            *cb++ = u;
            *cr++ = v;
        } else {
            *cb++ = u;
            *cb++ = v;
        }
    }
}

} // namespace

void ConvertToYuv420(const std::uint8_t* bits, int rowbytes, int pictureHeight, int width, int height,
                     Yuv420Layout layout, const Yuv420Planes& planes)
{
    // Row `row` counted from the top is row pictureHeight-1-row in memory.
    auto source = [&](int row) { return bits + static_cast<std::ptrdiff_t>(pictureHeight - 1 - row) * rowbytes; };
    for (int row = 0; row < height; row += 2) {
        std::uint8_t* yTop = planes.y + static_cast<std::ptrdiff_t>(row) * planes.yStride;
        std::uint8_t* cb = planes.cb + static_cast<std::ptrdiff_t>(row / 2) * planes.cStride;
        if (layout == Yuv420Layout::I420)
            BlockRow<Yuv420Layout::I420>(source(row), source(row + 1), yTop, yTop + planes.yStride, cb,
                                         planes.cr + static_cast<std::ptrdiff_t>(row / 2) * planes.cStride, width);
        else
            BlockRow<Yuv420Layout::NV12>(source(row), source(row + 1), yTop, yTop + planes.yStride, cb, nullptr, width);
    }
}

} // namespace pixels
