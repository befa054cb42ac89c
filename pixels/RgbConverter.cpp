#include "pixels/RgbConverter.h"

#include <libyuv/convert_argb.h>
#include <libyuv/convert_from_argb.h>
#include <libyuv/planar_functions.h>

#include <algorithm>

namespace pixels {

namespace {

// libyuv's shuffle masks: byte i of each output pixel is the input pixel's
// byte mask[i], four pixels at a time; both make B, G, R, X in memory.
constexpr std::uint8_t fromXbgr[16] = {1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12};
constexpr std::uint8_t fromXrgb[16] = {3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12};

} // namespace

bool RgbConverter::Handles(std::uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_BGR32:
    case V4L2_PIX_FMT_ABGR32:
    case V4L2_PIX_FMT_XBGR32:
    case V4L2_PIX_FMT_RGBA32:
    case V4L2_PIX_FMT_RGBX32:
    case V4L2_PIX_FMT_BGRA32:
    case V4L2_PIX_FMT_BGRX32:
    case V4L2_PIX_FMT_RGB32:
    case V4L2_PIX_FMT_ARGB32:
    case V4L2_PIX_FMT_XRGB32:
    case V4L2_PIX_FMT_GREY:
        return true;
    default:
        return false;
    }
}

void RgbConverter::setSource(const v4l2_pix_format& pix)
{
    switch (pix.pixelformat) {
    case V4L2_PIX_FMT_RGBA32:
    case V4L2_PIX_FMT_RGBX32:
        layout_ = Layout::Rgbx;
        break;
    case V4L2_PIX_FMT_BGRA32:
    case V4L2_PIX_FMT_BGRX32:
        layout_ = Layout::Xbgr;
        break;
    case V4L2_PIX_FMT_RGB32: // the old name's bytes: X (or alpha), R, G, B
    case V4L2_PIX_FMT_ARGB32:
    case V4L2_PIX_FMT_XRGB32:
        layout_ = Layout::Xrgb;
        break;
    case V4L2_PIX_FMT_GREY:
        layout_ = Layout::Grey;
        break;
    default: // BGR32, ABGR32, XBGR32: B, G, R, X
        layout_ = Layout::Bgrx;
    }
    width_ = static_cast<int>(pix.width);
    height_ = static_cast<int>(pix.height);
    const std::size_t row = static_cast<std::size_t>(pix.width) * (layout_ == Layout::Grey ? 1 : 4);
    stride_ = std::max<std::size_t>(pix.bytesperline, row);
    frameBytes_ = stride_ * (pix.height - 1) + row;
    row_.resize(layout_ == Layout::Bgrx || layout_ == Layout::Rgbx ? 0 : static_cast<std::size_t>(width_) * 4);
}

void RgbConverter::convert(const std::uint8_t* frame, std::uint8_t* bgr, std::size_t stride)
{
    // libyuv writes bottom-up when given the last row and a negative stride.
    std::uint8_t* const bottom = bgr + static_cast<std::size_t>(height_ - 1) * stride;
    const int from = static_cast<int>(stride_), up = -static_cast<int>(stride);
    switch (layout_) {
    case Layout::Bgrx:
        libyuv::ARGBToRGB24(frame, from, bottom, up, width_, height_);
        return;
    case Layout::Rgbx: // libyuv's ABGR: R, G, B, A in memory, into its RAW: R, G, B
        libyuv::ARGBToRAW(frame, from, bottom, up, width_, height_);
        return;
    default:
        break;
    }
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* in = frame + static_cast<std::size_t>(y) * stride_;
        if (layout_ == Layout::Grey)
            libyuv::J400ToARGB(in, from, row_.data(), 0, width_, 1);
        else
            libyuv::ARGBShuffle(in, from, row_.data(), 0, layout_ == Layout::Xbgr ? fromXbgr : fromXrgb, width_, 1);
        libyuv::ARGBToRGB24(row_.data(), 0,
                            bottom - static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(stride), 0, width_,
                            1);
    }
}

} // namespace pixels
