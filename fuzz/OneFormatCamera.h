#pragma once
// A camera that exists only for libv4lconvert's questions: it offers one
// pixel format at one size and answers every format request with the
// format the fuzz input holds, however absurd. It streams nothing; the
// frame conversion target hands the converter its frames itself.

#include "camera/v4l2/V4l2System.h"

#include <linux/videodev2.h>

namespace fuzz {

class OneFormatCamera final : public camera::V4l2System {
public:
    // Not a descriptor the process has open, so that libv4lconvert's own
    // look at the device (fstat, sysfs) finds nothing.
    static constexpr int Fd = 9999;

    explicit OneFormatCamera(const v4l2_pix_format& answer) : answer_(answer) {}

    std::vector<std::string> videoNodes() override { return {"/dev/video0"}; }
    std::string nodeAttribute(const std::string&, const std::string&) override { return {}; }
    int open(const std::string&, int) override { return Fd; }
    int close(int) override { return 0; }
    int ioctl(int fd, unsigned long request, void* arg) override;
    void* mmap(std::size_t, int, int, int, off_t) override;
    int munmap(void*, std::size_t) override;
    int poll(pollfd*, nfds_t, int) override;

private:
    v4l2_pix_format answer_;
};

} // namespace fuzz
