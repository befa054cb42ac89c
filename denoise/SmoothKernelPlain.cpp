#include "denoise/SmoothKernels.h"

namespace smooth {

void BlendPlain(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame, const std::uint8_t* history,
                std::size_t len, int o, int d)
{
    const std::uint32_t wo = static_cast<std::uint32_t>(o);
    const std::uint32_t wd = static_cast<std::uint32_t>(d);
    for (std::size_t i = 0; i < len; ++i) {
        const std::uint32_t f = frame[i];
        raw[i] = static_cast<std::uint8_t>(f);
        corrected[i] = static_cast<std::uint8_t>((wo * f + wd * history[i]) >> 7);
    }
}

} // namespace smooth
