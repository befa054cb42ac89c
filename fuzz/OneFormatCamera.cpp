#include "fuzz/OneFormatCamera.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstring>

namespace fuzz {

namespace {

int fail(int error)
{
    errno = error;
    return -1;
}

} // namespace

int OneFormatCamera::ioctl(int fd, unsigned long request, void* arg)
{
    if (fd != Fd)
        return fail(EBADF);
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* cap = static_cast<v4l2_capability*>(arg);
        *cap = {};
        std::strcpy(reinterpret_cast<char*>(cap->driver), "fuzzcam");
        std::strcpy(reinterpret_cast<char*>(cap->card), "Fuzz camera");
        std::strcpy(reinterpret_cast<char*>(cap->bus_info), "platform:fuzz");
        cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        cap->capabilities = cap->device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* f = static_cast<v4l2_fmtdesc*>(arg);
        if (f->index != 0 || f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return fail(EINVAL);
        f->pixelformat = answer_.pixelformat;
        f->flags = 0;
        std::strcpy(reinterpret_cast<char*>(f->description), "fuzzed");
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* s = static_cast<v4l2_frmsizeenum*>(arg);
        if (s->index != 0 || s->pixel_format != answer_.pixelformat)
            return fail(EINVAL);
        s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s->discrete = {answer_.width, answer_.height};
        return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT: {
        auto* f = static_cast<v4l2_format*>(arg);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return fail(EINVAL);
        f->fmt.pix = answer_;
        return 0;
    }
    default:
        // Controls, rates, buffers: a camera without any.
        return fail(request == VIDIOC_QUERYCTRL || request == VIDIOC_G_PARM ? EINVAL : ENOTTY);
    }
}

void* OneFormatCamera::mmap(std::size_t, int, int, int, off_t)
{
    errno = EINVAL;
    return MAP_FAILED;
}

int OneFormatCamera::munmap(void*, std::size_t)
{
    return fail(EINVAL);
}

int OneFormatCamera::poll(pollfd*, nfds_t, int)
{
    return fail(EINVAL);
}

} // namespace fuzz
