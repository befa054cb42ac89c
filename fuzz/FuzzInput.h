#pragma once
// The fuzz inputs are read front to back as little-endian numbers, so that
// fuzz/make_seeds.cpp can write a seed field by field with SeedWriter and a
// person can read a crashing input with a hex dump. A reader past the end
// gets zeros: every input means something, however short.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace fuzz {

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t left() const { return size_ - at_; }

    template <typename T>
    T take()
    {
        static_assert(std::is_integral_v<T>);
        std::make_unsigned_t<T> value = 0;
        for (std::size_t i = 0; i < sizeof(T) && at_ < size_; ++i)
            value |= static_cast<std::make_unsigned_t<T>>(static_cast<std::make_unsigned_t<T>>(data_[at_++])
                                                          << (8 * i));
        return static_cast<T>(value);
    }

    // A plain struct as its bytes; missing bytes stay zero.
    template <typename T>
    T takeRecord()
    {
        static_assert(std::is_trivially_copyable_v<T>);
        T record{};
        const std::size_t n = std::min(sizeof(T), left());
        std::memcpy(&record, data_ + at_, n);
        at_ += n;
        return record;
    }

    // Everything not read yet.
    const std::uint8_t* rest() const { return data_ + at_; }
    std::size_t restSize() const { return left(); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The other side, for the seed generator.
class SeedWriter {
public:
    template <typename T>
    SeedWriter& put(T value)
    {
        static_assert(std::is_integral_v<T>);
        auto bits = static_cast<std::make_unsigned_t<T>>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bytes_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        return *this;
    }
    template <typename T>
    SeedWriter& putRecord(const T& record)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        const auto* p = reinterpret_cast<const std::uint8_t*>(&record);
        bytes_.insert(bytes_.end(), p, p + sizeof(T));
        return *this;
    }
    SeedWriter& putBytes(const std::vector<std::uint8_t>& bytes)
    {
        bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    SeedWriter& putText(const std::string& text)
    {
        bytes_.insert(bytes_.end(), text.begin(), text.end());
        return *this;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

// Ends the run as a crash with the reason on stderr: the check failed
// (not a sanitizer finding, which reports itself).
[[noreturn]] void Fail(const char* what);

} // namespace fuzz
