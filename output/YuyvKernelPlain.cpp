#include "output/YuyvKernels.h"

namespace output {

void BgraToYuyvRowPlain(const std::uint8_t* bgra, std::uint8_t* yuyv, int width)
{
    for (int x = 0; x < width; x += 2, bgra += 8, yuyv += 4) {
        const int b0 = bgra[0], g0 = bgra[1], r0 = bgra[2];
        const int b1 = bgra[4], g1 = bgra[5], r1 = bgra[6];
        const int b = b0 + b1, g = g0 + g1, r = r0 + r1;
        // The offsets 16 and 128 go in before the shift, so that the
        // arithmetic shift rounds half up on either side of zero.
        yuyv[0] = static_cast<std::uint8_t>((YR * r0 + YG * g0 + YB * b0 + (16 << 15) + (1 << 14)) >> 15);
        yuyv[1] = static_cast<std::uint8_t>((UR * r + UG * g + UB * b + (128 << 16) + (1 << 15)) >> 16);
        yuyv[2] = static_cast<std::uint8_t>((YR * r1 + YG * g1 + YB * b1 + (16 << 15) + (1 << 14)) >> 15);
        yuyv[3] = static_cast<std::uint8_t>((VR * r + VG * g + VB * b + (128 << 16) + (1 << 15)) >> 16);
    }
}

} // namespace output
