#pragma once
// 32-bit RGB frames (any order of the three colours and the unused or alpha
// byte) and 8-bit grey ones into bottom-up 24-bit BGR rows, with libyuv.
// The alpha byte is ignored: a camera's picture is opaque. Rows that need
// reordering go through one row of ARGB that stays in the cache.

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixels {

class RgbConverter {
public:
    // Whether this converter takes frames in this pixel format.
    static bool Handles(std::uint32_t fourcc);

    // Prepares for frames of this format (one Handles() accepts, at least
    // 1 x 1 pixels); a row length below what a row holds means none given.
    void setSource(const v4l2_pix_format& pix);

    // The bytes a whole frame occupies; shorter frames cannot be converted.
    std::size_t frameBytes() const { return frameBytes_; }

    // One frame of at least frameBytes() into `bgr`, rows `stride` apart,
    // bottom row first.
    void convert(const std::uint8_t* frame, std::uint8_t* bgr, std::size_t stride);

private:
    // By the bytes' order in memory; X stands for the unused or alpha byte.
    enum class Layout { Bgrx, Rgbx, Xbgr, Xrgb, Grey };

    Layout layout_ = Layout::Bgrx;
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    std::size_t frameBytes_ = 0;
    std::vector<std::uint8_t> row_; // one row of ARGB (B, G, R, X in memory)
};

} // namespace pixels
