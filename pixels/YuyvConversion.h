#pragma once
// The corrected picture (24-bit BGR, rows bottom-up) as YUYV 4:2:2 with
// limited-range BT.601 colours, rows top-down, as V4L2 readers expect.

#include "pixels/YuyvKernels.h"

#include <cstdint>

namespace pixels {

// Converts the top-left `width` x `height` pixels of a bottom-up BGR picture
// of `pictureHeight` rows straight into the YUYV frame, one pass, no
// intermediate picture. `width` must be even.
class YuyvConverter {
public:
    // The fastest row kernel this processor runs, or the one given.
    YuyvConverter();
    explicit YuyvConverter(YuyvRowFn kernel) : kernel_(kernel) {}

    void convert(const std::uint8_t* bits, int rowbytes, int pictureHeight, int width, int height, std::uint8_t* yuyv,
                 int yuyvStride) const;

private:
    YuyvRowFn kernel_;
};

} // namespace pixels
