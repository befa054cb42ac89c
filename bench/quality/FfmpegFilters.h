#pragma once
// FFmpeg's denoisers as reference points, by the names the table uses.

#include <string>
#include <vector>

namespace quality {

// hqdn3d at six settings: its defaults (4:3:6:4.5), hqdn3d-4 (4:3:10:8),
// hqdn3d-strong (6:4.5:14:11, also called hqdn3d-6), hqdn3d-8 (8:6:20:15),
// hqdn3d-12 (12:9:30:22) and hqdn3d-16 (16:12:40:30); fftdnoiz; nlmeans.
const std::vector<std::string>& FfmpegFilterNames();
bool IsFfmpegFilter(const std::string& name);

// The filter graph for a clip whose noise level (standard deviation over
// its BGR bytes) is `sigma`: fftdnoiz gets sigma and the previous frame only
// (a live filter could not look ahead), nlmeans half of it (within its 1..30).
std::string FfmpegFilterGraph(const std::string& name, double sigma);

} // namespace quality
