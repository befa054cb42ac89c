#pragma once
// Pictures for the tests of the automatic smoother's parts: a textured scene
// that can be read anywhere between pixels (so that a shift by a fraction of
// a pixel is exact), flat bars, clipped windows, and Gaussian noise whose
// true deviation is measured where it was added.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace denoise_test {

using Frame = std::vector<std::uint8_t>;

// Smooth shading, a mid-size pattern and fine stripes, within 35..205.
inline double Texture(double x, double y, int c)
{
    return 120 + 30 * std::sin(x / 41.0 + c) * std::cos(y / 33.0) + 30 * std::sin(x / 7.3 + c) * std::cos(y / 5.1 - c) +
           20 * std::sin((x + 2 * y) / 3.1 + 2 * c);
}

// A w x h picture with rows `rowbytes` long, pixel (x, y) showing
// value(x + ox, y + oy, c).
template <typename Fn>
Frame Render(int w, int h, std::size_t rowbytes, double ox, double oy, Fn value)
{
    Frame f(rowbytes * h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                f[y * rowbytes + x * 3 + c] =
                    static_cast<std::uint8_t>(std::clamp(std::lround(value(x + ox, y + oy, c)), 0L, 255L));
    return f;
}

// Gaussian noise of deviation `sigma` on every byte of the pixels where
// `noisy(x, y)` says so, clipped to 0..255. Adds the squared noise that is
// left after clipping, and the number of bytes, to *se and *n.
template <typename Where>
Frame AddNoise(const Frame& clean, int w, int h, std::size_t rowbytes, double sigma, std::mt19937& rng, Where noisy,
               double* se = nullptr, double* n = nullptr)
{
    std::normal_distribution<double> g(0, sigma);
    Frame f = clean;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (!noisy(x, y))
                continue;
            for (int c = 0; c < 3; ++c) {
                std::uint8_t& b = f[y * rowbytes + x * 3 + c];
                const long v = std::clamp(std::lround(b + g(rng)), 0L, 255L);
                if (se != nullptr) {
                    *se += double(v - b) * double(v - b);
                    *n += 1;
                }
                b = static_cast<std::uint8_t>(v);
            }
        }
    return f;
}

inline Frame AddNoise(const Frame& clean, int w, int h, std::size_t rowbytes, double sigma, std::mt19937& rng)
{
    return AddNoise(clean, w, h, rowbytes, sigma, rng, [](int, int) { return true; });
}

// Sets rows y0..y1-1 of a picture to one level.
inline void FillRows(Frame& f, int w, std::size_t rowbytes, int y0, int y1, std::uint8_t level)
{
    for (int y = y0; y < y1; ++y)
        std::fill(f.begin() + static_cast<std::ptrdiff_t>(y * rowbytes),
                  f.begin() + static_cast<std::ptrdiff_t>(y * rowbytes + w * 3), level);
}

} // namespace denoise_test
