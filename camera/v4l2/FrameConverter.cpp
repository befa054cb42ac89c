#include "camera/v4l2/FrameConverter.h"

#include "camera/ControlNames.h"
#include "camera/DeviceSettings.h"
#include "pixels/RowBytes.h"
#include "records/WinTypes.h"

#include <QCoreApplication>

#include <libv4l-plugin.h>
#include <libv4lconvert.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace camera {

static_assert(FourccBgr24 == V4L2_PIX_FMT_BGR24, "the shared name of 24-bit BGR is V4L2's");

namespace {

int seamIoctl(void* system, int fd, unsigned long request, void* arg)
{
    return static_cast<V4l2System*>(system)->ioctl(fd, request, arg);
}

ssize_t noRead(void*, int, void*, size_t)
{
    errno = EINVAL;
    return -1;
}

ssize_t noWrite(void*, int, const void*, size_t)
{
    errno = EINVAL;
    return -1;
}

void noClose(void*) {}

const libv4l_dev_ops seamOps = {nullptr, noClose, seamIoctl, noRead,  noWrite, nullptr,
                                nullptr, nullptr, nullptr,   nullptr, nullptr, nullptr};

bool isJpeg(std::uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG;
}

bool isBayer(std::uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_SBGGR8 || fourcc == V4L2_PIX_FMT_SGBRG8 || fourcc == V4L2_PIX_FMT_SGRBG8 ||
           fourcc == V4L2_PIX_FMT_SRGGB8;
}

} // namespace

FrameConverter::FrameConverter(V4l2System& system, int fd)
    : data_(v4lconvert_create_with_dev_ops(fd, &system, &seamOps))
{}

FrameConverter::~FrameConverter()
{
    if (data_ != nullptr)
        v4lconvert_destroy(data_);
}

bool FrameConverter::Convertible(std::uint32_t fourcc)
{
    // What libv4lconvert decodes into BGR besides the YUV and JPEG formats.
    static constexpr std::uint32_t others[] = {
        V4L2_PIX_FMT_RGB565, V4L2_PIX_FMT_GREY,   V4L2_PIX_FMT_Y16,    V4L2_PIX_FMT_SBGGR8,
        V4L2_PIX_FMT_SGBRG8, V4L2_PIX_FMT_SGRBG8, V4L2_PIX_FMT_SRGGB8,
    };
    return pixels::YuvConverter::Handles(fourcc) || isJpeg(fourcc) ||
           std::find(std::begin(others), std::end(others), fourcc) != std::end(others);
}

bool FrameConverter::choose(int width, int height, v4l2_format& source)
{
    v4l2_format target{};
    target.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    target.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    target.fmt.pix.width = static_cast<__u32>(width);
    target.fmt.pix.height = static_cast<__u32>(height);
    target.fmt.pix.field = V4L2_FIELD_ANY;
    source = {};
    if (v4lconvert_try_format(data_, &target, &source) != 0)
        return false;
    return target.fmt.pix.pixelformat == V4L2_PIX_FMT_BGR24 && Convertible(source.fmt.pix.pixelformat);
}

