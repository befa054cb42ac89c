#pragma once
// Turns what a V4L2 device delivers (YUYV, MJPEG, Bayer, ...) into
// bottom-up 24-bit BGR rows with the 4-byte-aligned stride, using
// libv4lconvert, whose own calls to the device go through the system seam.

#include "platform/avicap/V4l2System.h"

#include <linux/videodev2.h>

#include <cstdint>
#include <vector>

struct v4lconvert_data;

namespace avicap {

class FrameConverter {
public:
    FrameConverter(V4l2System& system, int fd);
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;
    ~FrameConverter();

    explicit operator bool() const { return data_ != nullptr; }

    // Whether frames in this pixel format can be turned into BGR.
    static bool Convertible(std::uint32_t fourcc);

    // The device format that serves 24-bit BGR at (about) this size best.
    bool choose(int width, int height, v4l2_format& source);

    // Prepares for frames of this device format.
    void setSource(const v4l2_format& source);
    std::size_t imageBytes() const { return stride_ * height_; }

    // One frame; `out` is resized to imageBytes(). False when the frame
    // cannot be decoded (a damaged JPEG).
    bool convert(const std::uint8_t* frame, std::size_t size, std::vector<std::uint8_t>& out);

private:
    v4lconvert_data* data_;
    v4l2_format source_{};
    v4l2_format target_{};
    bool direct_ = false; // the device sends BGR already
    std::size_t stride_ = 0;
    std::size_t height_ = 0;
    std::vector<std::uint8_t> topDown_;
};

} // namespace avicap
