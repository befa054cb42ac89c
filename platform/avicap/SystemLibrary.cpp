#include "platform/avicap/SystemLibrary.h"

#include "camera/Notices.h"
#include "camera/pipewire/CameraPortal.h"
#include "camera/pipewire/PipeWireCameras.h"
#include "camera/v4l2/DeviceMonitor.h"
#include "camera/v4l2/V4l2System.h"
#include "platform/avicap/DriverCatalog.h"

#include <QCoreApplication>
#include <QDBusConnection>

namespace avicap {

namespace {

// PipeWire's cameras coming and going reach the capture windows the way a
// V4L2 camera plugged in does: as a notice of the device monitor, which
// lives on the GUI thread (PipeWire tells on a thread of its own).
camera::PipeWireCameras& WatchedPipeWire()
{
    camera::PipeWireCameras& cameras = camera::SessionCameras();
    cameras.onChange([] {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { camera::DeviceMonitor::Instance().announce(); }, Qt::QueuedConnection);
    });
    // In a sandbox the cameras come only through the desktop's camera
    // portal, which asks the user first; its answer arrives later.
    if (QCoreApplication::instance() != nullptr && camera::InSandbox()) {
        auto* portal = new camera::CameraPortal(
            QDBusConnection::sessionBus(), [](int fd) { camera::UsePipeWireRemote(fd); },
            [](const QString& why) { camera::ReportToUser(why); }, QCoreApplication::instance());
        portal->ask();
    }
    return cameras;
}

} // namespace

Library& SystemLibrary()
{
    // The test camera's noise is the same in every run.
    static CatalogLibrary library(DriverCatalog(camera::LinuxV4l2System(), 1, &WatchedPipeWire()));
    return library;
}

} // namespace avicap
