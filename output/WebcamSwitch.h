#pragma once
// "Als Webcam ausgeben": the check box and the virtual webcam behind it.
// The box is enabled where a loopback node exists and its tooltip says
// where the picture goes (or how to get a node); ticking it opens the
// node, and a failure, then or later, unticks it and tells the user why.

#include "output/VirtualCamera.h"

#include <QMetaObject>
#include <QString>

#include <functional>
#include <memory>

class QCheckBox;

namespace camera {
class V4l2System;
}

namespace output {

class WebcamSwitch {
public:
    using Teller = std::function<void(const QString& why)>;

    // Drives `box`, which its window lays out and owns; `tell` shows the
    // user why the output stopped. Looks for a node among the real devices.
    WebcamSwitch(QCheckBox* box, Teller tell);
    ~WebcamSwitch();
    WebcamSwitch(const WebcamSwitch&) = delete;
    WebcamSwitch& operator=(const WebcamSwitch&) = delete;

    // Where the output finds its node; looks for the node afresh and
    // switches the output off.
    void setSystem(camera::V4l2System& system);

    // Hands one corrected picture to the output while it is on. After a
    // failure the user is told once the caller's frame step is over.
    void send(const BgrPicture& picture);

    // Switches the output off without a word (the window closes).
    void stop();

private:
    void clicked();
    // Ends the output after a failure; answers why.
    QString fail();

    QCheckBox* box_;
    Teller tell_;
    QMetaObject::Connection clicks_;
    camera::V4l2System* system_ = nullptr;
    std::unique_ptr<VirtualCamera> camera_;
};

} // namespace output
