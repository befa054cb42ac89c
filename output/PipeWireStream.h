#pragma once
// The narrow seam between the PipeWire camera and the daemon: one video
// output stream, as the camera needs it. PipeWireDaemon.cpp is the real
// one (libpipewire, its own loop thread); tests put a simulated daemon here.
// Everything here is called from the GUI thread and never waits for the
// daemon beyond a short lock.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace output {

// The pixel layouts the node offers, in the order it prefers them.
enum class PixelLayout { YUY2, I420, NV12, BGRx, Other };
inline constexpr PixelLayout OfferedLayouts[] = {PixelLayout::YUY2, PixelLayout::I420, PixelLayout::NV12,
                                                 PixelLayout::BGRx};

// What the node offers: one fixed size (readers such as browsers drop size
// ranges) and one rate, in every offered layout.
struct StreamOffer {
    int width = 0;
    int height = 0;
    int framesPerSecond = 0;
    bool operator==(const StreamOffer&) const = default;
};

// The format the daemon has agreed on with a reader. It may name a layout
// or size we never offered; the camera then writes nothing.
struct StreamFormat {
    PixelLayout layout = PixelLayout::Other;
    int width = 0;
    int height = 0;
    bool operator==(const StreamFormat&) const = default;
};

// Where one frame of a layout lies in a buffer: rows of `stride` bytes, and
// for the 4:2:0 layouts the colour plane(s) after the luma plane.
struct FrameGeometry {
    int stride = 0;       // bytes per row of the first plane
    int colourStride = 0; // bytes per row of a colour plane, 0 for packed layouts
    std::size_t bytes = 0;
};
// Nothing (bytes 0) for a layout or size the node cannot fill.
FrameGeometry GeometryOf(PixelLayout layout, int width, int height);

enum class StreamState { Connecting, Paused, Streaming, Failed };

// One buffer PipeWire lends for a frame: its first block of memory as
// mapped into our process, and the format in force while it is lent.
struct LentBuffer {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;
    StreamFormat format;
};

class PipeWireStream {
public:
    virtual ~PipeWireStream() = default;

    virtual StreamState state() = 0;
    // Why the stream failed (German), once state() is Failed.
    virtual QString failure() = 0;
    // Offers a new size or rate; a linked reader then agrees on a new format.
    virtual void offer(const StreamOffer& offer) = 0;
    // Lends a free buffer to `fill`, which answers how many bytes it wrote;
    // those go to the readers, 0 gives the buffer back unused. False, and
    // `fill` not called, when no reader streams or no buffer is free.
    using Fill = std::function<std::size_t(const LentBuffer& buffer)>;
    virtual bool fill(const Fill& fill) = 0;
};

class PipeWireSystem {
public:
    virtual ~PipeWireSystem() = default;
    // Whether a daemon can be reached now; a cheap look, no connection.
    virtual bool reachable() = 0;
    // Connects and publishes a node offering `offer`. Null with `error`
    // (German) set when the daemon does not answer.
    virtual std::unique_ptr<PipeWireStream> publish(const StreamOffer& offer, QString& error) = 0;
};

// The daemon of the user's session.
PipeWireSystem& SessionPipeWire();

// The node's fixed properties.
inline constexpr const char* PipeWireNodeName = "stillwise-camera";
inline constexpr const char* PipeWireNodeDescription = "Stillwise";

} // namespace output
