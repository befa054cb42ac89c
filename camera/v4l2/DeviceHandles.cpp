#include "camera/v4l2/DeviceHandles.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace camera {

WakeFd::WakeFd() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeFd::~WakeFd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void WakeFd::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(fd_, &one, sizeof one);
}

} // namespace camera
