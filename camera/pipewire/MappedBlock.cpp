#include "camera/pipewire/MappedBlock.h"

#include <linux/dma-buf.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <utility>

namespace camera {

MappedBlock::MappedBlock(int fd, std::uint32_t offset, std::uint32_t size)
{
    if (fd < 0 || size == 0)
        return;
    const auto page = static_cast<std::uint32_t>(::sysconf(_SC_PAGESIZE));
    const std::uint32_t start = offset - offset % page;
    skip_ = offset - start;
    length_ = skip_ + size;
    void* base = ::mmap(nullptr, length_, PROT_READ, MAP_SHARED, fd, static_cast<off_t>(start));
    if (base == MAP_FAILED)
        return;
    base_ = base;
    fd_ = fd;
}

MappedBlock::MappedBlock(MappedBlock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), base_(std::exchange(other.base_, nullptr)),
      length_(std::exchange(other.length_, 0)), skip_(std::exchange(other.skip_, 0))
{}

MappedBlock& MappedBlock::operator=(MappedBlock&& other) noexcept
{
    if (this != &other) {
        unmap();
        fd_ = std::exchange(other.fd_, -1);
        base_ = std::exchange(other.base_, nullptr);
        length_ = std::exchange(other.length_, 0);
        skip_ = std::exchange(other.skip_, 0);
    }
    return *this;
}

MappedBlock::~MappedBlock()
{
    unmap();
}

void MappedBlock::unmap()
{
    if (base_ != nullptr)
        ::munmap(base_, length_);
    base_ = nullptr;
}

void MappedBlock::beginRead() const
{
    dma_buf_sync sync{DMA_BUF_SYNC_START | DMA_BUF_SYNC_READ};
    if (base_ != nullptr)
        ::ioctl(fd_, DMA_BUF_IOCTL_SYNC, &sync);
}

void MappedBlock::endRead() const
{
    dma_buf_sync sync{DMA_BUF_SYNC_END | DMA_BUF_SYNC_READ};
    if (base_ != nullptr)
        ::ioctl(fd_, DMA_BUF_IOCTL_SYNC, &sync);
}

} // namespace camera
