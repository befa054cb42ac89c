#pragma once
// A DMA-BUF block of a PipeWire buffer, mapped for reading. libpipewire
// 0.3.65 maps only MemFd blocks for a stream; a V4L2 node that another
// reader made export DMA-BUF shares those blocks with every reader, and
// this is how we read them. The descriptor stays PipeWire's: it is valid
// until the buffer is removed, and the mapping must go before.

#include <cstddef>
#include <cstdint>

namespace camera {

class MappedBlock {
public:
    MappedBlock() = default;
    // Maps `size` bytes at `offset` of `fd`; an empty block when the
    // descriptor cannot be mapped.
    MappedBlock(int fd, std::uint32_t offset, std::uint32_t size);
    MappedBlock(MappedBlock&& other) noexcept;
    MappedBlock& operator=(MappedBlock&& other) noexcept;
    MappedBlock(const MappedBlock&) = delete;
    MappedBlock& operator=(const MappedBlock&) = delete;
    ~MappedBlock();

    explicit operator bool() const { return base_ != nullptr; }
    const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(base_) + skip_; }

    // Bracket reading, so that the processor sees what the device wrote
    // (DMA-BUF's cache rule).
    void beginRead() const;
    void endRead() const;

private:
    void unmap();

    int fd_ = -1;
    void* base_ = nullptr;
    std::size_t length_ = 0;
    std::size_t skip_ = 0; // from the page boundary to the offset
};

} // namespace camera
