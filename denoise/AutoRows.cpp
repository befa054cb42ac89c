#include "denoise/AutoRows.h"

namespace denoise::autorows {

const Kernels& KernelsFor(Path p)
{
    switch (p) {
    case Path::Plain:
        return kPlain;
    case Path::SSE2:
        return kSSE2;
    case Path::AVX2:
        return kAVX2;
    }
    return kPlain;
}

} // namespace denoise::autorows
