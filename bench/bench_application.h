#pragma once
// The one Qt application of stillwise-bench. Benchmarks that need windows or
// pixmaps ask for it; whichever runs first makes it, on the offscreen
// platform unless another is set.

#include <QApplication>

inline QApplication& BenchApplication()
{
    static int argc = 1;
    static char name[] = "stillwise-bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(argc, argv);
    return app;
}
