#pragma once
// Cameras for a sandboxed program: inside a sandbox (Flatpak and the like)
// the only way to the cameras is the desktop's camera portal. It asks the
// user (AccessCamera, answered by a Response signal on a request object)
// and then hands out a descriptor connected to PipeWire that shows only
// the cameras (OpenPipeWireRemote). Everything runs on the GUI thread's
// event loop without blocking it: the user may take a while to answer.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace camera {

// Whether this program runs in a sandbox: the file the sandbox puts at the
// root of every sandboxed program's file system exists.
bool InSandbox(const QString& marker = QStringLiteral("/.flatpak-info"));

class CameraPortal final : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Asking, Granted, Refused };

    // `granted` takes over the descriptor to PipeWire once the user agrees;
    // `tell` shows a German message (a refusal, a missing portal), once.
    CameraPortal(QDBusConnection bus, std::function<void(int fd)> granted, std::function<void(const QString&)> tell,
                 QObject* parent = nullptr);

    // Asks for the cameras; does nothing while asking or once answered.
    void ask();
    State state() const { return state_; }

private slots:
    // The portal's Response on the request object: 0 granted, 1 the user
    // said no, 2 the portal ended it otherwise.
    void answered(uint response, const QVariantMap& results);

private:
    void openRemote();
    void refuse(const QString& why);

    QDBusConnection bus_;
    std::function<void(int)> granted_;
    std::function<void(const QString&)> tell_;
    QString requestPath_;
    State state_ = State::Idle;
};

} // namespace camera
