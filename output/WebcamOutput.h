#pragma once
// One way the corrected picture leaves the program as a camera for other
// programs: a v4l2loopback node (VirtualCamera) or a PipeWire node
// (PipeWireCamera). The check box drives every way that exists through this
// interface and does not know which is which.

#include "output/FrameRateMeter.h"

#include <QString>

#include <cstdint>

namespace output {

// A 24-bit BGR picture with its rows bottom-up, as the frame step keeps it.
struct BgrPicture {
    const std::uint8_t* bits = nullptr;
    int rowbytes = 0;
    int width = 0;
    int height = 0;
};

class WebcamOutput {
public:
    using Clock = FrameRateMeter::Clock;
    // Stopped: the way out is gone or failed; the output has stopped and
    // error() says why. Dropped: this picture did not go out, the next may.
    enum class Result { Written, Dropped, Stopped };

    virtual ~WebcamOutput() = default;

    // Opens the way out. False with error() set when it cannot.
    virtual bool start() = 0;
    // Hands one picture to the readers, never waiting for them.
    Result write(const BgrPicture& picture, Clock::time_point when = Clock::now()) { return writeAt(picture, when); }
    virtual const QString& error() const = 0;
    // Whether a program reads the pictures now, where the way out can tell
    // (tellsReaders); false where it cannot.
    virtual bool read() { return false; }
    virtual bool tellsReaders() const { return false; }
    // A picture that stands in while the camera is closed: it keeps the way
    // out offered and goes to any reader, but it is not one of the camera's
    // pictures (it does not count toward their rate).
    virtual Result hold(const BgrPicture& placeholder) { return write(placeholder); }

protected:
    virtual Result writeAt(const BgrPicture& picture, Clock::time_point when) = 0;
};

} // namespace output
