#include "camera/pipewire/PipeWireCameras.h"

namespace camera {

// node.name is what a publisher (or the session manager, for a device it
// found) names the node every time; the registry id is new each time.
std::string PipeWireIdentity(const PipeWireNode& node)
{
    return node.name.empty() ? std::string() : "pipewire:" + node.name;
}

} // namespace camera
