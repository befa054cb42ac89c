#include "denoise/Cpu.h"

namespace denoise {

const char* PathName(Path p)
{
    switch (p) {
    case Path::Plain:
        return "plain";
    case Path::SSE2:
        return "sse2";
    case Path::AVX2:
        return "avx2";
    }
    return "?";
}

bool CpuHasAVX2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

std::vector<Path> SupportedPaths()
{
    std::vector<Path> paths{Path::Plain, Path::SSE2};
    if (CpuHasAVX2())
        paths.push_back(Path::AVX2);
    return paths;
}

Path BestPath()
{
    return CpuHasAVX2() ? Path::AVX2 : Path::SSE2;
}

} // namespace denoise
