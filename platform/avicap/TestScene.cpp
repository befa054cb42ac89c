#include "platform/avicap/TestScene.h"

#include "platform/base/WinTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace avicap {

namespace {

constexpr std::size_t noiseSpan = 1 << 16;

struct Rgb {
    int r, g, b;
};

// Seven bars as on a test card, then a ramp from black to white.
Rgb stillColour(int x, int y, int width, int height)
{
    static constexpr Rgb bars[] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                   {235, 16, 235},  {235, 16, 16},  {16, 16, 235}};
    // A disc in the middle shows whether the picture keeps its proportions.
    const int cx = width / 2, cy = height / 2, radius = std::max(1, height / 5);
    const long dx = x - cx, dy = y - cy;
    if (dx * dx + dy * dy <= static_cast<long>(radius) * radius) {
        const int v = 40 + 160 * (x - cx + radius) / (2 * radius);
        return {v, 128, 200 - v / 2};
    }
    if (y < height * 2 / 3)
        return bars[std::min(6, x * 7 / std::max(1, width))];
    const int v = 255 * x / std::max(1, width - 1);
    return {v, v, v};
}

std::uint8_t grey(const Rgb& c)
{
    return static_cast<std::uint8_t>((c.r * 77 + c.g * 150 + c.b * 29) >> 8);
}

// out = clamp(in * gain / 128 + noise) over n bytes.
void shade(const std::uint8_t* in, const std::int8_t* noise, std::uint8_t* out, std::size_t n, int gain)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i g = _mm_set1_epi16(static_cast<short>(gain));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const __m128i z = _mm_loadu_si128(reinterpret_cast<const __m128i*>(noise + i));
        const __m128i sign = _mm_cmpgt_epi8(zero, z);
        const __m128i lo = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(v, zero), g), 7),
                                         _mm_unpacklo_epi8(z, sign));
        const __m128i hi = _mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(v, zero), g), 7),
                                         _mm_unpackhi_epi8(z, sign));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(std::clamp(((in[i] * gain) >> 7) + noise[i], 0, 255));
}

} // namespace

TestScene::TestScene(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1)
{
    setFormat(640, 480, Pixels::Bgr24);
}

std::uint32_t TestScene::random()
{
    // xorshift64*: cheap, and enough for noise.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<std::uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
}

void TestScene::setFormat(int width, int height, Pixels pixels)
{
    width_ = width;
    height_ = height;
    pixels_ = pixels;
    const std::size_t bytesPerPixel = pixels == Pixels::Bgr24 ? 3 : 1;
    stride_ = static_cast<std::size_t>(StandardRowBytes(width, bytesPerPixel * 8));
    still_.assign(imageBytes(), 0);
    for (int y = 0; y < height; ++y) {
        // Bottom row first.
        std::uint8_t* row = still_.data() + static_cast<std::size_t>(height - 1 - y) * stride_;
        for (int x = 0; x < width; ++x) {
            const Rgb c = stillColour(x, y, width, height);
            if (pixels == Pixels::Bgr24) {
                row[3 * x] = static_cast<std::uint8_t>(c.b);
                row[3 * x + 1] = static_cast<std::uint8_t>(c.g);
                row[3 * x + 2] = static_cast<std::uint8_t>(c.r);
            } else {
                row[x] = grey(c);
            }
        }
    }
    makeNoiseTable();
}

void TestScene::setNoise(int percent)
{
    noise_ = std::clamp(percent, 0, 100);
    makeNoiseTable();
}

void TestScene::setFlicker(int percent)
{
    flicker_ = std::clamp(percent, 0, 100);
}

void TestScene::makeNoiseTable()
{
    // Roughly normal values (sum of four uniform ones); at full strength the
    // standard deviation is about 25 levels.
    noiseTable_.resize(noiseSpan + stride_);
    const int amplitude = noise_ * 43 / 100;
    for (std::int8_t& v : noiseTable_) {
        const std::uint32_t r = random();
        const int sum = static_cast<int>((r & 0xFF) + ((r >> 8) & 0xFF) + ((r >> 16) & 0xFF) + (r >> 24)) - 510;
        v = static_cast<std::int8_t>(std::clamp(sum * amplitude / 255, -127, 127));
    }
}

void TestScene::render(std::vector<std::uint8_t>& out)
{
    out.resize(imageBytes());
    ++frameNumber_;
    // Brightness of the whole frame in 1/128: up to a fifth up or down.
    const int swing = flicker_ * 26 / 100;
    const int gain = 128 + (swing == 0 ? 0 : static_cast<int>(random() % (2 * swing + 1)) - swing);
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * (pixels_ == Pixels::Bgr24 ? 3 : 1);
    for (int y = 0; y < height_; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * stride_;
        shade(still_.data() + at, noiseTable_.data() + random() % noiseSpan, out.data() + at, rowBytes, gain);
    }
    if (!motion_)
        return;

    // A light square that travels left and right through the bars.
    const int side = std::max(2, height_ / 6);
    const int travel = std::max(1, width_ - side);
    const int step = static_cast<int>((frameNumber_ * static_cast<std::uint64_t>(std::max(1, width_ / 120))) %
                                      (2 * static_cast<std::uint64_t>(travel)));
    const int left = step < travel ? step : 2 * travel - step;
    const int top = height_ / 3 - side / 2;
    for (int y = std::max(0, top); y < std::min(height_, top + side); ++y) {
        std::uint8_t* row = out.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_;
        const std::int8_t* noise = noiseTable_.data() + random() % noiseSpan;
        for (int x = left; x < std::min(width_, left + side); ++x) {
            if (pixels_ == Pixels::Bgr24) {
                row[3 * x] = static_cast<std::uint8_t>(std::clamp(((60 * gain) >> 7) + noise[3 * x], 0, 255));
                row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(((220 * gain) >> 7) + noise[3 * x + 1], 0, 255));
                row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp(((250 * gain) >> 7) + noise[3 * x + 2], 0, 255));
            } else {
                row[x] = static_cast<std::uint8_t>(std::clamp(((210 * gain) >> 7) + noise[x], 0, 255));
            }
        }
    }
}

} // namespace avicap
