#pragma once
// The corrected picture (24-bit BGR, rows bottom-up) as 4:2:0 YUV with
// limited-range BT.601 colours, rows top-down: I420 (three planes) or NV12
// (luma, then Cb and Cr interleaved), the layouts PipeWire readers such as
// browsers ask for first. The same weights and rounding as YUYV; a sample
// of colour belongs to a 2x2 block and is worked out from the block's sum.

#include <cstdint>

namespace pixels {

// Where one 4:2:0 frame lies in memory. For NV12 `cr` is unused: the pairs
// start at `cb`.
struct Yuv420Planes {
    std::uint8_t* y = nullptr;
    std::uint8_t* cb = nullptr;
    std::uint8_t* cr = nullptr;
    int yStride = 0;
    int cStride = 0;
};

enum class Yuv420Layout { I420, NV12 };

// Converts the top-left `width` x `height` pixels of a bottom-up BGR picture
// of `pictureHeight` rows, one pass, no intermediate picture. `width` and
// `height` must be even.
void ConvertToYuv420(const std::uint8_t* bits, int rowbytes, int pictureHeight, int width, int height,
                     Yuv420Layout layout, const Yuv420Planes& planes);

} // namespace pixels
