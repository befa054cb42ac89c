#pragma once
// A video call: a person's head and shoulders before a still room with a
// bright, blown-out window. The head is a textured ellipsoid seen in
// perspective-free projection: it turns a little, nods and tilts, so its
// surface moves non-rigidly (the middle of the face faster than its edges,
// the shading changing with the pose); the eyes blink and look about, the
// mouth opens and closes as in speech, the brows rise; the shoulders sway
// with the head and breathe. Everything is sized by the frame's height, so
// 176x144, 640x360 and 1280x720 show the same call.

#include "bench/quality/Clip.h"

#include <cstdint>

namespace quality {

Clip MakeCallScene(Size size, int frames, std::uint64_t seed);

} // namespace quality
