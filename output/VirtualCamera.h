#pragma once
// The corrected picture as a webcam for other programs: each picture goes,
// converted to YUYV, into a v4l2loopback node that any program can open as
// a camera: straight into the node's buffers where it lends them, else
// with write(). Nothing waits; a picture there is no room for is dropped.
// The node's format follows the picture's size and the rate the pictures
// arrive at.

#include "camera/v4l2/DeviceHandles.h"
#include "camera/v4l2/LoopbackNode.h"
#include "output/FrameRateMeter.h"
#include "output/NodeBuffers.h"
#include "output/WebcamOutput.h"
#include "pixels/YuyvConversion.h"

#include <QString>

#include <linux/videodev2.h>

#include <cstdint>
#include <string>
#include <vector>

namespace output {

class VirtualCamera final : public WebcamOutput {
public:
    explicit VirtualCamera(camera::V4l2System& system);
    VirtualCamera(const VirtualCamera&) = delete;
    VirtualCamera& operator=(const VirtualCamera&) = delete;
    ~VirtualCamera() override;

    // Opens the node the choice rule picks. False with error() set when
    // there is none or it cannot be opened.
    bool start() override;
    void stop();
    bool running() const { return static_cast<bool>(fd_); }

    const QString& error() const override { return error_; }
    // Where the module tells its writer how many programs read the node
    // (v4l2loopback sends ClientUsageEvent from 0.13 on; older modules
    // refuse the subscription, and the node cannot tell).
    bool tellsReaders() const override { return tellsReaders_; }
    bool read() override;
    // Keeps the node's format and rate; the placeholder goes to the readers.
    Result hold(const BgrPicture& placeholder) override;
    const std::string& node() const { return node_; }
    // The format on the node: normally the picture's size (its width made
    // even); while another program holds the node at an older size, that one.
    int width() const { return nodeWidth_; }
    int height() const { return nodeHeight_; }
    int framesPerSecond() const { return rate_; }
    // Whether the pictures go straight into buffers the node lent.
    bool intoLentBuffers() const { return !buffers_.empty(); }
    std::uint64_t written() const { return written_; }
    std::uint64_t dropped() const { return dropped_; }

private:
    // Stopped: the node is gone or failed.
    Result writeAt(const BgrPicture& picture, Clock::time_point when) override;
    Result deliver(const BgrPicture& picture, Clock::time_point when);
    bool open();
    void subscribeToReaders();
    bool configure(int width, int height);
    void applyRate(int framesPerSecond);
    void fillFrame(const BgrPicture& picture, int width, int height, std::uint8_t* frame);
    Result handOver(const BgrPicture& picture, int width, int height);
    Result refused(int error);
    void fail(QString text);

    camera::V4l2System& system_;
    camera::DeviceFd fd_;
    std::string node_;
    QString error_;
    pixels::YuyvConverter converter_;
    FrameRateMeter meter_;
    NodeBuffers buffers_;             // the node's own, where it lends them
    std::vector<std::uint8_t> frame_; // else one YUYV frame for write()
    int wantWidth_ = 0, wantHeight_ = 0;
    int nodeWidth_ = 0, nodeHeight_ = 0, stride_ = 0;
    int rate_ = 0;
    Clock::time_point lastRetry_{};
    std::uint64_t written_ = 0, dropped_ = 0;
    bool tellsReaders_ = false;
    std::uint32_t readers_ = 0;
};

// v4l2loopback's event with the number of programs that read the node, as
// the module's header defines it: the first private event, whose data
// begins with the count as a 32-bit number.
inline constexpr std::uint32_t ClientUsageEvent = V4L2_EVENT_PRIVATE_START;

// The tooltip of the disabled check box: how to get the loopback module.
QString NoLoopbackHint();

} // namespace output
