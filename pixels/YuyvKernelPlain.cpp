#include "pixels/YuyvKernels.h"

namespace pixels {

void BgrToYuyvRowPlain(const std::uint8_t* bgr, std::uint8_t* yuyv, int width)
{
    for (int x = 0; x < width; x += 2, bgr += 6, yuyv += 4) {
        const int b0 = bgr[0], g0 = bgr[1], r0 = bgr[2];
        const int b1 = bgr[3], g1 = bgr[4], r1 = bgr[5];
        const int b = b0 + b1, g = g0 + g1, r = r0 + r1;
        yuyv[0] = static_cast<std::uint8_t>((YR * r0 + YG * g0 + YB * b0 + YOffset) >> 15);
        yuyv[1] = static_cast<std::uint8_t>((UR * r + UG * g + UB * b + COffset) >> 15);
        yuyv[2] = static_cast<std::uint8_t>((YR * r1 + YG * g1 + YB * b1 + YOffset) >> 15);
        yuyv[3] = static_cast<std::uint8_t>((VR * r + VG * g + VB * b + COffset) >> 15);
    }
}

} // namespace pixels
