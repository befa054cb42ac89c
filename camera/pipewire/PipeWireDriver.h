#pragma once
// A camera that PipeWire offers, as a capture driver: holds one stream from
// the node, converts each frame on PipeWire's loop thread straight from the
// mapped buffer into 24-bit BGR and hands the latest one to the GUI thread,
// and offers the node's controls and formats to the dialogs.
//
// The stream is opened when the driver connects and held until it goes,
// as the V4L2 driver holds its descriptor: the controls live on the stream,
// format() tells the agreed size before the first frame, and a grab or a
// preview starts without negotiating anew. While the driver does not
// stream, frames that arrive are let go unconverted. The cost: the camera
// stays switched on while a window is connected to it.
//
// A node may change its format under the stream (the session manager or
// another reader of a shared device renegotiates). The driver then adopts
// the new format on the GUI thread, as it adopts one chosen in the format
// dialog, rather than dropping every frame from then on: a stream that
// delivers good frames should show them. It ends the preview only when the
// new format cannot be converted.
//
// A publisher may fall silent (GStreamer's pipewiresink does: as the
// graph's driver it waits for a free buffer in a cycle that only it could
// start, once a late cycle or a link that went kept its buffers; linking
// anew quickly brings it there in most runs of twenty). No frame within
// StallWait of a format applied rebuilds the link once; no frame after that
// either ends the preview with a message, rather than leaving a window that
// waits for ever. The format the stream has agreed on, applied again, keeps
// its link.

#include "camera/Driver.h"
#include "camera/FrameExchange.h"
#include "camera/pipewire/PipeWireCameras.h"
#include "camera/pipewire/PipeWireFrameConverter.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace camera {

class PipeWireDriver final : public Driver {
public:
    // The connected driver, or null with a German reason in `error`.
    static std::unique_ptr<Driver> open(PipeWireCameras& cameras, const PipeWireNode& node, QString& error);

    // Not connected yet; open() is the way to get a working driver.
    PipeWireDriver(PipeWireCameras& cameras, PipeWireNode node);
    ~PipeWireDriver() override;

    const std::vector<std::uint8_t>& format() const override { return format_; }
    bool hasOverlay() const override { return false; }
    bool start(FrameSink* sink) override;
    void stop() override;
    bool streaming() const override { return running_; }
    bool takeFrame(Frame& frame) override;
    bool grab(Frame& frame) override;
    ControlSet* controls() override { return &controls_; }
    FormatSet* formats() override { return &formats_; }
    std::string identity() const override { return PipeWireIdentity(node_); }

    const PipeWireNode& node() const { return node_; }
    // Frames let go since the driver was made: damaged, or of a format not
    // (yet) adopted.
    std::uint64_t framesDropped() const { return dropped_; }

    // How long connecting and applying a format wait for the node to agree.
    static constexpr std::chrono::milliseconds AgreementWait{1500};
    // How long a changed format may bring no frame before the link is
    // rebuilt, and then before the preview ends.
    static constexpr std::chrono::milliseconds StallWait{3000};
    // Tests shorten it.
    void setStallWait(std::chrono::milliseconds wait) { watch_.setInterval(static_cast<int>(wait.count())); }
    // Links rebuilt because a changed format brought no frame.
    int stallRebuilds() const { return stallRebuilds_; }

private:
    class Receiver final : public PipeWireReceiver {
    public:
        explicit Receiver(PipeWireDriver& driver) : driver_(driver) {}
        void frame(const PipeWireFrame& frame) override { driver_.received(frame); }
        void ended() override { driver_.ended(); }

    private:
        PipeWireDriver& driver_;
    };

    class Controls final : public ControlSet {
    public:
        explicit Controls(PipeWireDriver& driver) : driver_(driver) {}
        std::vector<ControlInfo> list() override;
        bool set(std::uint32_t id, int value) override;
        void reset() override;

    private:
        PipeWireDriver& driver_;
    };

    class Formats final : public FormatSet {
    public:
        explicit Formats(PipeWireDriver& driver) : driver_(driver) {}
        std::vector<PixelFormatChoice> list() override;
        FormatSetting current() override { return driver_.current_; }
        bool apply(const FormatSetting& setting) override;
        QString refusal() const override { return refusal_; }

    private:
        PipeWireDriver& driver_;
        QString refusal_;
    };

    // GUI thread.
    bool connect(const FormatSetting& wanted, QString& error);
    // Waits, bounded, until the stream agrees on a format; `wanted` (fourcc
    // 0: any) decides when it counts as agreed. The agreed format, or fourcc 0.
    FormatSetting awaitAgreement(const FormatSetting& wanted);
    // Makes frames of this format the ones the driver converts and hands out.
    bool adopt(const FormatSetting& format, QString& reason);
    // Frames arrived that the driver is not set up for: the node may have
    // changed its format.
    void followFormat(unsigned serial);
    // A format was changed: watch for its first frame.
    void watchForFrames();
    void stalled();
    // Ends the stream for good and tells the sink, if it streamed.
    void fail(const QString& message);
    void lose();

    // Loop thread.
    void received(const PipeWireFrame& frame);
    void ended();
    void failed(const QString& message);

    PipeWireCameras& cameras_;
    PipeWireNode node_;
    std::vector<std::uint8_t> format_;
    FormatSetting current_; // the format adopted, of which frames are handed out
    Controls controls_{*this};
    Formats formats_{*this};
    FrameSink* sink_ = nullptr;
    bool running_ = false;
    FrameExchange exchange_;

    // What the loop thread uses for each frame, and whether it hands frames
    // out at all. The GUI thread changes them only under the lock, so no
    // frame of a format given up, nor one after stop(), reaches the exchange.
    std::mutex convertMutex_;
    PipeWireFrameConverter converter_;
    Frame work_;
    bool accepting_ = false;
    std::chrono::steady_clock::time_point began_;
    int damagedRun_ = 0;

    std::atomic<std::uint64_t> dropped_{0};
    // Frames of the adopted format that arrived, handed out or not.
    std::atomic<std::uint64_t> arrived_{0};
    std::uint64_t arrivedAtChange_ = 0; // GUI thread
    bool rebuilt_ = false;              // since the last change
    int stallRebuilds_ = 0;
    // Each stream opened gets a new serial; notices of an older one are
    // ignored. A stream's end and a run of other-format frames are each
    // told to the GUI thread once at a time.
    std::atomic<unsigned> serial_{0};
    std::atomic<bool> endSent_{false};
    std::atomic<bool> formatNoticeSent_{false};

    Receiver receiver_{*this};
    // Declared after all that its frames touch, so that it goes first.
    std::unique_ptr<PipeWireCameraStream> stream_;
    // Queued calls from the loop thread land here, on the GUI thread; they
    // are dropped with it when the driver goes.
    QObject gui_;
    QTimer watch_; // single shot after a format change
};

} // namespace camera
