#pragma once
// "Als Webcam ausgeben": the check box and the ways out behind it. The
// picture goes out as a PipeWire camera where a PipeWire daemon runs and
// into a v4l2loopback node where the module is loaded; both when both
// exist. The box is enabled where at least one way exists; its tooltip says
// where the picture goes and how to get the way that is missing. Ticking it
// starts every way there is; a failure of any, then or later, stops them
// all, unticks the box and tells the user why. While the box is off, a
// PipeWire daemon that comes or goes is noticed within a few seconds.

#include "output/WebcamOutput.h"

#include <QMetaObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;

namespace camera {
class V4l2System;
}

namespace output {

class PipeWireSystem;

class WebcamSwitch {
public:
    using Teller = std::function<void(const QString& why)>;

    // Drives `box`, which its window lays out and owns; `tell` shows the
    // user why the output stopped. Looks for the ways out among the real
    // devices and the session's PipeWire.
    WebcamSwitch(QCheckBox* box, Teller tell);
    ~WebcamSwitch();
    WebcamSwitch(const WebcamSwitch&) = delete;
    WebcamSwitch& operator=(const WebcamSwitch&) = delete;

    // Where the output finds its ways out; looks for them afresh and
    // switches the output off.
    void setSystems(camera::V4l2System& v4l2, PipeWireSystem& pipewire);
    void setSystem(camera::V4l2System& v4l2);

    // Hands one corrected picture to every way out while the box is on.
    // After a failure the user is told once the caller's frame step is over.
    void send(const BgrPicture& picture);

    // Whether the output is on, and whether a program reads it now (as far
    // as a way out can tell: a PipeWire node knows, a loopback node does not).
    bool on() const { return !outputs_.empty(); }
    bool read() const;
    // Whether every way out that is on can tell whether it is read.
    bool tellsReaders() const;
    // Hands a placeholder to every way out while the camera is closed
    // (WebcamOutput::hold); a failure ends the output as in send().
    void hold(const BgrPicture& placeholder);

    // Switches the output off without a word (the window closes).
    void stop();

private:
    void clicked();
    // Sets the box's enabled state and tooltip from the ways there are.
    void refresh();
    // Ends the output after `failed` failed; answers why.
    QString fail(const WebcamOutput& failed);
    void hand(const BgrPicture& picture, bool placeholder);

    QCheckBox* box_;
    Teller tell_;
    QMetaObject::Connection clicks_;
    QTimer watch_;
    camera::V4l2System* v4l2_ = nullptr;
    PipeWireSystem* pipewire_ = nullptr;
    bool pipewireSeen_ = false;
    std::vector<std::unique_ptr<WebcamOutput>> outputs_;
};

} // namespace output
