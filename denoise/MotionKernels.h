#pragma once
// Inner loops of the blend that spares movement. For each pixel (three bytes)
// of the range:
//
//   moving = max over its 3 bytes of |frame - history| > threshold
//   corrected = moving ? frame : (o * frame + d * history) >> 7   (each byte)
//   raw = frame
//
// The whole pixel is taken from the frame or blended, never some of its bytes,
// so a moving edge shows no colour fringes. d lies in 0..128 with o = 128 - d;
// threshold in 0..254. The variants give identical bytes.

#include "denoise/Cpu.h"

#include <cstddef>
#include <cstdint>

namespace denoise {

using MotionBlendFn = void (*)(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                               const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold);

void MotionBlendPlain(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                      const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold);
void MotionBlendSSE2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                     const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold);
void MotionBlendAVX2(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame,
                     const std::uint8_t* history, std::size_t pixels, int o, int d, int threshold);
MotionBlendFn MotionBlendFor(Path p);

} // namespace denoise
