#pragma once
// A clip as the quality tool handles it: frames of 24-bit BGR pixels, rows
// top-down without padding, all of one size.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace quality {

// Bad input or a failed tool run; the message is for the user as it stands.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// "640x360" (or with a capital X); throws Error for anything else, and for
// sizes of 0 or beyond what a picture can hold.
Size ParseSize(const std::string& text);
std::string SizeText(Size size);

struct Clip {
    Size size;
    std::vector<std::vector<std::uint8_t>> frames;

    std::size_t frameBytes() const
    {
        return static_cast<std::size_t>(size.width) * static_cast<std::size_t>(size.height) * 3;
    }
};

} // namespace quality
