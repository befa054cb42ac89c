#pragma once
// The one Qt application of stillwise-bench. Benchmarks that need windows or
// pixmaps ask for it; whichever runs first makes it, on the offscreen
// platform unless another is set. The program's main ends it before Qt's own
// globals end.

#include <QApplication>

QApplication& BenchApplication();
