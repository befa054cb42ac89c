#pragma once
// The one door to the V4L2 devices: every system call the V4L2 driver and
// the catalog make goes through here, so a simulated device can stand in
// for a real one. Calls answer like the system calls they stand for
// (-1 or MAP_FAILED with errno set on failure).

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace camera {

class V4l2System {
public:
    virtual ~V4l2System() = default;

    // The video device nodes (/dev/video0, /dev/video1, ...) in numeric order.
    virtual std::vector<std::string> videoNodes() = 0;
    // What sysfs says of a node without opening it: "name", "index",
    // "driver" or "serial" (of a USB camera); empty when unknown.
    virtual std::string nodeAttribute(const std::string& node, const std::string& attribute) = 0;

    virtual int open(const std::string& path, int flags) = 0;
    virtual int close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    virtual void* mmap(std::size_t length, int prot, int flags, int fd, off_t offset) = 0;
    virtual int munmap(void* address, std::size_t length) = 0;
    // Like poll(2); `fds` may mix device descriptors with ordinary ones.
    virtual int poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;
    // Like write(2), for output nodes. A device that takes no writes answers
    // EINVAL, as a capture-only node does.
    virtual ssize_t write(int fd, const void* data, std::size_t size);
};

// The real system calls.
V4l2System& LinuxV4l2System();

} // namespace camera
