#pragma once
// The simulated v4l2loopback node of the tests (tests/output), with a
// script of lies and faults put between it and the virtual camera: the
// next S_FMT answer, buffer count, buffer length or dequeued index can be
// anything, the next QBUF, DQBUF, write or mmap can fail, and the node can
// vanish. The node underneath keeps the module's habits and its books of
// descriptors and mappings, which must all come back.

#include "camera/v4l2/V4l2System.h"
#include "tests/output/SimulatedLoopback.h"

#include <cstdint>
#include <optional>

namespace fuzz {

// Which fields of the S_FMT answer a lie replaces.
enum FormatLie : std::uint8_t {
    LieWidth = 1,
    LieHeight = 2,
    LieBytesPerLine = 4,
    LieSizeImage = 8,
    LiePixelFormat = 16,
};

struct Lies {
    std::uint8_t formatFields = 0; // FormatLie bits
    v4l2_pix_format format{};
    std::optional<std::uint32_t> bufferCount;  // REQBUFS
    std::optional<std::uint32_t> bufferLength; // QUERYBUF
    std::optional<std::uint32_t> dequeued;     // DQBUF's index
    int queueErrno = 0;                        // QBUF
    int dequeueErrno = 0;                      // DQBUF
    int writeErrno = 0;                        // write()
    bool mmapFails = false;
};

class LyingLoopback final : public camera::V4l2System {
public:
    explicit LyingLoopback(simloop::Node node) : inner_({std::move(node)}) {}

    simloop::System& inner() { return inner_; }
    simloop::Node& node() { return inner_.node(0); }
    // Each lie is told once, to the next request of its kind.
    Lies& next() { return lies_; }

    std::vector<std::string> videoNodes() override { return inner_.videoNodes(); }
    std::string nodeAttribute(const std::string& node, const std::string& attribute) override
    {
        return inner_.nodeAttribute(node, attribute);
    }
    int open(const std::string& path, int flags) override { return inner_.open(path, flags); }
    int close(int fd) override { return inner_.close(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override;
    ssize_t write(int fd, const void* data, std::size_t size) override;
    void* mmap(std::size_t length, int prot, int flags, int fd, off_t offset) override;
    int munmap(void* address, std::size_t length) override { return inner_.munmap(address, length); }
    int poll(pollfd* fds, nfds_t count, int timeoutMs) override { return inner_.poll(fds, count, timeoutMs); }

private:
    simloop::System inner_;
    Lies lies_;
};

} // namespace fuzz
