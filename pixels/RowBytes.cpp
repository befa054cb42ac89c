#include "pixels/RowBytes.h"

#include "pixels/RgbConverter.h"

#include <linux/videodev2.h>

namespace pixels {

std::size_t RowBytes(std::uint32_t fourcc, std::size_t width)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_VYUY:
        return (width + 1) / 2 * 4; // an odd width still fills its last pair
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_NV21:
        return (width + 1) / 2 * 2; // the colour rows share the luma row's length
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return width * 3;
    case V4L2_PIX_FMT_RGB565:
    case V4L2_PIX_FMT_Y16:
        return width * 2;
    case V4L2_PIX_FMT_GREY:
        return width;
    default:
        // The 32-bit RGB layouts; Bayer and the planar YUV luma planes hold
        // a byte a pixel.
        return RgbConverter::Handles(fourcc) ? width * 4 : width;
    }
}

} // namespace pixels
