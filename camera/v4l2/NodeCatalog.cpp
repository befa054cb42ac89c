#include "camera/v4l2/NodeCatalog.h"

#include "camera/v4l2/V4l2System.h"

#include <fcntl.h>

#include <cerrno>

namespace camera {

OpenedNode OpenNode(V4l2System& system, const std::string& node)
{
    OpenedNode opened;
    const int fd = system.open(node, O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        opened.openError = errno;
        return opened;
    }
    DeviceFd owner(system, fd);
    if (system.ioctl(fd, VIDIOC_QUERYCAP, &opened.cap) < 0) {
        opened.queryError = errno;
        return opened;
    }
    opened.fd = std::move(owner);
    return opened;
}

std::vector<NodeLook> LookAtNodes(V4l2System& system)
{
    std::vector<NodeLook> looks;
    for (const std::string& node : system.videoNodes()) {
        OpenedNode opened = OpenNode(system, node);
        NodeLook look;
        look.node = node;
        look.answered = static_cast<bool>(opened.fd);
        look.cap = opened.cap;
        look.openError = opened.openError;
        looks.push_back(std::move(look));
    }
    return looks;
}

} // namespace camera
