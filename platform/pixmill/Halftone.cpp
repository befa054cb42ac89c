#include "platform/pixmill/Halftone.h"

#include <array>
#include <cstddef>
#include <vector>

namespace pixmill {

namespace {

struct HalftoneTable {
    BITMAPINFOHEADER header;
    std::array<RGBQUAD, kCubeColors> colors;
};

HalftoneTable makeTable()
{
    HalftoneTable t{};
    t.header.biBitCount = 8;
    t.header.biClrUsed = kCubeColors;
    for (int r = 0; r < kCubeLevels; ++r)
        for (int g = 0; g < kCubeLevels; ++g)
            for (int b = 0; b < kCubeLevels; ++b) {
                auto level = [](int v) { return static_cast<BYTE>(v * 255 / (kCubeLevels - 1)); };
                t.colors[r * 36 + g * 6 + b] = RGBQUAD{level(b), level(g), level(r), 0};
            }
    return t;
}

HalftoneTable& table()
{
    static HalftoneTable t = makeTable();
    return t;
}

// 8 x 8 ordered-dither thresholds, 0..63.
constexpr std::array<std::array<int, 8>, 8> kBayer = {{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

// One channel value 0..255 to a cube level 0..5, dithered by threshold t.
inline int quantize(int v, int t)
{
    const int scaled = v * (kCubeLevels - 1); // 0..1275
    const int base = scaled / 255;
    const int frac = scaled - base * 255;      // 0..254
    const int threshold = (t * 255 + 32) / 64; // 0..249
    return base + (frac > threshold ? 1 : 0);
}

struct Span {
    int first;
    int count;
};

// Source spans for each destination index: an area when shrinking, one
// sample when growing.
std::vector<Span> spans(int source, int dest)
{
    std::vector<Span> out(static_cast<std::size_t>(dest));
    for (int i = 0; i < dest; ++i) {
        const int a = static_cast<int>(static_cast<std::int64_t>(i) * source / dest);
        int b = static_cast<int>(static_cast<std::int64_t>(i + 1) * source / dest);
        if (b <= a)
            b = a + 1;
        out[static_cast<std::size_t>(i)] = Span{a, b - a};
    }
    return out;
}

} // namespace

BITMAPINFO* halftoneFormat()
{
    return reinterpret_cast<BITMAPINFO*>(&table());
}

HPALETTE halftonePalette()
{
    static LogicalPalette palette{std::vector<RGBQUAD>(table().colors.begin(), table().colors.end())};
    return &palette;
}

void halftoneInto(const PixelView& src, std::uint8_t* dst, std::int32_t dstRowbytes, int width, int height)
{
    const std::vector<Span> xs = spans(src.width, width);
    const std::vector<Span> ys = spans(src.height, height);
    for (int y = 0; y < height; ++y) {
        const Span sy = ys[static_cast<std::size_t>(y)];
        std::uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstRowbytes;
        for (int x = 0; x < width; ++x) {
            const Span sx = xs[static_cast<std::size_t>(x)];
            std::int64_t sum[3] = {0, 0, 0};
            for (int j = 0; j < sy.count; ++j) {
                const std::uint8_t* p = src.bits + static_cast<std::ptrdiff_t>(sy.first + j) * src.rowbytes +
                                        sx.first * 3;
                for (int i = 0; i < sx.count; ++i, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const std::int64_t n = static_cast<std::int64_t>(sx.count) * sy.count;
            const int t = kBayer[static_cast<std::size_t>(y & 7)][static_cast<std::size_t>(x & 7)];
            const int b = quantize(static_cast<int>(sum[0] / n), t);
            const int g = quantize(static_cast<int>(sum[1] / n), t);
            const int r = quantize(static_cast<int>(sum[2] / n), t);
            out[x] = static_cast<std::uint8_t>(r * 36 + g * 6 + b);
        }
    }
}

} // namespace pixmill
