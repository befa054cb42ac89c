#include "platform/avicap/CameraReturn.h"

#include "camera/v4l2/DeviceMonitor.h"

namespace avicap {

namespace {

constexpr int retryMs = 250;
constexpr int retries = 8;

} // namespace

CameraReturn::CameraReturn(camera::DeviceMonitor& monitor, std::function<bool()> resume) : resume_(std::move(resume))
{
    retry_.setSingleShot(true);
    retry_.setInterval(retryMs);
    connect(&retry_, &QTimer::timeout, this, &CameraReturn::attempt);
    connect(&monitor, &camera::DeviceMonitor::devicesChanged, this, [this] {
        retriesLeft_ = retries;
        attempt();
    });
}

void CameraReturn::attempt()
{
    if (done_)
        return;
    if (resume_()) {
        done_ = true;
        retry_.stop();
        return;
    }
    if (retriesLeft_-- > 0)
        retry_.start();
}

} // namespace avicap
