#pragma once
// Inner loops of the frame step. Each writes len bytes:
//   corrected[i] = (o * frame[i] + d * history[i]) >> 7,  raw[i] = frame[i]
// with 0 < d < 128 and o = 128 - d. The variants give identical bytes.

#include <cstddef>
#include <cstdint>

namespace smooth {

using BlendFn = void (*)(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                         const std::uint8_t* history, std::size_t len, int o, int d);

void BlendPlain(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame, const std::uint8_t* history,
                std::size_t len, int o, int d);
void BlendSSE2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame, const std::uint8_t* history,
               std::size_t len, int o, int d);
void BlendAVX2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame, const std::uint8_t* history,
               std::size_t len, int o, int d);

} // namespace smooth
