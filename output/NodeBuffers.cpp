#include "output/NodeBuffers.h"

#include "camera/v4l2/V4l2System.h"

#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace output {

namespace {

// The module shares its ring of buffers between us and every reader, and a
// reader that lags may be handed the slot two pictures back; with a ring of
// two that is the very slot the next picture goes into, so a reader that
// copies slowly sees it torn. Four give such a reader two picture times
// more. The module grants at most its max_buffers (two unless loaded with
// more, as the messages recommend).
constexpr std::uint32_t WantedBuffers = 4;
// More than this many are not used even when granted: the node gives back
// only buffers we handed it, so the others just stay with it.
constexpr std::uint32_t MostBuffers = 8;

v4l2_buffer outputBuffer(std::uint32_t index)
{
    v4l2_buffer buffer{};
    buffer.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    buffer.memory = V4L2_MEMORY_MMAP;
    buffer.index = index;
    return buffer;
}

} // namespace

bool NodeBuffers::map(camera::V4l2System& system, int fd, std::size_t frameBytes)
{
    clear();
    system_ = &system;
    fd_ = fd;
    frameBytes_ = frameBytes;
    v4l2_requestbuffers request{};
    request.count = WantedBuffers;
    request.type = V4L2_BUF_TYPE_VIDEO_OUTPUT;
    request.memory = V4L2_MEMORY_MMAP;
    if (system.ioctl(fd, VIDIOC_REQBUFS, &request) < 0 || request.count < 1)
        return false;
    for (std::uint32_t i = 0; i < std::min(request.count, MostBuffers); ++i) {
        v4l2_buffer buffer = outputBuffer(i);
        if (system.ioctl(fd, VIDIOC_QUERYBUF, &buffer) < 0 || buffer.length < frameBytes) {
            clear();
            return false;
        }
        void* address = system.mmap(buffer.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, buffer.m.offset);
        if (address == MAP_FAILED) {
            clear();
            return false;
        }
        maps_.emplace_back(system, address, buffer.length);
    }
    return true;
}

void NodeBuffers::clear()
{
    maps_.clear();
    fresh_ = 0;
    kept_ = -1;
}

int NodeBuffers::acquire()
{
    if (kept_ >= 0)
        return std::exchange(kept_, -1);
    if (fresh_ < maps_.size())
        return static_cast<int>(fresh_);
    v4l2_buffer buffer = outputBuffer(0);
    if (system_->ioctl(fd_, VIDIOC_DQBUF, &buffer) < 0)
        return -1;
    if (buffer.index >= maps_.size()) {
        errno = EINVAL;
        return -1;
    }
    return static_cast<int>(buffer.index);
}

int NodeBuffers::queue(int index)
{
    v4l2_buffer buffer = outputBuffer(static_cast<std::uint32_t>(index));
    buffer.bytesused = static_cast<std::uint32_t>(frameBytes_);
    buffer.field = V4L2_FIELD_NONE;
    if (system_->ioctl(fd_, VIDIOC_QBUF, &buffer) < 0) {
        kept_ = index;
        return -1;
    }
    if (static_cast<std::size_t>(index) == fresh_ && fresh_ < maps_.size())
        ++fresh_;
    return 0;
}

} // namespace output
