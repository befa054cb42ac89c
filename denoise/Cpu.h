#pragma once
// Which vector instructions the kernels of this folder may use. SSE2 is part
// of every x86-64 processor; AVX2 is asked of the processor once.

#include <vector>

namespace denoise {

enum class Path { Plain, SSE2, AVX2 };

const char* PathName(Path p);
std::vector<Path> SupportedPaths();
// The fastest path the processor has.
Path BestPath();

} // namespace denoise
