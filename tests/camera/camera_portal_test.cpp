// The camera portal against a stand-in portal service on a private session
// bus: a yes hands PipeWire's descriptor over, a no or a missing portal is
// told once and hands nothing over.

#include "camera/pipewire/CameraPortal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the desktop's portal does, reduced to the camera: answers
// AccessCamera with a request object and then the user's answer on it, and
// OpenPipeWireRemote with one end of a socket pair.
class StandInPortal : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Camera")
public:
    StandInPortal(QDBusConnection bus, uint answer) : bus_(std::move(bus)), answer_(answer)
    {
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends_);
    }
    ~StandInPortal() override
    {
        ::close(ends_[0]);
        ::close(ends_[1]);
    }
    int remoteEnd() const { return ends_[0]; }
    int accessCalls = 0;
    int remoteCalls = 0;

public slots:
    QDBusObjectPath AccessCamera(const QVariantMap& options, const QDBusMessage& message)
    {
        ++accessCalls;
        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + QLatin1Char('/') +
                             options.value(QStringLiteral("handle_token")).toString();
        // The user answers after the call has returned.
        QTimer::singleShot(10, this, [this, path] {
            QDBusMessage response = QDBusMessage::createSignal(path, QStringLiteral("org.freedesktop.portal.Request"),
                                                               QStringLiteral("Response"));
            response << answer_ << QVariantMap{};
            bus_.send(response);
        });
        return QDBusObjectPath(path);
    }
    QDBusUnixFileDescriptor OpenPipeWireRemote(const QVariantMap&)
    {
        ++remoteCalls;
        return QDBusUnixFileDescriptor(ends_[0]);
    }

private:
    QDBusConnection bus_;
    uint answer_;
    int ends_[2] = {-1, -1};
};

bool SameFile(int a, int b)
{
    struct stat sa {
    }, sb{};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

class CameraPortalTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "camera_portal_test";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr)
            new QCoreApplication(argc, argv);
    }

    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        // A bus of its own: the machine's session bus (if any) is never
        // touched, and no real portal answers.
        const QString address = QStringLiteral("unix:path=") + dir_.filePath(QStringLiteral("bus"));
        daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                      QStringLiteral("--address=") + address});
        ASSERT_TRUE(daemon_.waitForStarted()) << "dbus-daemon fehlt (Paket dbus-daemon)";
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(dir_.filePath(QStringLiteral("bus"))) && waited.elapsed() < 5000)
            QThread::msleep(10);
        client_ = QDBusConnection::connectToBus(address, QStringLiteral("client"));
        service_ = QDBusConnection::connectToBus(address, QStringLiteral("service"));
        ASSERT_TRUE(client_.isConnected());
        ASSERT_TRUE(service_.isConnected());
    }

    void TearDown() override
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        daemon_.kill();
        daemon_.waitForFinished();
    }

    void offer(StandInPortal& portal)
    {
        ASSERT_TRUE(service_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")));
        ASSERT_TRUE(service_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), &portal,
                                            QDBusConnection::ExportAllSlots));
    }

    // Runs the event loop until `done` or 5 s have passed.
    template <typename Done>
    static void runUntil(Done done)
    {
        QElapsedTimer waited;
        waited.start();
        while (!done() && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QTemporaryDir dir_;
    QProcess daemon_;
    QDBusConnection client_{QString()};
    QDBusConnection service_{QString()};
    std::vector<int> granted_;
    QStringList told_;
};

TEST_F(CameraPortalTest, AYesHandsPipeWiresDescriptorOverOnce)
{
    StandInPortal portal(service_, 0);
    offer(portal);
    camera::CameraPortal asker(
        client_, [this](int fd) { granted_.push_back(fd); }, [this](const QString& why) { told_ << why; });
    asker.ask();
    asker.ask(); // a second wish while asking asks nothing more
    runUntil([&] { return asker.state() != camera::CameraPortal::State::Asking; });

    EXPECT_EQ(asker.state(), camera::CameraPortal::State::Granted);
    ASSERT_EQ(granted_.size(), 1u);
    EXPECT_TRUE(SameFile(granted_[0], portal.remoteEnd()));
    EXPECT_NE(granted_[0], portal.remoteEnd()) << "the session owns a descriptor of its own";
    EXPECT_TRUE(told_.isEmpty());
    EXPECT_EQ(portal.accessCalls, 1);
    EXPECT_EQ(portal.remoteCalls, 1);

    asker.ask();
    QCoreApplication::processEvents();
    EXPECT_EQ(portal.accessCalls, 1) << "once granted, the portal is not asked again";
    for (int fd : granted_)
        ::close(fd);
}

TEST_F(CameraPortalTest, ANoIsToldOnceInGermanAndHandsNothingOver)
{
    for (uint answer : {1u, 2u}) {
        StandInPortal portal(service_, answer);
        offer(portal);
        told_.clear();
        camera::CameraPortal asker(
            client_, [this](int fd) { granted_.push_back(fd); }, [this](const QString& why) { told_ << why; });
        asker.ask();
        runUntil([&] { return asker.state() != camera::CameraPortal::State::Asking; });
        asker.ask();
        QCoreApplication::processEvents();

        EXPECT_EQ(asker.state(), camera::CameraPortal::State::Refused) << answer;
        EXPECT_TRUE(granted_.empty());
        ASSERT_EQ(told_.size(), 1) << answer;
        EXPECT_TRUE(told_[0].contains(QStringLiteral("verweigert"))) << told_[0].toStdString();
        EXPECT_TRUE(told_[0].contains(QStringLiteral("Testkamera")));
        EXPECT_EQ(portal.remoteCalls, 0);
        service_.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
        service_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
}

TEST_F(CameraPortalTest, NoPortalOnTheBusIsToldAndNothingWaitsForever)
{
    camera::CameraPortal asker(
        client_, [this](int fd) { granted_.push_back(fd); }, [this](const QString& why) { told_ << why; });
    asker.ask();
    runUntil([&] { return asker.state() != camera::CameraPortal::State::Asking; });
    EXPECT_EQ(asker.state(), camera::CameraPortal::State::Refused);
    EXPECT_TRUE(granted_.empty());
    ASSERT_EQ(told_.size(), 1);
    EXPECT_TRUE(told_[0].contains(QStringLiteral("Testkamera")));
}

TEST(Sandbox, IsToldByTheMarkerFile)
{
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral(".flatpak-info"));
    EXPECT_FALSE(camera::InSandbox(marker));
    QFile file(marker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(camera::InSandbox(marker));
}

} // namespace

#include "camera_portal_test.moc"
