#include "platform/avicap/LoopbackNode.h"

#include "platform/avicap/V4l2System.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <mutex>

namespace avicap {

namespace {

std::string fieldText(const __u8* field, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(field), strnlen(reinterpret_cast<const char*>(field), size));
}

std::mutex ownNodeMutex;
std::string ownNode;

} // namespace

bool IsLoopbackDriver(const v4l2_capability& cap)
{
    return fieldText(cap.driver, sizeof cap.driver) == "v4l2 loopback";
}

void LoopbackChoice::consider(const std::string& node, const v4l2_capability& cap)
{
    if (!IsLoopbackDriver(cap))
        return;
    if (labelled_.node.empty() && fieldText(cap.card, sizeof cap.card) == LoopbackCardLabel) {
        labelled_ = {node, 0};
        return;
    }
    // With exclusive_caps a node that a writer feeds shows capture only; the
    // one we feed ourselves still counts as our output node.
    const std::uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (first_.node.empty() && ((caps & V4L2_CAP_VIDEO_OUTPUT) || node == OwnOutputNode()))
        first_ = {node, 0};
}

void LoopbackChoice::considerClosed(const std::string& node, const std::string& label, int error)
{
    // Without opening it, only the label tells a loopback node apart.
    if (labelled_.node.empty() && label == LoopbackCardLabel && error != ENOENT && error != ENODEV)
        labelled_ = {node, error};
}

LoopbackNode FindLoopbackNode(V4l2System& system)
{
    LoopbackChoice choice;
    for (const std::string& node : system.videoNodes()) {
        const int fd = system.open(node, O_RDWR | O_NONBLOCK);
        if (fd < 0) {
            const int error = errno;
            choice.considerClosed(node, system.nodeAttribute(node, "name"), error);
            continue;
        }
        v4l2_capability cap{};
        const bool known = system.ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
        system.close(fd);
        if (known)
            choice.consider(node, cap);
    }
    return choice.chosen();
}

void SetOwnOutputNode(const std::string& node)
{
    std::lock_guard lock(ownNodeMutex);
    ownNode = node;
}

std::string OwnOutputNode()
{
    std::lock_guard lock(ownNodeMutex);
    return ownNode;
}

} // namespace avicap
