#pragma once
// The physical camera only while someone watches. While the window is
// hidden (in the tray, or minimised) and the webcam output is on, the
// camera is open only while a program reads the virtual camera, and is
// closed again shortly after the last reader leaves. Until the camera
// delivers, a reader gets a calm placeholder picture of the same size, and
// while nobody reads, the way out stays offered with that picture.
//
// This needs ways out that can tell whether they are read (the PipeWire
// node can, a v4l2loopback node cannot): with one that cannot, the camera
// runs as it always has. With the window shown it runs as always, too; in
// the tray with the webcam output off it is closed, as nobody sees it.
//
// Nothing waits: a timer looks a few times a second at whether anyone
// reads, and only while the window is hidden with the webcam output on.

#include "dib/PictureGuard.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <memory>

class TMainForm;

class CameraOnDemand : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;
    // How often readers are looked for, and how long the camera stays open
    // after the last one left (a reader that comes back at once finds it
    // still open).
    static constexpr std::chrono::milliseconds LookInterval{400};
    static constexpr std::chrono::milliseconds Grace{750};

    // `closedAtStart`: the window was made without opening its camera (a
    // start for the tray). Only a camera closed here is opened here: one
    // that failed to open at the start is left as it is, as always.
    CameraOnDemand(TMainForm& window, bool closedAtStart, QObject* parent = nullptr);
    ~CameraOnDemand() override;

    // Whether the camera is left to readers now.
    bool onDemand() const { return look_.isActive(); }

    // The placeholder for a picture of width x height: dark grey with the
    // program's icon in the middle, 24-bit BGR rows bottom-up. The caller
    // owns it.
    static DIB Placeholder(int width, int height);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Decides again after the window or the webcam output changed.
    void reconsider();
    void lookForReaders();
    void openCamera();
    void closeCamera();
    void holdPlaceholder();

    TMainForm& window_;
    QTimer look_;
    Clock::time_point lastReader_{};
    // The camera is closed because nobody needed it; it is opened again
    // when someone does.
    bool closedHere_ = false;
    // A failed opening is not tried again until the readers have left.
    bool openFailed_ = false;
    // Camera pictures taken when the camera was last opened: a reader gets
    // the placeholder until one more arrived.
    std::uint64_t framesAtOpen_ = 0;
    std::unique_ptr<PictureGuard> placeholder_;
    bool busy_ = false;
    // The placeholder went out once since the camera was left to readers:
    // the way out keeps it (a node stays offered, a loopback node keeps its
    // last picture), and while nobody reads, nothing more is sent.
    bool held_ = false;
};
