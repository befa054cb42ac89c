#pragma once
// What the device test programs share: one application object for the whole
// program, and waiting on it while its events (frames, device notices) run.

#include <QApplication>
#include <QElapsedTimer>

#include <functional>

namespace device_test {

inline QApplication& app()
{
    static int argc = 1;
    static char name[] = "stillwise_device_test";
    static char* argv[] = {name, nullptr};
    static QApplication instance(argc, argv);
    return instance;
}

// Runs events until done() holds or ms milliseconds have passed; answers done().
inline bool spinUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline void spinFor(int ms)
{
    spinUntil([] { return false; }, ms);
}

} // namespace device_test
