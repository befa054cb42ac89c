#pragma once
// The one rule for "the device is gone": the node was removed (unplugged,
// driver unbound, module unloaded) or our descriptor no longer names a
// device. Every other error is the device's answer and may pass.

#include <cerrno>

namespace camera {

inline bool DeviceGone(int error)
{
    return error == ENODEV || error == ENXIO || error == ENOENT || error == EBADF;
}

} // namespace camera
