#pragma once
// FFmpeg's denoisers as reference points, by the names the table uses.

#include <string>
#include <vector>

namespace quality {

// hqdn3d (its defaults), hqdn3d-strong, fftdnoiz, nlmeans.
const std::vector<std::string>& FfmpegFilterNames();
bool IsFfmpegFilter(const std::string& name);

// The filter graph for a clip whose noise level (standard deviation over
// its BGR bytes) is `sigma`: fftdnoiz gets sigma and the previous frame only
// (a live filter could not look ahead), nlmeans half of it (within its 1..30).
std::string FfmpegFilterGraph(const std::string& name, double sigma);

} // namespace quality
