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
    static const std::vector<std::string> names{"hqdn3d", "hqdn3d-strong", "fftdnoiz", "nlmeans"};
    return names;
}

bool IsFfmpegFilter(const std::string& name)
{
    const auto& names = FfmpegFilterNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string FfmpegFilterGraph(const std::string& name, double sigma)
{
    if (name == "hqdn3d")
        return "hqdn3d";
    if (name == "hqdn3d-strong")
        return "hqdn3d=6:4.5:14:11";
    if (name == "fftdnoiz")
        return "fftdnoiz=sigma=" + number(std::clamp(sigma, 0.0, 100.0)) + ":prev=1:next=0";
    return "nlmeans=s=" + number(std::clamp(sigma / 2, 1.0, 30.0));
}

} // namespace quality
