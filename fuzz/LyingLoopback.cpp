#include "fuzz/LyingLoopback.h"

#include <sys/mman.h>

#include <cerrno>
#include <utility>

namespace fuzz {

namespace {

int fail(int error)
{
    errno = error;
    return -1;
}

} // namespace

int LyingLoopback::ioctl(int fd, unsigned long request, void* arg)
{
    switch (request) {
    case VIDIOC_QBUF:
        if (const int error = std::exchange(lies_.queueErrno, 0))
            return fail(error);
        break;
    case VIDIOC_DQBUF:
        if (const int error = std::exchange(lies_.dequeueErrno, 0))
            return fail(error);
        break;
    default:
        break;
    }
    const int result = inner_.ioctl(fd, request, arg);
    if (result < 0)
        return result;
    switch (request) {
    case VIDIOC_S_FMT: {
        v4l2_pix_format& pix = static_cast<v4l2_format*>(arg)->fmt.pix;
        const std::uint8_t fields = std::exchange(lies_.formatFields, 0);
        if (fields & LieWidth)
            pix.width = lies_.format.width;
        if (fields & LieHeight)
            pix.height = lies_.format.height;
        if (fields & LieBytesPerLine)
            pix.bytesperline = lies_.format.bytesperline;
        if (fields & LieSizeImage)
            pix.sizeimage = lies_.format.sizeimage;
        if (fields & LiePixelFormat)
            pix.pixelformat = lies_.format.pixelformat;
        break;
    }
    case VIDIOC_REQBUFS:
        if (const auto count = std::exchange(lies_.bufferCount, std::nullopt))
            static_cast<v4l2_requestbuffers*>(arg)->count = *count;
        break;
    case VIDIOC_QUERYBUF:
        if (const auto length = std::exchange(lies_.bufferLength, std::nullopt))
            static_cast<v4l2_buffer*>(arg)->length = *length;
        break;
    case VIDIOC_DQBUF:
        if (const auto index = std::exchange(lies_.dequeued, std::nullopt))
            static_cast<v4l2_buffer*>(arg)->index = *index;
        break;
    default:
        break;
    }
    return result;
}

ssize_t LyingLoopback::write(int fd, const void* data, std::size_t size)
{
    if (const int error = std::exchange(lies_.writeErrno, 0))
        return fail(error);
    return inner_.write(fd, data, size);
}

void* LyingLoopback::mmap(std::size_t length, int prot, int flags, int fd, off_t offset)
{
    if (std::exchange(lies_.mmapFails, false)) {
        errno = ENOMEM;
        return MAP_FAILED;
    }
    return inner_.mmap(length, prot, flags, fd, offset);
}

} // namespace fuzz
