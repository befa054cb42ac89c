// Any format a camera may answer, and any bytes it may deliver as a frame,
// through the frame converter the camera driver uses: the first bytes of
// the input are the v4l2_pix_format the device answered (as the kernel
// lays it out), the rest is the frame, which ends right before a page that
// must not be read.

#include "camera/v4l2/FrameConverter.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/GuardedBytes.h"
#include "fuzz/OneFormatCamera.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <vector>

namespace {

// libyuv, libv4lconvert and TurboJPEG are not instrumented, so the fuzzer
// cannot tell a format answer whose rows are shorter than the width from
// one whose rows are padded: to it both run the same code of ours. These
// counters (libFuzzer's extra counters) tell it the shape of each input,
// pixel format by how its rows compare with the width and how the frame
// compares with the size the format claims, so that it keeps an input of
// each shape and mutates from there.
constexpr std::uint32_t KnownFormats[] = {
    V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_YVYU,   V4L2_PIX_FMT_UYVY,   V4L2_PIX_FMT_VYUY,    V4L2_PIX_FMT_NV12,
    V4L2_PIX_FMT_NV21,   V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420, V4L2_PIX_FMT_YUV422P, V4L2_PIX_FMT_RGB24,
    V4L2_PIX_FMT_BGR24,  V4L2_PIX_FMT_GREY,   V4L2_PIX_FMT_Y16,    V4L2_PIX_FMT_RGB565,  V4L2_PIX_FMT_SBGGR8,
    V4L2_PIX_FMT_SGBRG8, V4L2_PIX_FMT_SGRBG8, V4L2_PIX_FMT_SRGGB8, V4L2_PIX_FMT_MJPEG,   V4L2_PIX_FMT_JPEG};
constexpr std::size_t FormatCount = std::size(KnownFormats) + 1; // and "any other"

__attribute__((section("__libfuzzer_extra_counters"))) std::uint8_t shapes[FormatCount][4][3];

// Bytes of one row of luma (or of packed pixels) without padding.
std::size_t rowBytes(std::uint32_t fourcc, std::size_t width)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_VYUY:
    case V4L2_PIX_FMT_Y16:
    case V4L2_PIX_FMT_RGB565:
        return width * 2;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return width * 3;
    default:
        return width;
    }
}

void countShape(const v4l2_pix_format& pix, std::size_t frameSize)
{
    const std::size_t format = std::find(std::begin(KnownFormats), std::end(KnownFormats), pix.pixelformat) -
                               std::begin(KnownFormats);
    const std::size_t row = rowBytes(pix.pixelformat, pix.width);
    const int rows = pix.bytesperline == 0 ? 0 : pix.bytesperline < row ? 1 : pix.bytesperline == row ? 2 : 3;
    const int frame = frameSize < pix.sizeimage ? 0 : frameSize == pix.sizeimage ? 1 : 2;
    shapes[format][rows][frame] = 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    const auto pix = input.takeRecord<v4l2_pix_format>();
    const fuzz::GuardedBytes frame(input.rest(), input.restSize());
    countShape(pix, frame.size());

    fuzz::OneFormatCamera device(pix);
    camera::FrameConverter converter(device, fuzz::OneFormatCamera::Fd);
    if (!converter)
        fuzz::Fail("the converter could not be made");
    v4l2_format format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    format.fmt.pix = pix;
    QString reason;
    if (!converter.setSource(format, reason)) {
        if (reason.isEmpty())
            fuzz::Fail("a format was refused without a reason");
        return 0;
    }
    // The driver sizes its frames by imageBytes(); it must be a whole
    // picture of the format's size in 4-byte-aligned 24-bit rows.
    const std::size_t rowBytes = (static_cast<std::size_t>(pix.width) * 3 + 3) & ~std::size_t{3};
    if (converter.imageBytes() != rowBytes * pix.height)
        fuzz::Fail("imageBytes() is not the format's picture size");

    std::vector<std::uint8_t> out;
    if (converter.convert(frame.data(), frame.size(), out) && out.size() != converter.imageBytes())
        fuzz::Fail("a converted frame is not imageBytes() long");
    return 0;
}
