#pragma once
// What a capture window needs from the driver it is connected to: the video
// format, a stream of frames announced on the GUI thread, single grabs, and
// the models behind the driver's own source and format dialogs.

#include "camera/DeviceSettings.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace camera {

// One picture as the capture window hands it out: the bytes the format
// block describes (bottom-up rows, 4-byte-aligned stride) and when it was
// taken, in milliseconds since its stream began.
struct Frame {
    std::vector<std::uint8_t> bytes;
    std::uint32_t timeMs = 0;
};

// Where a driver announces its stream's events. Both are called on the GUI
// thread only.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // A new frame waits in the driver (take it with Driver::takeFrame).
    virtual void frameReady() = 0;
    // The stream has ended for good; `message` tells the user why.
    virtual void streamFailed(const QString& message) = 0;
};

class Driver {
public:
    virtual ~Driver() = default;

    // The current format block: a BITMAPINFOHEADER, then a colour table
    // where the bit count needs one. Changes only on the GUI thread.
    virtual const std::vector<std::uint8_t>& format() const = 0;
    virtual bool hasOverlay() const = 0;

    // Starts the stream; frames are announced to `sink` until stop(). Answers
    // false (and tells nobody) when the stream cannot be started.
    virtual bool start(FrameSink* sink) = 0;
    virtual void stop() = 0;
    virtual bool streaming() const = 0;

    // Moves the latest announced frame into `frame`, if there is one not
    // taken yet. The driver may keep the buffer `frame` held before.
    virtual bool takeFrame(Frame& frame) = 0;
    // One frame now, waiting for it if needed; false when none comes.
    virtual bool grab(Frame& frame) = 0;

    // Models behind the driver's dialogs; null when it has none.
    virtual ControlSet* controls() = 0;
    virtual FormatSet* formats() = 0;

    // Who the camera is, the same after unplugging and plugging it in
    // again; empty for a driver without a camera of its own.
    virtual std::string identity() const { return {}; }
};

} // namespace camera
