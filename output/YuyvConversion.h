#pragma once
// The corrected picture (24-bit BGR, rows bottom-up) as YUYV 4:2:2 with
// limited-range BT.601 colours, rows top-down, as V4L2 readers expect.

#include "output/YuyvKernels.h"

#include <cstdint>
#include <vector>

namespace output {

// Converts the top-left `width` x `height` pixels of a bottom-up BGR picture
// of `pictureHeight` rows. `width` must be even. One pass over the picture:
// libyuv widens a band of rows to BGRA in a small scratch that stays in the
// cache, and the row kernel turns that into YUYV; there is no whole
// intermediate picture.
class YuyvConverter {
public:
    // The fastest row kernel this processor runs, or the one given.
    YuyvConverter();
    explicit YuyvConverter(YuyvRowFn kernel) : kernel_(kernel) {}

    void convert(const std::uint8_t* bits, int rowbytes, int pictureHeight, int width, int height,
                 std::uint8_t* yuyv, int yuyvStride);

private:
    YuyvRowFn kernel_;
    std::vector<std::uint8_t> band_; // BGRA rows of one band
};

} // namespace output
