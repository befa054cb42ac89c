#pragma once
// Turns the frames a PipeWire stream lends into the frames a capture
// window takes (bottom-up 24-bit BGR, 4-byte-aligned stride), straight
// from the mapped buffer in one pass: YUV and 24-bit RGB through
// pixels::YuvConverter, 32-bit RGB and grey through pixels::RgbConverter,
// MJPEG through pixels::JpegDecoder. Never reads past what a frame holds.

#include "camera/DeviceSettings.h"
#include "camera/pipewire/PipeWireCameras.h"
#include "pixels/JpegDecoder.h"
#include "pixels/RgbConverter.h"
#include "pixels/YuvConverter.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camera {

class PipeWireFrameConverter {
public:
    // Whether frames in this pixel format can be turned into BGR.
    static bool Convertible(std::uint32_t fourcc);
    // Whether frames of this pixel format and size can be; else why not, in
    // German.
    static bool Takes(const FormatSetting& format, QString& reason);

    // Prepares for frames of this format, or says in German why they
    // cannot be converted; then the format set before stays.
    bool setFormat(const FormatSetting& format, QString& reason);
    const FormatSetting& format() const { return format_; }
    std::size_t imageBytes() const { return stride_ * static_cast<std::size_t>(format_.height); }

    // Whether a frame is of the pixel format and size set (the interval
    // does not matter).
    bool fits(const FormatSetting& format) const;

    enum class Result {
        Converted,
        Damaged,     // too short for its format, rows shorter than a row holds, a broken JPEG
        OtherFormat, // not of the format set
    };
    // One frame into `out`, resized to imageBytes().
    Result convert(const PipeWireFrame& frame, std::vector<std::uint8_t>& out);

private:
    enum class Path { None, Yuv, Rgb, Jpeg };

    // Sets the raw converters up for rows `rowBytes` apart (0: without
    // padding); false when rows that far apart cannot hold a row.
    bool useRowLength(int rowBytes);

    FormatSetting format_;
    Path path_ = Path::None;
    std::size_t stride_ = 0;   // of the BGR frame
    int rowBytes_ = -1;        // the row length the raw converters are set up for
    std::size_t shortest_ = 0; // the bytes a raw frame needs at least, at that row length
    pixels::YuvConverter yuv_;
    pixels::RgbConverter rgb_;
    pixels::JpegDecoder jpeg_;
};

// "YUYV 640 × 480", for messages.
QString FormatText(const FormatSetting& format);

} // namespace camera
