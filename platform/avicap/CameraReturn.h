#pragma once
// Waits for a camera that went away mid-stream to come back. Each time the
// devices change it asks `resume`, which looks for that very camera (by its
// identity, never just the node) and takes it up again; a camera that is
// back but not yet ready (permissions are set a moment after the node
// appears) is asked again a few times shortly after.

#include <QObject>
#include <QTimer>

#include <functional>

namespace camera {
class DeviceMonitor;
}

namespace avicap {

class CameraReturn final : public QObject {
public:
    // `resume` answers true once the camera streams again.
    CameraReturn(camera::DeviceMonitor& monitor, std::function<bool()> resume);

    bool done() const { return done_; }

private:
    void attempt();

    std::function<bool()> resume_;
    QTimer retry_;
    int retriesLeft_ = 0;
    bool done_ = false;
};

} // namespace avicap
