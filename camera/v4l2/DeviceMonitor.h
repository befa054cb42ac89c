#pragma once
// Tells when video devices come and go while the program runs. Where udev
// runs, its monitor's socket sits in the event loop; where it does not (a
// minimal system, a container, the test machine) a light timer compares
// the entries of /sys/class/video4linux instead. Bursts of changes (one
// camera brings several nodes) arrive as one notice.

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

struct udev;
struct udev_monitor;
class QSocketNotifier;

namespace camera {

class DeviceMonitor final : public QObject {
    Q_OBJECT
public:
    enum class Mode { Automatic, Scan };
    // Where word of a change came from.
    enum class Source { Udev, Scan, Announced };

    // The program's monitor, started on first use.
    static DeviceMonitor& Instance();

    // `Scan` always uses the timer over `scanDir`; `Automatic` prefers udev.
    explicit DeviceMonitor(Mode mode = Mode::Automatic, QString scanDir = QStringLiteral("/sys/class/video4linux"),
                           int scanMs = 300, QObject* parent = nullptr);
    ~DeviceMonitor() override;

    bool usesUdev() const { return monitor_ != nullptr; }
    // How many notices have gone out: a cheap way to tell whether what
    // one learnt of the devices may be out of date.
    unsigned changes() const { return changes_; }

    // How many events each source has reported (udev: each device event;
    // the scan: each look that found the entries changed), before bursts
    // are gathered into notices. Tells which way the program learnt of a
    // change.
    unsigned heard(Source source) const { return heard_[static_cast<int>(source)]; }

    // A change this monitor cannot see itself (a camera that another
    // back-end offers came or went): told like one of its own, on the GUI
    // thread.
    void announce()
    {
        ++heard_[static_cast<int>(Source::Announced)];
        settle_.start();
    }

signals:
    void devicesChanged();

private:
    bool startUdev();
    void receive();
    void scan();
    QStringList entries() const;

    struct UdevDeleter {
        void operator()(udev* u) const;
    };
    struct MonitorDeleter {
        void operator()(udev_monitor* m) const;
    };
    std::unique_ptr<udev, UdevDeleter> udev_;
    std::unique_ptr<udev_monitor, MonitorDeleter> monitor_;
    QSocketNotifier* notifier_ = nullptr;
    QString scanDir_;
    QStringList seen_;
    QTimer scanTimer_;
    QTimer settle_; // gathers a burst of changes into one notice
    unsigned changes_ = 0;
    unsigned heard_[3] = {};
};

} // namespace camera
