#pragma once
// The capture library of this machine: V4L2 devices, then the test camera.

#include "platform/avicap/CaptureApi.h"

namespace avicap {

Library& SystemLibrary();

} // namespace avicap