bool FrameConverter::setSource(const v4l2_format& source, QString& reason)
{
    path_ = Path::None;
    topDown_.clear();
    const v4l2_pix_format& pix = source.fmt.pix;
    const std::uint32_t fourcc = pix.pixelformat;
    if (!Convertible(fourcc)) {
        reason = QCoreApplication::translate("camera::V4l2Driver",
                                             "Das Bildformat %1 lässt sich nicht in 24-Bit-Farbe umwandeln.")
                     .arg(FourccText(fourcc));
        return false;
    }
    if (pix.width == 0 || pix.height == 0 || pix.width > 16384 || pix.height > 16384) {
        reason = QCoreApplication::translate("camera::V4l2Driver", "Die Bildgröße %1 × %2 lässt sich nicht umwandeln.")
                     .arg(pix.width)
                     .arg(pix.height);
        return false;
    }
    // Demosaicing looks at the neighbours in both directions.
    if (isBayer(fourcc) && (pix.width < 2 || pix.height < 2)) {
        reason = QCoreApplication::translate(
                     "camera::V4l2Driver",
                     "Das Bildformat %1 lässt sich in der Größe %2 × %3 nicht umwandeln: es braucht "
                     "mindestens 2 × 2 Bildpunkte.")
                     .arg(FourccText(fourcc))
                     .arg(pix.width)
                     .arg(pix.height);
        return false;
    }

    source_ = source;
    // Some drivers answer the row length with 0, or with less than a row
    // holds; they mean rows without padding. The converters get that, as
    // libv4lconvert would otherwise read rows that overlap, or run past the
    // frame that was checked against the longer row.
    v4l2_pix_format& rows = source_.fmt.pix;
    if (!isJpeg(fourcc))
        rows.bytesperline = std::max<std::uint32_t>(rows.bytesperline, pixels::RowBytes(fourcc, rows.width));
    stride_ = static_cast<std::size_t>(StandardRowBytes(static_cast<int>(rows.width), 24));
    height_ = rows.height;
    if (pixels::YuvConverter::Handles(fourcc)) {
        path_ = Path::Yuv;
        yuv_.setSource(rows);
        shortest_ = yuv_.frameBytes();
    } else if (isJpeg(fourcc)) {
        path_ = Path::Jpeg;
        shortest_ = 1;
    } else {
        path_ = Path::Other;
        shortest_ = std::size_t{rows.bytesperline} * (rows.height - 1) + pixels::RowBytes(fourcc, rows.width);
        target_ = {};
        target_.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        target_.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
        target_.fmt.pix.width = pix.width;
        target_.fmt.pix.height = pix.height;
        target_.fmt.pix.field = V4L2_FIELD_NONE;
        target_.fmt.pix.bytesperline = pix.width * 3;
        target_.fmt.pix.sizeimage = pix.width * 3 * pix.height;
        topDown_.resize(target_.fmt.pix.sizeimage);
    }
    // A raw frame longer than the format is from some other format.
    longest_ = path_ == Path::Jpeg ? SIZE_MAX : std::max<std::size_t>(pix.sizeimage, shortest_);
    // libyuv and libv4lconvert count a frame's bytes and rows in int.
    if (shortest_ > INT_MAX) {
        path_ = Path::None;
        topDown_.clear();
        reason = QCoreApplication::translate("camera::V4l2Driver", "Die Bildgröße %1 × %2 lässt sich nicht umwandeln.")
                     .arg(pix.width)
                     .arg(pix.height);
        return false;
    }
    return true;
}

bool FrameConverter::convert(const std::uint8_t* frame, std::size_t size, std::vector<std::uint8_t>& out)
{
    if (path_ == Path::None || size < shortest_ || size > longest_ || (path_ == Path::Other && size > INT_MAX))
        return false;
    out.resize(imageBytes());
    switch (path_) {
    case Path::Yuv:
        yuv_.convert(frame, out.data(), stride_);
        return true;
    case Path::Jpeg:
        return jpeg_.decode(frame, size, static_cast<int>(source_.fmt.pix.width), static_cast<int>(height_), out.data(),
                            stride_);
    case Path::Other:
        return convertOther(frame, size, out.data());
    case Path::None:
        break;
    }
    return false;
}

// libv4lconvert writes top-down rows without padding; they are turned
// over into the frame afterwards.
bool FrameConverter::convertOther(const std::uint8_t* frame, std::size_t size, std::uint8_t* bgr)
{
    const int made = v4lconvert_convert(data_, &source_, &target_, const_cast<std::uint8_t*>(frame),
                                        static_cast<int>(size), topDown_.data(), static_cast<int>(topDown_.size()));
    if (made < static_cast<int>(topDown_.size()))
        return false;
    const std::size_t row = static_cast<std::size_t>(target_.fmt.pix.width) * 3;
    for (std::size_t y = 0; y < height_; ++y)
        std::memcpy(bgr + (height_ - 1 - y) * stride_, topDown_.data() + y * row, row);
    return true;
}

} // namespace camera
