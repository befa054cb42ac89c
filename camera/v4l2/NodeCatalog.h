#pragma once
// The one place where this program opens a V4L2 node: cameras to stream
// from, the node list behind the driver slots, the loopback node of the
// virtual webcam. Every node is opened the same way (read-write, never
// blocking) and asked what it is straight away.

#include "camera/v4l2/DeviceHandles.h"

#include <linux/videodev2.h>

#include <string>
#include <vector>

namespace camera {

class V4l2System;

struct OpenedNode {
    DeviceFd fd;           // empty when the node did not open or did not answer
    v4l2_capability cap{}; // valid when fd is
    int openError = 0;     // errno of the open; 0 when it opened
    int queryError = 0;    // errno of VIDIOC_QUERYCAP; 0 when it answered
};

OpenedNode OpenNode(V4l2System& system, const std::string& node);

// What one look at a node found; the node is closed again.
struct NodeLook {
    std::string node;
    bool answered = false; // opened and answered QUERYCAP
    v4l2_capability cap{}; // when answered
    int openError = 0;     // when it did not open
};

// Every video node, in node order.
std::vector<NodeLook> LookAtNodes(V4l2System& system);

} // namespace camera
