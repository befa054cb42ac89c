#pragma once
// Shared by the capture library's tests: the Qt application, event-loop
// helpers, a frame callback that records what it sees, and a library on a
// simulated machine.

#include "camera/Notices.h"
#include "platform/avicap/CaptureApi.h"
#include "platform/avicap/DriverCatalog.h"
#include "tests/camera/SimulatedPipeWire.h"
#include "tests/camera/SimulatedV4l2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace avicap_test {

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "avicap_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Runs the event loop until `done` or the time is up; answers `done()`.
inline bool SpinUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline void SpinFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// What the frame callback saw.
struct FrameLog {
    struct Entry {
        HWND window;
        std::uint8_t* data;
        DWORD length;
        DWORD used;
        qint64 atNs;
        bool guiThread;
        std::vector<std::uint8_t> bytes; // a copy, when asked for
    };
    std::vector<Entry> entries;
    bool keepBytes = false;
    QElapsedTimer clock;
};

inline FrameLog& Log()
{
    static FrameLog log;
    return log;
}

inline LRESULT RecordFrame(HWND window, VIDEOHDR* header)
{
    FrameLog& log = Log();
    if (!log.clock.isValid())
        log.clock.start();
    FrameLog::Entry e{window,
                      header->lpData,
                      header->dwBufferLength,
                      header->dwBytesUsed,
                      log.clock.nsecsElapsed(),
                      QThread::currentThread() == QApplication::instance()->thread(),
                      {}};
    if (log.keepBytes)
        e.bytes.assign(header->lpData, header->lpData + header->dwBufferLength);
    log.entries.push_back(std::move(e));
    return 1;
}

// Installs a library on a simulated machine for one test and takes it out
// again; messages for the user are collected instead of shown.
class SimulatedLibrary {
public:
    explicit SimulatedLibrary(std::vector<simv4l2::Camera> cameras = {}, std::uint64_t seed = 7)
        : system(std::move(cameras)), library(avicap::DriverCatalog(system, seed, &pipewire))
    {
        App();
        avicap::SetLibrary(&library);
        camera::SetMessageSink([this](const QString& text) { messages.push_back(text); });
        Log() = FrameLog{};
    }
    ~SimulatedLibrary()
    {
        avicap::SetLibrary(nullptr);
        camera::SetMessageSink({});
    }

    simv4l2::System system;
    // Reachable, with no cameras until a test adds some.
    simpwcam::Cameras pipewire;
    avicap::CatalogLibrary library;
    std::vector<QString> messages;
};

inline HWND MakeWindow(QWidget& parent)
{
    return capCreateCaptureWindowA("Video1", WS_CHILD | WS_VISIBLE, 0, 0, 320, 240, &parent, 5001);
}

} // namespace avicap_test
