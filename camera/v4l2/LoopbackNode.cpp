#include "camera/v4l2/LoopbackNode.h"

#include "camera/v4l2/DeviceGone.h"
#include "camera/v4l2/NodeCatalog.h"
#include "camera/v4l2/V4l2System.h"
#include "camera/v4l2/V4l2Text.h"

#include <cerrno>
#include <cstring>
#include <mutex>

namespace camera {

namespace {

std::mutex ownNodeMutex;
std::string ownNode;

} // namespace

bool IsLoopbackDriver(const v4l2_capability& cap)
{
    return FieldText(cap.driver, sizeof cap.driver) == "v4l2 loopback";
}

void LoopbackChoice::consider(const std::string& node, const v4l2_capability& cap)
{
    if (!IsLoopbackDriver(cap))
        return;
    if (labelled_.node.empty() && FieldText(cap.card, sizeof cap.card) == LoopbackCardLabel) {
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
    if (labelled_.node.empty() && label == LoopbackCardLabel && !DeviceGone(error))
        labelled_ = {node, error};
}

LoopbackNode FindLoopbackNode(V4l2System& system)
{
    LoopbackChoice choice;
    for (const NodeLook& look : LookAtNodes(system)) {
        if (look.openError != 0)
            choice.considerClosed(look.node, system.nodeAttribute(look.node, "name"), look.openError);
        else if (look.answered)
            choice.consider(look.node, look.cap);
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

} // namespace camera
