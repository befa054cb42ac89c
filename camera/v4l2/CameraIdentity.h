#pragma once
// Who a camera is, independent of the node number it got this time: its
// card name with its serial number where the device has one, else with
// where it is plugged in (bus info). The same camera on the same port keeps
// its identity across unplugging and restarts.

#include <linux/videodev2.h>

#include <string>

namespace camera {

std::string CameraIdentity(const v4l2_capability& cap, const std::string& serial);

} // namespace camera
