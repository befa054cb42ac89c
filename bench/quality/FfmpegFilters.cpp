#include "bench/quality/FfmpegFilters.h"

#include <algorithm>
#include <cstdio>

namespace quality {

namespace {

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

} // namespace

const std::vector<std::string>& FfmpegFilterNames()
{
    static const std::vector<std::string> names{"hqdn3d",    "hqdn3d-4",  "hqdn3d-strong", "hqdn3d-8",
                                                "hqdn3d-12", "hqdn3d-16", "fftdnoiz",      "nlmeans"};
    return names;
}

bool IsFfmpegFilter(const std::string& name)
{
    const auto& names = FfmpegFilterNames();
    return std::find(names.begin(), names.end(), name) != names.end() || name == "hqdn3d-6";
}

std::string FfmpegFilterGraph(const std::string& name, double sigma)
{
    if (name == "hqdn3d")
        return "hqdn3d";
    // hqdn3d's luma spatial : chroma spatial : luma temporal : chroma
    // temporal, from mild to strong; the table takes the best per clip, as
    // someone tuning it by hand for that clip would.
    if (name == "hqdn3d-4")
        return "hqdn3d=4:3:10:8";
    if (name == "hqdn3d-strong" || name == "hqdn3d-6")
        return "hqdn3d=6:4.5:14:11";
    if (name == "hqdn3d-8")
        return "hqdn3d=8:6:20:15";
    if (name == "hqdn3d-12")
        return "hqdn3d=12:9:30:22";
    if (name == "hqdn3d-16")
        return "hqdn3d=16:12:40:30";
    if (name == "fftdnoiz")
        return "fftdnoiz=sigma=" + number(std::clamp(sigma, 0.0, 100.0)) + ":prev=1:next=0";
    return "nlmeans=s=" + number(std::clamp(sigma / 2, 1.0, 30.0));
}

} // namespace quality
