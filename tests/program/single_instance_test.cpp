// One Stillwise per session: two instance objects in one process stand for
// two starts. The later one's claim blocks, as a real start does, so it
// runs in a thread of its own while the first answers from the event loop.

#include "app/SingleInstance.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <future>

namespace {

using namespace std::chrono_literals;

class SingleInstanceTest : public ::testing::Test {
protected:
    QString socketPath() const { return dir.path() + QStringLiteral("/stillwise.socket"); }

    // A later start with `options`, answered by this thread's event loop.
    SingleInstance::Claim laterStart(const StartOptions& options)
    {
        auto later = std::async(std::launch::async, [this, options] {
            SingleInstance second(socketPath());
            return second.claim(options);
        });
        while (later.wait_for(10ms) != std::future_status::ready)
            QCoreApplication::processEvents();
        return later.get();
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(SingleInstanceTest, ALaterStartHandsItsOptionsOverAndTheFirstHearsThem)
{
    SingleInstance first(socketPath());
    ASSERT_EQ(first.claim({}), SingleInstance::Claim::First) << first.error().toStdString();
    QSignalSpy heard(&first, &SingleInstance::received);

    EXPECT_EQ(laterStart({.webcam = true, .tray = true}), SingleInstance::Claim::HandedOver);
    EXPECT_EQ(laterStart({}), SingleInstance::Claim::HandedOver);
    EXPECT_EQ(laterStart({.webcam = true}), SingleInstance::Claim::HandedOver);
    ASSERT_TRUE(heard.count() == 3 || heard.wait(2000));
    while (heard.count() < 3 && heard.wait(2000)) {
    }
    ASSERT_EQ(heard.count(), 3);
    EXPECT_EQ(heard[0][0].value<StartOptions>(), (StartOptions{.webcam = true, .tray = true}));
    EXPECT_EQ(heard[1][0].value<StartOptions>(), StartOptions{});
    EXPECT_EQ(heard[2][0].value<StartOptions>(), (StartOptions{.webcam = true}));
}

TEST_F(SingleInstanceTest, TheSocketGoesWithTheProgramAndTheNextStartIsFirstAgain)
{
    {
        SingleInstance first(socketPath());
        ASSERT_EQ(first.claim({}), SingleInstance::Claim::First);
        EXPECT_TRUE(QFile::exists(socketPath()));
    }
    EXPECT_FALSE(QFile::exists(socketPath()));
    SingleInstance next(socketPath());
    EXPECT_EQ(next.claim({}), SingleInstance::Claim::First);
}

TEST_F(SingleInstanceTest, WhatACrashLeftBehindNeverBlocksAStart)
{
    // A socket file nobody listens on, as a killed program leaves it.
    const QByteArray path = QFile::encodeName(socketPath());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(socketPath()));

    // And the lock file of a process that is gone (pid far above pid_max).
    QFile lock(socketPath() + QStringLiteral(".lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999999\nstillwise\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();

    QElapsedTimer took;
    took.start();
    SingleInstance start(socketPath());
    EXPECT_EQ(start.claim({}), SingleInstance::Claim::First) << start.error().toStdString();
    EXPECT_LT(took.elapsed(), 3000);
    // And it is reachable for the next start.
    EXPECT_EQ(laterStart({}), SingleInstance::Claim::HandedOver);
}

TEST_F(SingleInstanceTest, APeerThatSaysSomethingElseIsCutOffAndChangesNothing)
{
    SingleInstance first(socketPath());
    ASSERT_EQ(first.claim({}), SingleInstance::Claim::First);
    QSignalSpy heard(&first, &SingleInstance::received);

    auto send = [this](QByteArray bytes) {
        return std::async(std::launch::async, [this, bytes] {
            QLocalSocket peer;
            peer.connectToServer(socketPath());
            if (!peer.waitForConnected(1000))
                return QByteArray("not connected");
            peer.write(bytes);
            peer.waitForBytesWritten(1000);
            QByteArray answer;
            while (peer.waitForReadyRead(1000))
                answer += peer.readAll();
            return answer + peer.readAll();
        });
    };
    auto wait = [](std::future<QByteArray>& f) {
        while (f.wait_for(10ms) != std::future_status::ready)
            QCoreApplication::processEvents();
        return f.get();
    };
    auto garbage = send("GET / HTTP/1.0\n");
    EXPECT_EQ(wait(garbage), QByteArray());
    // A line longer than any request, without an end.
    auto flood = send(QByteArray(4096, 'x'));
    EXPECT_EQ(wait(flood), QByteArray());
    QTest::qWait(50);
    EXPECT_EQ(heard.count(), 0);

    // Words it does not know (a newer program's) are passed over.
    auto newer = send("stillwise-start webcam fullscreen\n");
    EXPECT_EQ(wait(newer), QByteArray("ok\n"));
    ASSERT_TRUE(heard.wait(2000));
    EXPECT_EQ(heard[0][0].value<StartOptions>(), (StartOptions{.webcam = true}));
}

TEST(SingleInstanceWords, RoundTrip)
{
    for (const StartOptions o : {StartOptions{}, StartOptions{.webcam = true}, StartOptions{.tray = true},
                                 StartOptions{.webcam = true, .tray = true}})
        EXPECT_EQ(SingleInstance::Decode(SingleInstance::Encode(o)), o);
    EXPECT_FALSE(SingleInstance::Decode("webcam tray\n").has_value());
    EXPECT_FALSE(SingleInstance::Decode("").has_value());
    EXPECT_TRUE(SingleInstance::DefaultSocketPath().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR")));
}
