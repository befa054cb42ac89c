#pragma once
// Byte masks for spreading a per-byte flag over its pixel in the vector
// kernels. A block of 3 * V bytes (V the vector width) starts at a pixel, so
// byte j of it is byte j % 3 of its pixel; a byte takes the flags of the
// bytes 1 and 2 places on in its pixel (next1, next2) and 1 and 2 places back
// (prev1, prev2), where the pixel has them.

#include <array>
#include <cstdint>

namespace denoise::phases {

template <int Bytes>
struct Masks {
    alignas(32) std::array<std::uint8_t, Bytes> next1{}, next2{}, prev1{}, prev2{};
};

template <int Bytes>
constexpr Masks<Bytes> MakeMasks()
{
    Masks<Bytes> m;
    for (int j = 0; j < Bytes; ++j) {
        const int phase = j % 3;
        m.next1[j] = phase <= 1 ? 0xFF : 0;
        m.next2[j] = phase == 0 ? 0xFF : 0;
        m.prev1[j] = phase >= 1 ? 0xFF : 0;
        m.prev2[j] = phase == 2 ? 0xFF : 0;
    }
    return m;
}

} // namespace denoise::phases
