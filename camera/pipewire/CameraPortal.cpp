#include "camera/pipewire/CameraPortal.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QVariantMap>

#include <fcntl.h>
#include <unistd.h>

namespace camera {

namespace {

const QString PortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString PortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString CameraInterface = QStringLiteral("org.freedesktop.portal.Camera");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");

QString RefusedText()
{
    return QCoreApplication::translate(
        "camera::CameraPortal",
        "Der Zugriff auf die Kameras wurde verweigert. Die Stillwise Testkamera bleibt verfügbar; "
        "den Zugriff erlauben Sie in den Datenschutz-Einstellungen des Systems.");
}

} // namespace

bool InSandbox(const QString& marker)
{
    return QFileInfo::exists(marker);
}

CameraPortal::CameraPortal(QDBusConnection bus, std::function<void(int fd)> granted,
                           std::function<void(const QString&)> tell, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), granted_(std::move(granted)), tell_(std::move(tell))
{}

void CameraPortal::ask()
{
    if (state_ != State::Idle)
        return;
    if (!bus_.isConnected())
        return refuse(QCoreApplication::translate(
            "camera::CameraPortal", "Ohne Sitzungsbus lassen sich in der Sandbox keine Kameras erreichen. Die "
                                    "Stillwise Testkamera bleibt verfügbar."));
    state_ = State::Asking;
    // The portal answers on a request object whose path follows from our
    // bus name and a token of our choosing. Listening there before asking
    // means an answer that comes at once is not missed.
    const QString token = QStringLiteral("stillwise%1").arg(QRandomGenerator::global()->generate());
    QString sender = bus_.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    requestPath_ = PortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
    bus_.connect(PortalService, requestPath_, RequestInterface, QStringLiteral("Response"), this,
                 SLOT(answered(uint, QVariantMap)));

    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath, CameraInterface,
                                                       QStringLiteral("AccessCamera"));
    call << QVariantMap{{QStringLiteral("handle_token"), token}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError())
            return refuse(
                QCoreApplication::translate("camera::CameraPortal",
                                            "Die Kamera-Freigabe des Systems antwortet nicht (%1). Die Stillwise "
                                            "Testkamera bleibt verfügbar.")
                    .arg(reply.error().message()));
        // Older portals chose the path themselves; follow theirs.
        const QString path = reply.value().path();
        if (state_ == State::Asking && path != requestPath_) {
            bus_.disconnect(PortalService, requestPath_, RequestInterface, QStringLiteral("Response"), this,
                            SLOT(answered(uint, QVariantMap)));
            requestPath_ = path;
            bus_.connect(PortalService, requestPath_, RequestInterface, QStringLiteral("Response"), this,
                         SLOT(answered(uint, QVariantMap)));
        }
    });
}

void CameraPortal::answered(uint response, const QVariantMap&)
{
    if (state_ != State::Asking)
        return;
    bus_.disconnect(PortalService, requestPath_, RequestInterface, QStringLiteral("Response"), this,
                    SLOT(answered(uint, QVariantMap)));
    if (response != 0)
        return refuse(RefusedText());
    openRemote();
}

void CameraPortal::openRemote()
{
    QDBusMessage call = QDBusMessage::createMethodCall(PortalService, PortalPath, CameraInterface,
                                                       QStringLiteral("OpenPipeWireRemote"));
    call << QVariantMap{};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
        if (reply.isError() || !reply.value().isValid())
            return refuse(QCoreApplication::translate(
                "camera::CameraPortal", "Die Kamera-Freigabe des Systems gibt keinen Zugang zu PipeWire. Die "
                                        "Stillwise Testkamera bleibt verfügbar."));
        // The reply keeps its own descriptor; the session gets a copy.
        const int fd = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
        if (fd < 0)
            return refuse(RefusedText());
        state_ = State::Granted;
        granted_(fd);
    });
}

void CameraPortal::refuse(const QString& why)
{
    state_ = State::Refused;
    tell_(why);
}

} // namespace camera
