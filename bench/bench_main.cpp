// The entry of stillwise-bench. It ends the Qt application itself, before
// returning: left to static destruction, the application would outlive Qt's
// own globals (the input device list among them) and crash the program on
// its way out, after a run that showed a window.

#include "bench_application.h"

#include <benchmark/benchmark.h>

#include <optional>

namespace {

std::optional<QApplication> application;

} // namespace

QApplication& BenchApplication()
{
    static int argc = 1;
    static char name[] = "stillwise-bench";
    static char* argv[] = {name, nullptr};
    if (!application) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application.emplace(argc, argv);
    }
    return *application;
}

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    application.reset();
    return 0;
}
