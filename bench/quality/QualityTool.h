#pragma once
// stillwise-quality: how close each smoothing mode brings noisy frames to
// the clean ones, and what it costs per frame.
//
//   stillwise-quality --clean CLEAN --noisy NOISY [--size BxH] [--skip K]
//                     [--mode MODE]... [--ffmpeg] [--out MODE=FILE.y4m]...
//                     [--threads N]
//
// Prints one line per mode: "MODE PSNR dB MS ms". PSNR is over every byte of
// frames K.. (10 unless given) against CLEAN, capped at 99.99 dB (identical
// frames); MS is the mode's mean time per frame. Without --mode it runs
// plain:60, motion:60:24 and auto; --ffmpeg adds FFmpeg's four denoisers,
// tuned to the clip's noise level (the RMS of NOISY - CLEAN). --threads
// gives the automatic smoother N threads (1 unless given; the same bytes).

#include <ostream>
#include <string>
#include <vector>

namespace quality {

// Runs the tool on its arguments (without the program name). Results go to
// `out`, refusals and failures to `err`; answers the exit status.
int RunQualityTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace quality
