#pragma once
// How a frame travels from a capture driver to its consumer: the frame
// header, the video format block that describes the frame bytes, the event
// that carries a frame, and the two format queries a source of frames answers.

#include "platform/base/WinTypes.h"

#include <cstdint>
#include <functional>

class QObject;

// Frame header. The buffer belongs to the source: a consumer copies what it
// needs before it returns and keeps no pointer into it.
struct VIDEOHDR {
    std::uint8_t* lpData = nullptr; // frame bytes
    DWORD dwBufferLength = 0;       // length of that buffer in bytes
    DWORD dwBytesUsed = 0;          // bytes of the buffer that hold data
    DWORD dwTimeCaptured = 0;       // milliseconds since the stream began
    std::uintptr_t dwUser = 0;      // for the client
    DWORD dwFlags = 0;              // status flags of the buffer
    std::uintptr_t dwReserved[4] = {0, 0, 0, 0};
};
using PVIDEOHDR = VIDEOHDR*;

// Buffer flags of dwFlags.
inline constexpr DWORD VHDR_DONE = 0x00000001;
inline constexpr DWORD VHDR_PREPARED = 0x00000002;
inline constexpr DWORD VHDR_INQUEUE = 0x00000004;
inline constexpr DWORD VHDR_KEYFRAME = 0x00000008;

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
