#pragma once
// Runs a clip through an FFmpeg filter graph: frames go to ffmpeg's input as
// raw BGR from a thread of their own while its output is read back, so
// neither pipe can stall the other.

#include "bench/quality/Clip.h"
#include "bench/quality/Metrics.h"

#include <string>

namespace quality {

// Whether an ffmpeg program can be started from PATH.
bool FfmpegAvailable();

// Runs `ffmpeg ... -vf GRAPH ...` on one thread over the noisy frames;
// `scorer` sees every output frame. Answers the wall time in milliseconds
// per frame, start of the program included. Throws Error when ffmpeg cannot
// be started, fails, or gives back another number of frames.
double RunFfmpeg(const std::string& graph, const Clip& noisy, Scorer& scorer);

} // namespace quality
