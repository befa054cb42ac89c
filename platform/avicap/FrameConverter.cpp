#include "platform/avicap/FrameConverter.h"

#include "platform/base/WinTypes.h"

#include <libv4l-plugin.h>
#include <libv4lconvert.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace avicap {

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

const libv4l_dev_ops seamOps = {
    nullptr, noClose, seamIoctl, noRead, noWrite, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// Copies top-down rows of `rowBytes` into bottom-up rows of `stride`.
void flipRows(const std::uint8_t* from, std::size_t fromStride, std::size_t rowBytes, std::size_t height,
              std::uint8_t* to, std::size_t stride)
{
    for (std::size_t y = 0; y < height; ++y)
        std::memcpy(to + (height - 1 - y) * stride, from + y * fromStride, rowBytes);
}

} // namespace

FrameConverter::FrameConverter(V4l2System& system, int fd)
    : data_(v4lconvert_create_with_dev_ops(fd, &system, &seamOps))
{
}

FrameConverter::~FrameConverter()
{
    if (data_ != nullptr)
        v4lconvert_destroy(data_);
}

bool FrameConverter::Convertible(std::uint32_t fourcc)
{
    // The source formats libv4lconvert decodes into BGR.
    static constexpr std::uint32_t known[] = {
        V4L2_PIX_FMT_BGR24,   V4L2_PIX_FMT_RGB24,   V4L2_PIX_FMT_YUYV,    V4L2_PIX_FMT_YVYU,
        V4L2_PIX_FMT_UYVY,    V4L2_PIX_FMT_YUV420,  V4L2_PIX_FMT_YVU420,  V4L2_PIX_FMT_NV12,
        V4L2_PIX_FMT_MJPEG,   V4L2_PIX_FMT_JPEG,    V4L2_PIX_FMT_RGB565,  V4L2_PIX_FMT_GREY,
        V4L2_PIX_FMT_SBGGR8,  V4L2_PIX_FMT_SGBRG8,  V4L2_PIX_FMT_SGRBG8,  V4L2_PIX_FMT_SRGGB8,
        V4L2_PIX_FMT_Y16,
    };
    return std::find(std::begin(known), std::end(known), fourcc) != std::end(known);
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

void FrameConverter::setSource(const v4l2_format& source)
{
    source_ = source;
    const v4l2_pix_format& pix = source.fmt.pix;
    target_ = {};
    target_.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    target_.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
    target_.fmt.pix.width = pix.width;
    target_.fmt.pix.height = pix.height;
    target_.fmt.pix.field = V4L2_FIELD_NONE;
    target_.fmt.pix.bytesperline = pix.width * 3;
    target_.fmt.pix.sizeimage = pix.width * 3 * pix.height;
    direct_ = pix.pixelformat == V4L2_PIX_FMT_BGR24;
    stride_ = static_cast<std::size_t>(StandardRowBytes(static_cast<int>(pix.width), 24));
    height_ = pix.height;
    topDown_.resize(direct_ ? 0 : target_.fmt.pix.sizeimage);
}

bool FrameConverter::convert(const std::uint8_t* frame, std::size_t size, std::vector<std::uint8_t>& out)
{
    out.resize(imageBytes());
    const std::size_t rowBytes = static_cast<std::size_t>(target_.fmt.pix.width) * 3;
    if (direct_) {
        const std::size_t fromStride = std::max<std::size_t>(source_.fmt.pix.bytesperline, rowBytes);
        if (size < fromStride * (height_ - 1) + rowBytes)
            return false;
        flipRows(frame, fromStride, rowBytes, height_, out.data(), stride_);
        return true;
    }
    const int made = v4lconvert_convert(data_, &source_, &target_, const_cast<std::uint8_t*>(frame),
                                        static_cast<int>(size), topDown_.data(), static_cast<int>(topDown_.size()));
    if (made < static_cast<int>(topDown_.size()))
        return false;
    flipRows(topDown_.data(), rowBytes, rowBytes, height_, out.data(), stride_);
    return true;
}

} // namespace avicap
