#pragma once
// The capture window: a child widget that is connected to one driver at a
// time, answers the capture messages, hands frames to the frame callback
// at most once per preview interval and shows the latest frame.

#include "camera/Driver.h"
#include "platform/avicap/CaptureApi.h"

#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace avicap {

class VideoWindow final : public CaptureWindow, private camera::FrameSink {
public:
    // Makes the driver of a slot, or null (with LastConnectError() set).
    using DriverOpener = std::function<std::unique_ptr<camera::Driver>(int slot)>;
    // Finds a camera by its identity wherever it is now: its slot and
    // driver, or -1 and null.
    using CameraFinder = std::function<std::pair<int, std::unique_ptr<camera::Driver>>(const std::string& identity)>;

    VideoWindow(DriverOpener opener, QWidget* parent);
    ~VideoWindow() override;

    LRESULT message(UINT msg, WPARAM wParam, LPARAM lParam) override;

    camera::Driver* driver() const { return driver_.get(); }
    int slot() const { return slot_; }
    // Lets a camera lost mid-stream come back by itself when it returns.
    void setCameraFinder(CameraFinder finder) { finder_ = std::move(finder); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LRESULT connectDriver(int slot);
    void disconnectDriver();
    LRESULT getCaps(WPARAM size, LPARAM block);
    LRESULT getStatus(WPARAM size, LPARAM block);
    LRESULT getFormat(WPARAM size, LPARAM block);
    LRESULT setPreview(bool on);
    LRESULT setOverlay(bool on);
    LRESULT grabFrame();
    LRESULT sourceDialog();
    LRESULT formatDialog();
    void updateStream();

    void frameReady() override;
    void streamFailed(const QString& message) override;
    void offerPending();
    bool frameFitsFormat(const camera::Frame& frame) const;
    void deliver();
    void awaitReturn(bool preview);
    bool resume(const std::string& identity, bool preview);

    DriverOpener opener_;
    CameraFinder finder_;
    std::unique_ptr<class CameraReturn> return_; // while a lost camera is awaited
    std::unique_ptr<camera::Driver> driver_;
    int slot_ = -1;
    LPARAM userData_ = 0;
    CAPSTATUSCALLBACK statusCallback_ = nullptr;
    CAPVIDEOCALLBACK frameCallback_ = nullptr;
    CAPVIDEOCALLBACK videoStreamCallback_ = nullptr;
    CAPWAVECALLBACK waveStreamCallback_ = nullptr;
    bool preview_ = false;
    bool overlay_ = false;
    bool scale_ = false;
    int rateMs_ = 66;
    DWORD framesDelivered_ = 0;
    // Frames taken from the driver but never handed out: replaced by a
    // newer one while waiting for the preview interval, or not of the
    // format.
    DWORD framesDropped_ = 0;
    bool inCallback_ = false;

    camera::Frame frame_;   // what the window shows and the callback gets
    camera::Frame pending_; // the latest frame not yet handed out
    bool hasPending_ = false;
    QElapsedTimer clock_;
    qint64 creditFromNs_ = 0; // the preview's allowance of frames builds up from here
    QTimer rateTimer_;
};

} // namespace avicap
