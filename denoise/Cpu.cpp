#include "denoise/Cpu.h"

#include "records/CpuFeatures.h"

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

std::vector<Path> SupportedPaths()
{
    std::vector<Path> paths{Path::Plain, Path::SSE2};
    if (cpu::HasAVX2())
        paths.push_back(Path::AVX2);
    return paths;
}

Path BestPath()
{
    return cpu::HasAVX2() ? Path::AVX2 : Path::SSE2;
}

} // namespace denoise
