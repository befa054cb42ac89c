#include "camera/pipewire/PipeWireFrameConverter.h"

#include "camera/BgrFormat.h"
#include "camera/ControlNames.h"
#include "pixels/RowBytes.h"

#include <QCoreApplication>

#include <linux/videodev2.h>

#include <climits>

namespace camera {

namespace {

constexpr int largestSide = 16384;

bool isJpeg(std::uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG;
}

} // namespace

QString FormatText(const FormatSetting& format)
{
    return QStringLiteral("%1 %2 × %3").arg(FourccText(format.fourcc)).arg(format.width).arg(format.height);
}

bool PipeWireFrameConverter::Convertible(std::uint32_t fourcc)
{
    return pixels::YuvConverter::Handles(fourcc) || pixels::RgbConverter::Handles(fourcc) || isJpeg(fourcc);
}

bool PipeWireFrameConverter::Takes(const FormatSetting& format, QString& reason)
{
    if (!Convertible(format.fourcc)) {
        reason = QCoreApplication::translate(
                     "camera::PipeWireDriver",
                     "Das Bildformat %1 lässt sich nicht in 24-Bit-Farbe umwandeln. Bitte ein anderes "
                     "Bildformat wählen.")
                     .arg(FourccText(format.fourcc));
        return false;
    }
    if (format.width <= 0 || format.height <= 0 || format.width > largestSide || format.height > largestSide) {
        reason = QCoreApplication::translate(
                     "camera::PipeWireDriver",
                     "Die Bildgröße %1 × %2 lässt sich nicht umwandeln. Bitte eine andere Größe wählen.")
                     .arg(format.width)
                     .arg(format.height);
        return false;
    }
    return true;
}

bool PipeWireFrameConverter::setFormat(const FormatSetting& format, QString& reason)
{
    if (!Takes(format, reason))
        return false;
    format_ = format;
    stride_ = BgrImageBytes(format.width, 1);
    path_ = isJpeg(format.fourcc) ? Path::Jpeg : pixels::YuvConverter::Handles(format.fourcc) ? Path::Yuv : Path::Rgb;
    rowBytes_ = -1;
    if (path_ != Path::Jpeg)
        useRowLength(0);
    return true;
}

bool PipeWireFrameConverter::fits(const FormatSetting& format) const
{
    return format.fourcc == format_.fourcc && format.width == format_.width && format.height == format_.height;
}

bool PipeWireFrameConverter::useRowLength(int rowBytes)
{
    if (rowBytes == rowBytes_)
        return true;
    const std::size_t row = pixels::RowBytes(format_.fourcc, static_cast<std::size_t>(format_.width));
    // Rows closer together than a row holds would overlap: the daemon's
    // word is wrong, and the frame cannot be read as what it claims to be.
    if (rowBytes < 0 || (rowBytes != 0 && static_cast<std::size_t>(rowBytes) < row))
        return false;
    v4l2_pix_format pix{};
    pix.width = static_cast<std::uint32_t>(format_.width);
    pix.height = static_cast<std::uint32_t>(format_.height);
    pix.pixelformat = format_.fourcc;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = static_cast<std::uint32_t>(rowBytes);
    if (path_ == Path::Yuv) {
        yuv_.setSource(pix);
        shortest_ = yuv_.frameBytes();
    } else {
        rgb_.setSource(pix);
        shortest_ = rgb_.frameBytes();
    }
    rowBytes_ = rowBytes;
    return true;
}

PipeWireFrameConverter::Result PipeWireFrameConverter::convert(const PipeWireFrame& frame,
                                                               std::vector<std::uint8_t>& out)
{
    if (path_ == Path::None || !fits(frame.format))
        return Result::OtherFormat;
    if (frame.data == nullptr || frame.size == 0)
        return Result::Damaged;
    if (path_ == Path::Jpeg) {
        out.resize(imageBytes());
        return jpeg_.decode(frame.data, frame.size, format_.width, format_.height, out.data(), stride_)
                   ? Result::Converted
                   : Result::Damaged;
    }
    // libyuv counts a frame's bytes and rows in int.
    if (!useRowLength(frame.stride) || frame.size < shortest_ || shortest_ > INT_MAX)
        return Result::Damaged;
    out.resize(imageBytes());
    if (path_ == Path::Yuv)
        yuv_.convert(frame.data, out.data(), stride_);
    else
        rgb_.convert(frame.data, out.data(), stride_);
    return Result::Converted;
}

} // namespace camera
