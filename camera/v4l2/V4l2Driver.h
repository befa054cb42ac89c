#pragma once
// A V4L2 camera as a capture driver: negotiates a format libv4lconvert can
// turn into 24-bit BGR, streams through mmap buffers on a worker thread that
// converts each frame and hands the latest one to the GUI thread, and
// offers the device's controls and formats to the dialogs.

#include "camera/Driver.h"
#include "camera/FrameExchange.h"
#include "camera/v4l2/DeviceHandles.h"
#include "camera/v4l2/FrameConverter.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace camera {

class V4l2Driver final : public Driver {
public:
    static constexpr int BufferCount = 4;

    // The connected driver, or null with a German reason in `error` and,
    // where a device call failed, its errno in `cause` (0 otherwise).
    static std::unique_ptr<Driver> open(V4l2System& system, const std::string& node, QString& error,
                                        int* cause = nullptr);

    // Not connected yet; open() is the way to get a working driver.
    V4l2Driver(V4l2System& system, std::string node);
    ~V4l2Driver() override;

    const std::vector<std::uint8_t>& format() const override { return format_; }
    bool hasOverlay() const override { return false; }
    bool start(FrameSink* sink) override;
    void stop() override;
    bool streaming() const override { return worker_.joinable(); }
    bool takeFrame(Frame& frame) override;
    bool grab(Frame& frame) override;
    ControlSet* controls() override { return &controls_; }
    FormatSet* formats() override { return &formats_; }
    std::string identity() const override { return identity_; }

    const v4l2_format& deviceFormat() const { return source_; }
    const std::string& node() const { return node_; }

private:
    class Controls final : public ControlSet {
    public:
        explicit Controls(V4l2Driver& driver) : driver_(driver) {}
        std::vector<ControlInfo> list() override;
        bool set(std::uint32_t id, int value) override;
        void reset() override;
        int changeHandle() override;
        bool takeChanges() override;
        // The descriptor went; its notices went with it.
        void dropSubscription();

    private:
        V4l2Driver& driver_;
        int subscribedFd_ = -1; // the descriptor the change notices were ordered on
    };

    class Formats final : public FormatSet {
    public:
        explicit Formats(V4l2Driver& driver) : driver_(driver) {}
        std::vector<PixelFormatChoice> list() override;
        FormatSetting current() override;
        bool apply(const FormatSetting& setting) override;
        QString refusal() const override { return refusal_; }

    private:
        V4l2Driver& driver_;
        QString refusal_;
    };

    int ioctl(unsigned long request, void* arg) const { return system_.ioctl(fd_.get(), request, arg); }
    bool connect(QString& error);
    // The text for a failed connect; keeps `error` for open()'s caller.
    QString connectError(int error);
    // Sets the device's format; when the device takes it but its frames
    // cannot be converted, `refusal` (if given) says why.
    bool setFormat(const v4l2_format& wanted, QString& error, QString* refusal = nullptr);
    void setInterval(const FrameInterval& interval);
    bool allocateBuffers(QString& error);
    void releaseBuffers();
    // QBUF, offered again while the device answers EAGAIN or EINTR (a few
    // times); false with errno set.
    bool queueBuffer(v4l2_buffer& buffer);
    // Queues every buffer and streams on; false with errno set.
    bool startStream();
    bool restartStream();
    void stopStream();
    // How long a grab waits for the next frame of a running stream: a few
    // frame intervals at the camera's rate.
    std::chrono::milliseconds streamingGrabTimeout() const;
    void run(unsigned session);
    void failed(unsigned session, const QString& message);
    void lose();

    V4l2System& system_;
    std::string node_;
    std::string identity_;
    int connectErrno_ = 0;
    DeviceFd fd_;
    std::unique_ptr<FrameConverter> converter_;
    v4l2_format source_{}; // what the device sends; type 0 until the first format is set
    std::vector<std::uint8_t> format_;
    std::vector<Mapping> buffers_;
    Controls controls_{*this};
    Formats formats_{*this};

    FrameSink* sink_ = nullptr;
    FrameExchange exchange_;
    std::unique_ptr<WakeFd> wake_;
    std::thread worker_;
    bool streamOn_ = false;
    unsigned session_ = 0;
    std::atomic<bool> failureSent_{false};
    // Queued calls from the worker land here, on the GUI thread; they are
    // dropped with it when the driver goes.
    QObject gui_;
};

// The German text for a failed connect, by the errno that caused it.
QString ConnectErrorText(int error, const std::string& node);

// Whether a device, by what VIDIOC_QUERYCAP answers, captures video through
// streaming buffers (the only way this driver takes frames).
bool StreamsVideo(const v4l2_capability& cap);

} // namespace camera
