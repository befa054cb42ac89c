#pragma once
// The output node's own frame buffers, mapped into our memory, so that a
// picture is converted straight into the memory the readers take it from:
// no copy per frame, as a write() would make. A node that lends no buffers
// is written to instead; the caller decides that by map()'s answer.

#include "camera/v4l2/DeviceHandles.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace output {

class NodeBuffers {
public:
    NodeBuffers() = default;
    NodeBuffers(const NodeBuffers&) = delete;
    NodeBuffers& operator=(const NodeBuffers&) = delete;

    // Asks the output node on `fd` for its buffers and maps them. False
    // (nothing kept) when it lends none, or none that hold `frameBytes`.
    bool map(camera::V4l2System& system, int fd, std::size_t frameBytes);
    // Unmaps them. A mapping holds the node like an open descriptor does
    // (it keeps its format, and the module loaded), so they go together.
    void clear();

    bool empty() const { return maps_.empty(); }
    std::size_t count() const { return maps_.size(); }
    std::uint8_t* data(std::size_t index) { return maps_[index].data(); }

    // The buffer the next picture goes into: each one once, then those the
    // node gives back. -1 with errno set when it gives none back (EAGAIN
    // when it has none free just now) or fails.
    int acquire();
    // Hands buffer `index`, filled, to the readers. -1 with errno set on
    // failure; the buffer is then still ours, and the next acquire() gives it.
    int queue(int index);

private:
    camera::V4l2System* system_ = nullptr;
    int fd_ = -1;
    std::vector<camera::Mapping> maps_;
    std::size_t frameBytes_ = 0;
    std::size_t fresh_ = 0; // buffers 0..fresh_-1 have been handed over
    int kept_ = -1;         // a buffer the node did not take back
};

} // namespace output
