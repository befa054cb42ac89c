#pragma once
// Turns what a V4L2 device delivers into bottom-up 24-bit BGR rows with the
// 4-byte-aligned stride, in one pass straight into the frame handed out:
// YUV and 24-bit RGB through libyuv, MJPEG and JPEG through TurboJPEG, and
// what neither knows (Bayer, 16-bit and grey formats) through
// libv4lconvert, whose own calls to the device go through the system seam.

#include "camera/v4l2/V4l2System.h"
#include "pixels/JpegDecoder.h"
#include "pixels/YuvConverter.h"

#include <QString>

#include <linux/videodev2.h>

#include <cstdint>
#include <vector>

struct v4lconvert_data;

namespace camera {

class FrameConverter {
public:
    FrameConverter(V4l2System& system, int fd);
    FrameConverter(const FrameConverter&) = delete;
    FrameConverter& operator=(const FrameConverter&) = delete;
    ~FrameConverter();

    explicit operator bool() const { return data_ != nullptr && jpeg_; }

    // Whether frames in this pixel format can be turned into BGR.
    static bool Convertible(std::uint32_t fourcc);

    // The device format that serves 24-bit BGR at (about) this size best.
    bool choose(int width, int height, v4l2_format& source);

    // Prepares for frames of this device format, or says in German why
    // they cannot be converted (then the converter takes no frames).
    bool setSource(const v4l2_format& source, QString& reason);
    std::size_t imageBytes() const { return stride_ * height_; }

    // One frame; `out` is resized to imageBytes(). False when the frame
    // cannot be converted: a damaged JPEG, or fewer or more bytes than the
    // format holds.
    bool convert(const std::uint8_t* frame, std::size_t size, std::vector<std::uint8_t>& out);

private:
    enum class Path { None, Yuv, Jpeg, Other };

    bool convertOther(const std::uint8_t* frame, std::size_t size, std::uint8_t* bgr);

    v4lconvert_data* data_;
    pixels::JpegDecoder jpeg_;
    pixels::YuvConverter yuv_;
    Path path_ = Path::None;
    v4l2_format source_{};
    v4l2_format target_{};
    std::size_t stride_ = 0;
    std::size_t height_ = 0;
    std::size_t shortest_ = 0; // the bytes a raw frame needs at least
    std::size_t longest_ = 0;  // and may have at most
    std::vector<std::uint8_t> topDown_;
};

} // namespace camera
