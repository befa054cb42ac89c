// What another program's PipeWire node may hand the camera back-end: the
// pods that describe its formats and controls, and frames that need not
// match what they claim. The first byte chooses which.
//
// Pods: the rest of the input is one pod (its header says its size; the
// pod must lie within the input, as libpipewire checks before it hands a
// param over), read as a format list, an agreed format, a control and
// control values. Frames: a format (one of the convertible ones, any size
// up to 96 x 96), a row length and the frame's bytes, ending at a guard
// page, go through the driver's frame converter.

#include "FuzzInput.h"
#include "GuardedBytes.h"
#include "camera/pipewire/PipeWireFormats.h"
#include "camera/pipewire/PipeWireFrameConverter.h"

#include <linux/videodev2.h>
#include <spa/pod/pod.h>

#include <cstring>
#include <vector>

namespace {

void Pods(fuzz::FuzzInput& input)
{
    if (input.restSize() < sizeof(spa_pod))
        return;
    // Pods are 8-byte aligned wherever PipeWire hands them over.
    std::vector<std::uint64_t> aligned((input.restSize() + 7) / 8);
    std::memcpy(aligned.data(), input.rest(), input.restSize());
    const auto* pod = reinterpret_cast<const spa_pod*>(aligned.data());
    if (SPA_POD_SIZE(pod) > input.restSize())
        return;
    camera::ParseEnumFormat(pod);
    camera::ParseFormat(pod);
    std::vector<camera::PipeWireControl> controls;
    if (auto control = camera::ParsePropInfo(pod))
        controls.push_back(*control);
    camera::ApplyProps(pod, controls);
}

void Frames(fuzz::FuzzInput& input)
{
    static constexpr std::uint32_t Formats[] = {
        V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_UYVY,   V4L2_PIX_FMT_YVYU,   V4L2_PIX_FMT_VYUY,    V4L2_PIX_FMT_NV12,
        V4L2_PIX_FMT_NV21,   V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420, V4L2_PIX_FMT_YUV422P, V4L2_PIX_FMT_RGB24,
        V4L2_PIX_FMT_BGR24,  V4L2_PIX_FMT_XBGR32, V4L2_PIX_FMT_ABGR32, V4L2_PIX_FMT_RGBX32,  V4L2_PIX_FMT_RGBA32,
        V4L2_PIX_FMT_XRGB32, V4L2_PIX_FMT_ARGB32, V4L2_PIX_FMT_BGRX32, V4L2_PIX_FMT_GREY,    V4L2_PIX_FMT_MJPEG};
    camera::FormatSetting format;
    format.fourcc = Formats[input.take<std::uint8_t>() % std::size(Formats)];
    format.width = 1 + input.take<std::uint8_t>() % 96;
    format.height = 1 + input.take<std::uint8_t>() % 96;
    const int stride = input.take<std::int16_t>();
    // Sometimes the frame says it is of another size than agreed.
    camera::FormatSetting claimed = format;
    if (input.take<std::uint8_t>() % 8 == 0)
        claimed.width = 1 + input.take<std::uint8_t>() % 96;

    camera::PipeWireFrameConverter converter;
    QString reason;
    if (!converter.setFormat(format, reason))
        return;
    const fuzz::GuardedBytes bytes(input.rest(), input.restSize());
    camera::PipeWireFrame frame;
    frame.data = bytes.data();
    frame.size = bytes.size();
    frame.stride = stride;
    frame.format = claimed;
    std::vector<std::uint8_t> out;
    if (converter.convert(frame, out) == camera::PipeWireFrameConverter::Result::Converted &&
        out.size() != converter.imageBytes())
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput input(data, size);
    if (input.take<std::uint8_t>() % 2 == 0)
        Pods(input);
    else
        Frames(input);
    return 0;
}
