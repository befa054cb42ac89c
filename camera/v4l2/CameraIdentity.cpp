#include "camera/v4l2/CameraIdentity.h"

#include <cstring>

namespace camera {

namespace {

std::string field(const __u8* bytes, std::size_t size)
{
    const auto* text = reinterpret_cast<const char*>(bytes);
    return std::string(text, strnlen(text, size));
}

} // namespace

std::string CameraIdentity(const v4l2_capability& cap, const std::string& serial)
{
    const std::string card = field(cap.card, sizeof cap.card);
    if (!serial.empty())
        return card + " #" + serial;
    return card + " @" + field(cap.bus_info, sizeof cap.bus_info);
}

} // namespace camera
