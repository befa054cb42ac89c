#pragma once
// Owners of what a V4L2 device hands out: its descriptor and its mapped
// buffers, both given back through the system seam; and the event
// descriptor that wakes a worker thread.

#include "camera/v4l2/V4l2System.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace camera {

class DeviceFd {
public:
    DeviceFd() = default;
    DeviceFd(V4l2System& system, int fd) : system_(&system), fd_(fd) {}
    DeviceFd(DeviceFd&& other) noexcept : system_(other.system_), fd_(std::exchange(other.fd_, -1)) {}
    DeviceFd& operator=(DeviceFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            system_ = other.system_;
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    ~DeviceFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset()
    {
        if (fd_ >= 0)
            system_->close(fd_);
        fd_ = -1;
    }

private:
    V4l2System* system_ = nullptr;
    int fd_ = -1;
};

class Mapping {
public:
    Mapping(V4l2System& system, void* address, std::size_t length)
        : system_(&system), address_(address), length_(length)
    {}
    Mapping(Mapping&& other) noexcept
        : system_(other.system_), address_(std::exchange(other.address_, nullptr)), length_(other.length_)
    {}
    Mapping& operator=(Mapping&&) = delete;
    ~Mapping()
    {
        if (address_ != nullptr)
            system_->munmap(address_, length_);
    }

    const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(address_); }
    std::uint8_t* data() { return static_cast<std::uint8_t*>(address_); }
    std::size_t size() const { return length_; }

private:
    V4l2System* system_;
    void* address_;
    std::size_t length_;
};

// An eventfd: write() wakes whoever polls it.
class WakeFd {
public:
    WakeFd();
    WakeFd(const WakeFd&) = delete;
    WakeFd& operator=(const WakeFd&) = delete;
    ~WakeFd();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void wake();

private:
    int fd_;
};

} // namespace camera
