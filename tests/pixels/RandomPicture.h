#pragma once
// A bottom-up BGR picture of random bytes, as the corrected picture is laid
// out, for the conversion tests.

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace pixtest {

struct Picture {
    int width, height, rowbytes;
    std::vector<std::uint8_t> bits; // BGR, bottom-up
    const std::uint8_t* pixel(int x, int yFromTop) const
    {
        return bits.data() + static_cast<std::size_t>(height - 1 - yFromTop) * rowbytes + x * 3;
    }
};

inline Picture RandomPicture(int width, int height, int padding, unsigned seed)
{
    Picture p{width, height, width * 3 + padding, {}};
    p.bits.resize(static_cast<std::size_t>(p.rowbytes) * height);
    std::mt19937 random(seed);
    for (auto& b : p.bits)
        b = static_cast<std::uint8_t>(random());
    return p;
}

} // namespace pixtest
