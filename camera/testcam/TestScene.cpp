#include "camera/testcam/TestScene.h"

#include "camera/testcam/SceneKernels.h"

#include "records/WinTypes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace camera {

namespace {

constexpr std::size_t noiseSpan = 1 << 16;

struct Rgb {
    int r, g, b;
};

// Seven bars as on a test card over the upper two thirds, then a ramp from
// black to white; a disc in the middle shows whether the picture keeps its
// proportions. Each colour depends on the column only.
Rgb barColour(int x, int width)
{
    static constexpr Rgb bars[] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235}, {16, 235, 16},
                                   {235, 16, 235},  {235, 16, 16},  {16, 16, 235}};
    return bars[std::min(6, x * 7 / std::max(1, width))];
}

Rgb rampColour(int x, int width)
{
    const int v = 255 * x / std::max(1, width - 1);
    return {v, v, v};
}

Rgb discColour(int x, int width, int radius)
{
    const int v = 40 + 160 * (x - width / 2 + radius) / (2 * radius);
    return {v, 128, 200 - v / 2};
}

std::uint8_t grey(const Rgb& c)
{
    return static_cast<std::uint8_t>((c.r * 77 + c.g * 150 + c.b * 29) >> 8);
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
    const std::size_t rowBytes = static_cast<std::size_t>(std::max(0, width)) * bytesPerPixel;
    const int radius = std::max(1, height / 5);
    auto makeRow = [&](std::vector<std::uint8_t>& row, auto colour) {
        row.assign(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            const Rgb c = colour(x);
            if (pixels == Pixels::Bgr24) {
                row[3 * x] = static_cast<std::uint8_t>(c.b);
                row[3 * x + 1] = static_cast<std::uint8_t>(c.g);
                row[3 * x + 2] = static_cast<std::uint8_t>(c.r);
            } else {
                row[x] = grey(c);
            }
        }
    };
    makeRow(bars_, [width](int x) { return barColour(x, width); });
    makeRow(ramp_, [width](int x) { return rampColour(x, width); });
    makeRow(disc_, [width, radius](int x) { return discColour(x, width, radius); });
    // The moving square, light yellow, one row of it.
    const int side = std::max(2, height / 6);
    square_.clear();
    for (int x = 0; x < side; ++x) {
        if (pixels == Pixels::Bgr24)
            square_.insert(square_.end(), {60, 220, 250});
        else
            square_.push_back(210);
    }
    firstRampRow_ = height * 2 / 3;

    // The disc: the pixels within the radius of the centre.
    discSpans_.assign(static_cast<std::size_t>(std::max(0, height)), DiscSpan{});
    const int cx = width / 2, cy = height / 2;
    for (int y = 0; y < height; ++y) {
        const long dy = y - cy;
        int first = -1, last = -1;
        for (int x = std::max(0, cx - radius); x <= std::min(width - 1, cx + radius); ++x) {
            const long dx = x - cx;
            if (dx * dx + dy * dy <= static_cast<long>(radius) * radius) {
                if (first < 0)
                    first = x;
                last = x;
            }
        }
        if (first >= 0)
            discSpans_[static_cast<std::size_t>(y)] = {static_cast<std::size_t>(first) * bytesPerPixel,
                                                       static_cast<std::size_t>(last + 1) * bytesPerPixel};
    }
    litGain_ = -1;
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

void TestScene::light(int gain)
{
    if (gain == litGain_)
        return;
    auto lit = [gain](const std::vector<std::uint8_t>& row, std::vector<std::uint8_t>& out) {
        out.resize(row.size());
        for (std::size_t i = 0; i < row.size(); ++i)
            out[i] = static_cast<std::uint8_t>(std::min(255, (row[i] * gain) >> 7) ^ 0x80);
    };
    lit(bars_, litBars_);
    lit(ramp_, litRamp_);
    lit(disc_, litDisc_);
    lit(square_, litSquare_);
    litGain_ = gain;
}

void TestScene::render(std::vector<std::uint8_t>& out)
{
    out.resize(imageBytes());
    ++frameNumber_;
    // Brightness of the whole frame in 1/128: up to a fifth up or down.
    const int swing = flicker_ * 26 / 100;
    const int gain = 128 + (swing == 0 ? 0 : static_cast<int>(random() % (2 * swing + 1)) - swing);
    light(gain);
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * (pixels_ == Pixels::Bgr24 ? 3 : 1);
    const NoisyRowFn noisy = NoisyRow();
    // Rows in memory order, the bottom row first; each row's noise starts at
    // a random place in the table.
    for (int y = 0; y < height_; ++y) {
        const int top = height_ - 1 - y;
        std::uint8_t* row = out.data() + static_cast<std::size_t>(y) * stride_;
        const std::int8_t* noise = noiseTable_.data() + random() % noiseSpan;
        const std::uint8_t* base = top < firstRampRow_ ? litBars_.data() : litRamp_.data();
        const DiscSpan disc = discSpans_[static_cast<std::size_t>(top)];
        if (disc.begin < disc.end) {
            noisy(base, noise, row, disc.begin);
            noisy(litDisc_.data() + disc.begin, noise + disc.begin, row + disc.begin, disc.end - disc.begin);
            noisy(base + disc.end, noise + disc.end, row + disc.end, rowBytes - disc.end);
        } else {
            noisy(base, noise, row, rowBytes);
        }
        std::fill(row + rowBytes, row + stride_, std::uint8_t{0});
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
    const int right = std::min(width_, left + side);
    if (right <= left)
        return;
    const std::size_t bytesPerPixel = pixels_ == Pixels::Bgr24 ? 3 : 1;
    const std::size_t from = static_cast<std::size_t>(left) * bytesPerPixel;
    const std::size_t count = static_cast<std::size_t>(right - left) * bytesPerPixel;
    for (int y = std::max(0, top); y < std::min(height_, top + side); ++y) {
        std::uint8_t* row = out.data() + static_cast<std::size_t>(height_ - 1 - y) * stride_;
        const std::int8_t* noise = noiseTable_.data() + random() % noiseSpan;
        noisy(litSquare_.data(), noise + from, row + from, count);
    }
}

} // namespace camera
