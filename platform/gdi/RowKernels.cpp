#include "platform/gdi/RowKernels.h"

#include "records/CpuFeatures.h"

namespace gdi {

void Bgr24RowPlain(const std::uint8_t* from, std::uint32_t* to, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, from += 3)
        to[i] = 0xff000000u | (std::uint32_t{from[2]} << 16) | (std::uint32_t{from[1]} << 8) | from[0];
}

namespace {

struct PathState {
    RowPath path;
    Bgr24RowFn fn;
};

Bgr24RowFn functionFor(RowPath path)
{
    switch (path) {
    case RowPath::AVX2:
        return Bgr24RowAVX2;
    case RowPath::SSSE3:
        return Bgr24RowSSSE3;
    case RowPath::Plain:
        break;
    }
    return Bgr24RowPlain;
}

PathState& state()
{
    static PathState s = [] {
        RowPath best = RowPath::Plain;
        if (RowPathSupported(RowPath::AVX2))
            best = RowPath::AVX2;
        else if (RowPathSupported(RowPath::SSSE3))
            best = RowPath::SSSE3;
        return PathState{best, functionFor(best)};
    }();
    return s;
}

} // namespace

bool RowPathSupported(RowPath path)
{
    switch (path) {
    case RowPath::Plain:
        return true;
    case RowPath::SSSE3:
        return cpu::HasSSSE3();
    case RowPath::AVX2:
        return cpu::HasAVX2();
    }
    return false;
}

Bgr24RowFn Bgr24Row()
{
    return state().fn;
}

RowPath CurrentRowPath()
{
    return state().path;
}

bool SetRowPath(RowPath path)
{
    if (!RowPathSupported(path))
        return false;
    state() = PathState{path, functionFor(path)};
    return true;
}

} // namespace gdi
