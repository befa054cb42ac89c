#pragma once
// Which v4l2loopback node the virtual webcam writes into. The same choice
// hides that node from the capture drivers, so the program never reads its
// own output: a node whose card label is "Stillwise" if there is one, else
// the first loopback node that takes output.

#include <linux/videodev2.h>

#include <string>

namespace camera {

class V4l2System;

// The card label that marks the node meant for this program.
inline constexpr const char* LoopbackCardLabel = "Stillwise";

struct LoopbackNode {
    std::string node;  // empty: no loopback node on this machine
    int openError = 0; // errno of a node that exists but cannot be opened
};

// Collects the nodes one look at the devices sees and picks one.
class LoopbackChoice {
public:
    // A node that opened and answered QUERYCAP.
    void consider(const std::string& node, const v4l2_capability& cap);
    // A node that did not open; `label` is its name from sysfs.
    void considerClosed(const std::string& node, const std::string& label, int error);

    const LoopbackNode& chosen() const { return labelled_.node.empty() ? first_ : labelled_; }

private:
    LoopbackNode labelled_;
    LoopbackNode first_;
};

bool IsLoopbackDriver(const v4l2_capability& cap);

// Opens every video node once and picks the output node.
LoopbackNode FindLoopbackNode(V4l2System& system);

// The node this program is writing into just now (empty when none). While
// a writer streams, a loopback node may announce itself as capture only;
// remembering it keeps the choice steady.
void SetOwnOutputNode(const std::string& node);
std::string OwnOutputNode();

} // namespace camera
