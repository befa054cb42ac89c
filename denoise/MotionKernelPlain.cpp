#include "denoise/MotionKernels.h"

#include <algorithm>
#include <cstdlib>

namespace denoise {

void MotionBlendPlain(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                      const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold)
{
    const std::uint32_t wo = static_cast<std::uint32_t>(o);
    const std::uint32_t wd = static_cast<std::uint32_t>(d);
    for (std::size_t p = 0; p < pixels * 3; p += 3) {
        int largest = 0;
        for (std::size_t i = p; i < p + 3; ++i)
            largest = std::max(largest, std::abs(int(frame[i]) - int(history[i])));
        const bool moving = largest > threshold;
        for (std::size_t i = p; i < p + 3; ++i) {
            const std::uint32_t f = frame[i];
            raw[i] = static_cast<std::uint8_t>(f);
            corrected[i] = moving ? static_cast<std::uint8_t>(f)
                                  : static_cast<std::uint8_t>((wo * f + wd * history[i]) >> 7);
        }
    }
}

MotionBlendFn MotionBlendFor(Path p)
{
    switch (p) {
    case Path::AVX2:
        return MotionBlendAVX2;
    case Path::SSE2:
        return MotionBlendSSE2;
    case Path::Plain:
        break;
    }
    return MotionBlendPlain;
}

} // namespace denoise
