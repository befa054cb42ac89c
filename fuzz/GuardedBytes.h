#pragma once
// A copy of the input (or room for output) whose last byte sits right before a page nobody may
// touch, and whose first page follows another such page. The libraries
// behind the program (libv4lconvert, TurboJPEG, libyuv) are not built with
// AddressSanitizer, so a read past a camera frame would go unnoticed in
// ordinary memory; here it ends the run with SIGSEGV, as it would with a
// real driver's buffer that ends at a page.

#include <cstddef>
#include <cstdint>

namespace fuzz {

class GuardedBytes {
public:
    GuardedBytes(const std::uint8_t* data, std::size_t size);
    // Room for `size` bytes to be written (zeros at first): a write past
    // the end, by a library that AddressSanitizer does not see, faults.
    explicit GuardedBytes(std::size_t size) : GuardedBytes(nullptr, size) {}
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    ~GuardedBytes();

    const std::uint8_t* data() const { return data_; }
    std::uint8_t* data() { return data_; }
    std::size_t size() const { return size_; }

private:
    void* mapping_ = nullptr;
    std::size_t length_ = 0;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

} // namespace fuzz
