#pragma once
// The narrow seam between the PipeWire camera back-end and the daemon: the
// camera nodes in PipeWire's registry, what each offers, and one input
// stream from a node. PipeWireSession.cpp is the real one (libpipewire on a
// loop thread of its own); tests put a simulated registry here.
//
// Pixel formats are named by V4L2 four-character codes (camera::FourCC),
// whatever PipeWire calls them, so that frames from both back-ends go
// through the same conversions in pixels/.

#include "camera/DeviceSettings.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace camera {

// One camera node: media.class Video/Source with media.role Camera (or a
// V4L2 device node PipeWire's own monitor made).
struct PipeWireNode {
    std::uint32_t id = 0;    // registry id: valid while the node exists, new when it returns
    std::string name;        // node.name: stable across restarts of the publisher
    std::string description; // node.description, else node.nick, else node.name
    // The /dev/video* node behind it, when PipeWire opened a V4L2 device for
    // it (api.v4l2.path, or object.path "v4l2:/dev/videoN"); empty else.
    std::string v4l2Path;
    // This program's own output node (node.name stillwise-camera, or
    // application.name Stillwise): never offered as a camera.
    bool ours = false;
    bool operator==(const PipeWireNode&) const = default;
};

// Who the camera is across unplugging and restarts of its publisher, for
// per-camera memory and for taking it up again when it returns.
std::string PipeWireIdentity(const PipeWireNode& node);

// One frame as PipeWire lends it: valid only during the call that hands it
// over, in the format agreed when it was sent.
struct PipeWireFrame {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0; // the chunk's bytes (may be shorter than the format needs: a bad frame)
    int stride = 0;       // bytes per row of the first plane, 0 when the daemon did not say
    FormatSetting format; // fourcc, size and interval of this frame
    std::uint64_t timeNs = 0;
};

enum class PipeWireState { Connecting, Paused, Streaming, Failed };

// Where a stream tells of its frames and its end. Both are called on the
// stream's loop thread, never on the GUI thread, and must not block.
class PipeWireReceiver {
public:
    virtual ~PipeWireReceiver() = default;
    virtual void frame(const PipeWireFrame& frame) = 0;
    // The stream ended for good (the node or the daemon went); the reason
    // in German is the stream's failure().
    virtual void ended() = 0;
};

class PipeWireCameraStream {
public:
    virtual ~PipeWireCameraStream() = default;
    virtual PipeWireState state() = 0;
    // Why the stream failed, in German, once state() is Failed.
    virtual QString failure() = 0;
    // The format agreed with the node; fourcc 0 while none is.
    virtual FormatSetting format() = 0;
    // Asks the node for this format (one the node listed); frames of the
    // old format may still arrive until the new one is agreed.
    virtual bool setFormat(const FormatSetting& wanted) = 0;
    // The node's controls (its PropInfo with the values of its Props), in
    // ControlInfo terms; empty when it offers none.
    virtual std::vector<ControlInfo> controls() = 0;
    virtual bool setControl(std::uint32_t id, int value) = 0;
};

class PipeWireCameras {
public:
    virtual ~PipeWireCameras() = default;
    // Whether a daemon can be reached; a cheap look, no waiting.
    virtual bool available() = 0;
    // The camera nodes now, ours included (callers leave it out).
    virtual std::vector<PipeWireNode> nodes() = 0;
    // Called on the loop thread whenever a camera node comes or goes.
    virtual void onChange(std::function<void()> changed) = 0;
    // The formats the node lists (EnumFormat), those that can be converted.
    virtual std::vector<PixelFormatChoice> formats(const PipeWireNode& node) = 0;
    // A stream from the node in `wanted` (fourcc 0: whatever the node
    // prefers), telling `receiver` of its frames until it is destroyed.
    // Null with a German `error` when the daemon does not answer.
    virtual std::unique_ptr<PipeWireCameraStream> open(const PipeWireNode& node, const FormatSetting& wanted,
                                                       PipeWireReceiver& receiver, QString& error) = 0;
};

// The cameras of the user's session. Connects on first use, through the
// daemon's socket; once UsePipeWireRemote() was called, through that
// descriptor instead. Its streams must be gone before main() returns (the
// session ends with the program's static objects), and must not be
// destroyed from a receiver's call.
PipeWireCameras& SessionCameras();

// In a sandbox the camera portal hands out the only way to the daemon: a
// connected descriptor. The session takes it over (and closes it when it
// goes) and reconnects through it; the cameras change accordingly. Until
// then a sandboxed session is not available().
void UsePipeWireRemote(int fd);

// This program's own output node, as it names itself.
inline constexpr const char* OwnNodeName = "stillwise-camera";

} // namespace camera
