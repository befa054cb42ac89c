#include "fuzz/GuardedBytes.h"

#include "fuzz/FuzzInput.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

namespace fuzz {

GuardedBytes::GuardedBytes(const std::uint8_t* data, std::size_t size) : size_(size)
{
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t pages = (size + page - 1) / page;
    // Guard, the pages the bytes need (at least one, so that an empty
    // frame still has an address), guard.
    length_ = (std::max<std::size_t>(pages, 1) + 2) * page;
    mapping_ = mmap(nullptr, length_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED)
        Fail("GuardedBytes: mmap failed");
    auto* base = static_cast<std::uint8_t*>(mapping_);
    std::uint8_t* back = base + length_ - page;
    if (mprotect(base, page, PROT_NONE) != 0 || mprotect(back, page, PROT_NONE) != 0)
        Fail("GuardedBytes: mprotect failed");
    auto* start = back - size;
    if (data != nullptr && size > 0)
        std::memcpy(start, data, size);
    data_ = start;
}

GuardedBytes::~GuardedBytes()
{
    munmap(mapping_, length_);
}

} // namespace fuzz
