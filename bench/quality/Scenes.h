#pragma once
// Clean clips for judging the smoothing: natural-looking pictures (textures
// with the 1/f spectrum of real scenes, hard edges, text-like strokes,
// smooth gradients, a dark low-contrast corner, the test camera's own scene)
// filmed in the ways a webcam is used. Fixed seeds: the same clip every time.
//
//   still    a still camera
//   subject  a textured subject moving in front of a still background, its
//            pattern turning and bending as it goes
//   pan      a slow pan, 0.7 px a frame across and 0.25 down
//   shake    a hand-held camera: a few pixels of random jitter
//   light    a still camera while the light fades, then jumps up
//   dark     a dark, low-contrast scene with a slow subject
//   testcam  the built-in test camera's picture, its square moving
//   face     a video call: head and shoulders that turn, nod, blink and
//            speak before a still room with a blown-out window (CallScene.h)
//
// Every picture but the test camera's has fine texture all over, as real
// footage has.

#include "bench/quality/Clip.h"

#include <string>
#include <vector>

namespace quality {

const std::vector<std::string>& SceneNames();

// Throws Error for an unknown name.
Clip MakeScene(const std::string& name, Size size, int frames);

} // namespace quality
