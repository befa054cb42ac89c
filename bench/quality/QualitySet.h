#pragma once
// stillwise-quality-set: writes the quality clips into a folder.
//
//   stillwise-quality-set DIR [--size BxH] [--frames N] [--scene NAME]... [--noise NAME]...
//   stillwise-quality-set --list | --version
//
// For each scene (all unless named) DIR/SCENE.clean.bgr and one
// DIR/SCENE.NOISE.bgr per noise (gauss4, gauss8, gauss15, cam8, cam15 unless
// named): raw BGR frames, top-down, of the size given (640x360 unless
// given), N frames (60 unless given). Fixed seeds: the same files each time.
// --list prints the scene names and then the noise names, one line each;
// --version the generator's version, which changes whenever its clips do.

#include "bench/quality/Noise.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quality {

const std::vector<std::string>& DefaultNoises();

// The seed of one noisy clip: from the scene's and the noise's names, so a
// clip is the same whatever else is made with it.
std::uint64_t NoiseSeed(const std::string& scene, const std::string& noise);

int RunQualitySet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quality
