#pragma once
// How a frame travels from a capture driver to its consumer: the frame
// header (VIDEOHDR, a record of the capture interface), the video format block that describes the frame bytes, the event
// that carries a frame, and the two format queries a source of frames answers.

#include "records/VfwTypes.h"

#include <cstdint>
#include <functional>

class QObject;

// The frame event: the control that delivers the frame and its header.
// Assigned when it holds a handler.
using TVideoStream = std::function<void(QObject* sender, PVIDEOHDR lpVhdr)>;

// A source of frames answers what its frames look like. The video format
// block begins with a BITMAPINFOHEADER and may carry further bytes.
class VideoFormatSource {
public:
    virtual ~VideoFormatSource() = default;
    // Size in bytes of the current format block; 0 without an open driver.
    virtual std::uint32_t GetVideoFormatSize() = 0;
    // Copies at most `size` bytes of the current block into `format`
    // (the size travels as a 16-bit value); answers the bytes copied.
    virtual std::uint32_t GetVideoFormat(BITMAPINFO* format, std::uint32_t size) = 0;
};
