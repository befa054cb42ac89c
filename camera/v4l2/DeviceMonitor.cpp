#include "camera/v4l2/DeviceMonitor.h"

#include <libudev.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>

#include <cstring>

namespace camera {

namespace {

constexpr int settleMs = 50;

} // namespace

void DeviceMonitor::UdevDeleter::operator()(udev* u) const
{
    udev_unref(u);
}

void DeviceMonitor::MonitorDeleter::operator()(udev_monitor* m) const
{
    udev_monitor_unref(m);
}

DeviceMonitor& DeviceMonitor::Instance()
{
    // Owned by the application object, so it goes before the event loop's
    // machinery does.
    static DeviceMonitor* monitor = new DeviceMonitor(Mode::Automatic, QStringLiteral("/sys/class/video4linux"), 300,
                                                      QCoreApplication::instance());
    return *monitor;
}

DeviceMonitor::DeviceMonitor(Mode mode, QString scanDir, int scanMs, QObject* parent)
    : QObject(parent), scanDir_(std::move(scanDir))
{
    settle_.setSingleShot(true);
    settle_.setInterval(settleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        ++changes_;
        emit devicesChanged();
    });
    if (mode == Mode::Automatic && startUdev())
        return;
    seen_ = entries();
    connect(&scanTimer_, &QTimer::timeout, this, &DeviceMonitor::scan);
    scanTimer_.start(scanMs);
}

DeviceMonitor::~DeviceMonitor() = default;

namespace {

// The daemon's control socket can outlive the daemon (one stopped without
// cleaning up, or a root file system shared with a machine that ran one),
// so its file proves nothing: only a daemon that takes a connection counts.
bool udevAnswers()
{
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, "/run/udev/control", sizeof address.sun_path - 1);
    const bool answered = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return answered;
}

} // namespace

// Only worth it when the udev daemon runs: without it the kernel's events
// never reach the "udev" group this monitor listens to.
bool DeviceMonitor::startUdev()
{
    if (!udevAnswers())
        return false;
    udev_.reset(udev_new());
    if (!udev_)
        return false;
    monitor_.reset(udev_monitor_new_from_netlink(udev_.get(), "udev"));
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_.get(), "video4linux", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_.get()) < 0) {
        monitor_.reset();
        udev_.reset();
        return false;
    }
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_.get()), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceMonitor::receive);
    return true;
}

void DeviceMonitor::receive()
{
    bool any = false;
    while (udev_device* device = udev_monitor_receive_device(monitor_.get())) {
        udev_device_unref(device);
        ++heard_[static_cast<int>(Source::Udev)];
        any = true;
    }
    if (any)
        settle_.start();
}

// Each entry with the inode it has now: a camera unplugged and plugged in
// again between two looks has the same name, but sysfs made it anew.
QStringList DeviceMonitor::entries() const
{
    const QDir dir(scanDir_);
    QStringList found = dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (QString& name : found) {
        struct stat info {};
        if (::stat(QFile::encodeName(dir.filePath(name)).constData(), &info) == 0)
            name += QLatin1Char(':') + QString::number(info.st_ino);
    }
    return found;
}

void DeviceMonitor::scan()
{
    QStringList now = entries();
    if (now == seen_)
        return;
    seen_ = std::move(now);
    ++heard_[static_cast<int>(Source::Scan)];
    settle_.start();
}

} // namespace camera
