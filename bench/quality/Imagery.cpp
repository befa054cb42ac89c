#include "bench/quality/Imagery.h"

#include "camera/testcam/TestScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace quality {

namespace {

// xorshift-multiply: enough for placing things; fixed across machines.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    std::uint64_t bits()
    {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [low, high).
    double uniform(double low, double high)
    {
        return low + (high - low) * static_cast<double>(bits() >> 11) * 0x1.0p-53;
    }

private:
    std::uint64_t state_;
};

float smooth(float t)
{
    return t * t * (3.0f - 2.0f * t);
}

void normalise(std::vector<float>& field)
{
    const auto [lo, hi] = std::minmax_element(field.begin(), field.end());
    const float low = *lo, span = std::max(1e-6f, *hi - *lo);
    for (float& v : field)
        v = (v - low) / span;
}

// Coverage of a pixel by a shape, from 4 x 4 samples.
template <class Inside>
float coverage(int x, int y, Inside inside)
{
    int hits = 0;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            hits += inside(x + (i + 0.5) / 4.0, y + (j + 0.5) / 4.0) ? 1 : 0;
    return static_cast<float>(hits) / 16.0f;
}

void blend(float* px, const float colour[3], float a)
{
    for (int c = 0; c < 3; ++c)
        px[c] += (colour[c] - px[c]) * a;
}

// Rotated rectangles in flat, slightly textured colours: hard edges at all angles.
void addObjects(Picture& world, Random& random, const std::vector<float>& detail)
{
    for (int n = 0; n < 16; ++n) {
        const double cx = random.uniform(0, world.width), cy = random.uniform(0, world.height);
        const double hw = random.uniform(8, 60), hh = random.uniform(6, 45);
        const double angle = random.uniform(0, std::numbers::pi);
        const double ca = std::cos(angle), sa = std::sin(angle);
        const float colour[3] = {static_cast<float>(random.uniform(20, 235)), static_cast<float>(random.uniform(20, 235)),
                                 static_cast<float>(random.uniform(20, 235))};
        const double reach = std::hypot(hw, hh) + 1;
        const int x0 = std::max(0, static_cast<int>(cx - reach)), x1 = std::min(world.width, static_cast<int>(cx + reach));
        const int y0 = std::max(0, static_cast<int>(cy - reach)), y1 = std::min(world.height, static_cast<int>(cy + reach));
        auto inside = [&](double x, double y) {
            const double u = (x - cx) * ca + (y - cy) * sa, v = -(x - cx) * sa + (y - cy) * ca;
            return std::abs(u) <= hw && std::abs(v) <= hh;
        };
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                const float a = coverage(x, y, inside);
                if (a <= 0.0f)
                    continue;
                const float texture = 0.85f + 0.3f * detail[static_cast<std::size_t>(y) * world.width + x];
                const float shaded[3] = {colour[0] * texture, colour[1] * texture, colour[2] * texture};
                blend(world.at(x, y), shaded, a);
            }
    }
}

// A light sign with lines of dark glyph-like strokes, 5 x 7 cells, and a
// line of twice the size.
void addSign(Picture& world, Random& random, int left, int top, int width, int height)
{
    const float paper[3] = {214, 222, 226}, ink[3] = {52, 40, 36};
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            blend(world.at(x, y), paper, 1.0f);
    auto glyphs = [&](int lineTop, int scale, int lineLeft, int lineRight) {
        for (int x = lineLeft; x + 5 * scale < lineRight; x += 6 * scale) {
            if (random.uniform(0, 1) < 0.18) // a space between words
                continue;
            const std::uint64_t strokes = random.bits();
            for (int gy = 0; gy < 7; ++gy)
                for (int gx = 0; gx < 5; ++gx) {
                    const bool on = ((strokes >> 0) & 1 && gx == 0) || ((strokes >> 1) & 1 && gx == 4) ||
                                    ((strokes >> 2) & 1 && gx == 2 && gy > 1) || ((strokes >> 3) & 1 && gy == 0) ||
                                    ((strokes >> 4) & 1 && gy == 3) || ((strokes >> 5) & 1 && gy == 6) ||
                                    ((strokes >> 6) & 1 && gx == gy * 4 / 6);
                    if (!on)
                        continue;
                    for (int sy = 0; sy < scale; ++sy)
                        for (int sx = 0; sx < scale; ++sx)
                            blend(world.at(x + gx * scale + sx, lineTop + gy * scale + sy), ink, 1.0f);
                }
        }
    };
    int y = top + 4;
    glyphs(y, 2, left + 4, left + width - 4);
    for (y += 20; y + 8 < top + height - 2; y += 10)
        glyphs(y, 1, left + 4, left + width - 4);
}

// The test camera's own still picture (no noise, no flicker).
void addTestCard(Picture& world, int left, int top, int width, int height)
{
    camera::TestScene scene(3);
    scene.setFormat(width, height, camera::TestScene::Pixels::Bgr24);
    scene.setNoise(0);
    scene.setFlicker(0);
    scene.setMotion(false);
    std::vector<std::uint8_t> bits;
    scene.render(bits);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bits.data() + static_cast<std::size_t>(height - 1 - y) * scene.stride();
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                world.at(left + x, top + y)[c] = row[x * 3 + c];
    }
}

float catmullRom(float t, int tap)
{
    switch (tap) {
    case 0:
        return ((-t + 2) * t - 1) * t / 2;
    case 1:
        return ((3 * t - 5) * t * t + 2) / 2;
    case 2:
        return ((-3 * t + 4) * t + 1) * t / 2;
    default:
        return (t - 1) * t * t / 2;
    }
}

} // namespace

std::vector<float> PinkField(int width, int height, std::uint64_t seed, double longest)
{
    std::vector<float> field(static_cast<std::size_t>(width) * height, 0.0f);
    Random random(seed);
    for (double cell = longest; cell >= 1.5; cell /= 2) {
        const int cols = static_cast<int>(width / cell) + 2, rows = static_cast<int>(height / cell) + 2;
        std::vector<float> lattice(static_cast<std::size_t>(cols) * rows);
        for (float& v : lattice)
            v = static_cast<float>(random.uniform(-1, 1));
        const float amplitude = static_cast<float>(cell);
        for (int y = 0; y < height; ++y) {
            const double fy = y / cell;
            const int iy = static_cast<int>(fy);
            const float ty = smooth(static_cast<float>(fy - iy));
            for (int x = 0; x < width; ++x) {
                const double fx = x / cell;
                const int ix = static_cast<int>(fx);
                const float tx = smooth(static_cast<float>(fx - ix));
                const float* r0 = lattice.data() + static_cast<std::size_t>(iy) * cols + ix;
                const float* r1 = r0 + cols;
                const float top = r0[0] + (r0[1] - r0[0]) * tx, bottom = r1[0] + (r1[1] - r1[0]) * tx;
                field[static_cast<std::size_t>(y) * width + x] += amplitude * (top + (bottom - top) * ty);
            }
        }
    }
    normalise(field);
    return field;
}

Picture MakeWorld(int width, int height, std::uint64_t seed)
{
    Picture world(width, height);
    Random random(seed);
    const std::vector<float> light = PinkField(width, height, seed + 1, width / 2.0);
    const std::vector<float> tintA = PinkField(width, height, seed + 2, width / 1.5);
    const std::vector<float> tintB = PinkField(width, height, seed + 3, width / 1.5);
    const std::vector<float> detail = PinkField(width, height, seed + 4, 24.0);
    const int skyRows = height / 4;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            float* px = world.at(x, y);
            // Broad light and shade plus finer texture (fabric, wood, plaster).
            const float l = 40.0f + 180.0f * (0.75f * light[i] + 0.25f * detail[i]);
            px[0] = l * (0.75f + 0.5f * tintA[i]);
            px[1] = l;
            px[2] = l * (0.75f + 0.5f * tintB[i]);
            if (y < skyRows) {
                // A sky: a smooth gradient, fading into the scene below it.
                const float t = static_cast<float>(y) / skyRows;
                const float sky[3] = {235.0f - 40.0f * t + 6.0f * detail[i], 200.0f - 20.0f * t, 150.0f + 30.0f * t};
                blend(px, sky, 1.0f - smooth(t));
            }
        }
    addObjects(world, random, detail);
    addSign(world, random, width * 55 / 100, height * 30 / 100, width / 4, height / 5);
    addTestCard(world, width * 12 / 100, height * 30 / 100, (width / 4) & ~1, (height / 4) & ~1);

    // A dark, low-contrast corner, as a shadowed part of a room.
    const int darkTop = height * 68 / 100, darkRight = width * 40 / 100;
    for (int y = darkTop; y < height; ++y)
        for (int x = 0; x < darkRight; ++x) {
            const float fade = std::min({1.0f, (y - darkTop) / 12.0f, (darkRight - x) / 12.0f});
            float* px = world.at(x, y);
            for (int c = 0; c < 3; ++c)
                px[c] += (14.0f + 0.15f * px[c] - px[c]) * fade;
        }
    // Fine texture everywhere, as a real room has (weave, grain, paper,
    // paint), a few levels deep and stronger where it is light.
    const std::vector<float> grain = PinkField(width, height, seed + 5, 3.0);
    const std::vector<float> tint = PinkField(width, height, seed + 6, 3.0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * width + x;
            float* px = world.at(x, y);
            const float g = grain[i] - 0.5f, c = tint[i] - 0.5f;
            for (int ch = 0; ch < 3; ++ch)
                px[ch] += (14.0f * g + (ch == 1 ? 0.0f : 5.0f * c)) * (0.4f + px[ch] / 255.0f);
        }
    for (float& v : world.bgr)
        v = std::clamp(v, 0.0f, 255.0f);
    return world;
}

Sprite MakeSubject(int diameter, std::uint64_t seed, double turn)
{
    const int side = diameter + 4;
    Sprite s{Picture(side, side), std::vector<float>(static_cast<std::size_t>(side) * side, 0.0f)};
    const std::vector<float> texture = PinkField(side, side, seed, side / 2.0);
    const std::vector<float> fine = PinkField(side, side, seed + 1, 4.0);
    const double centre = side / 2.0, radius = diameter / 2.0;
    const double ct = std::cos(turn), st = std::sin(turn);
    auto sample = [&](const std::vector<float>& field, double u, double v) {
        u = std::clamp(u, 0.0, side - 1.001);
        v = std::clamp(v, 0.0, side - 1.001);
        const int iu = static_cast<int>(u), iv = static_cast<int>(v);
        const float fu = static_cast<float>(u - iu), fv = static_cast<float>(v - iv);
        const float* r0 = field.data() + static_cast<std::size_t>(iv) * side + iu;
        const float top = r0[0] + (r0[1] - r0[0]) * fu, bottom = r0[side] + (r0[side + 1] - r0[side]) * fu;
        return top + (bottom - top) * fv;
    };
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * side + x;
            // Cloth on a turning body: the pattern turns and bends, so its
            // parts move by different amounts from frame to frame.
            const double dx = x - centre, dy = y - centre;
            double u = centre + dx * ct + dy * st, v = centre - dx * st + dy * ct;
            u += 0.04 * diameter * std::sin(2 * std::numbers::pi * v / diameter + 3 * turn);
            v += 0.03 * diameter * std::sin(2 * std::numbers::pi * u / diameter * 1.3 - 2 * turn);
            // Stripes with hard edges over a warm texture: a shirt in front of the camera.
            const bool stripe = static_cast<int>(std::floor((u + 0.6 * v) / (diameter / 7.0))) % 2 == 0;
            const float l = 70.0f + 140.0f * sample(texture, u, v) + 24.0f * (sample(fine, u, v) - 0.5f);
            float* px = s.picture.at(x, y);
            px[0] = stripe ? l * 0.55f : l * 0.9f;
            px[1] = stripe ? l * 0.7f : l * 0.8f;
            px[2] = stripe ? l * 0.95f : l * 0.55f;
            s.alpha[i] = coverage(x, y, [&](double a, double b) {
                return (a - centre) * (a - centre) + (b - centre) * (b - centre) <= radius * radius;
            });
        }
    return s;
}

void CutFrame(const Picture& from, double x, double y, Picture& frame)
{
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    const float tx = static_cast<float>(x - ix), ty = static_cast<float>(y - iy);
    float wx[4], wy[4];
    for (int k = 0; k < 4; ++k) {
        wx[k] = catmullRom(tx, k);
        wy[k] = catmullRom(ty, k);
    }
    // Across first, into rows that cover the frame and one tap on each side.
    Picture across(frame.width, frame.height + 3);
    for (int r = 0; r < across.height; ++r)
        for (int c = 0; c < frame.width; ++c) {
            const float* src = from.at(ix + c - 1, iy + r - 1);
            float* out = across.at(c, r);
            for (int ch = 0; ch < 3; ++ch)
                out[ch] = wx[0] * src[ch] + wx[1] * src[3 + ch] + wx[2] * src[6 + ch] + wx[3] * src[9 + ch];
        }
    for (int r = 0; r < frame.height; ++r)
        for (int c = 0; c < frame.width; ++c) {
            float* out = frame.at(c, r);
            for (int ch = 0; ch < 3; ++ch)
                out[ch] = wy[0] * across.at(c, r)[ch] + wy[1] * across.at(c, r + 1)[ch] +
                          wy[2] * across.at(c, r + 2)[ch] + wy[3] * across.at(c, r + 3)[ch];
        }
}

void Overlay(Picture& frame, const Sprite& sprite, double x, double y, float gain)
{
    const int side = sprite.picture.width;
    const int x0 = std::max(0, static_cast<int>(std::floor(x))), y0 = std::max(0, static_cast<int>(std::floor(y)));
    const int x1 = std::min(frame.width, static_cast<int>(x) + side), y1 = std::min(frame.height, static_cast<int>(y) + side);
    for (int py = y0; py < y1; ++py)
        for (int px = x0; px < x1; ++px) {
            const double sx = px - x, sy = py - y;
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            if (ix < 0 || iy < 0 || ix + 1 >= side || iy + 1 >= side)
                continue;
            const float fx = static_cast<float>(sx - ix), fy = static_cast<float>(sy - iy);
            const float w[4] = {(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
            const std::size_t i = static_cast<std::size_t>(iy) * side + ix;
            const float a = w[0] * sprite.alpha[i] + w[1] * sprite.alpha[i + 1] + w[2] * sprite.alpha[i + side] +
                            w[3] * sprite.alpha[i + side + 1];
            if (a <= 0.0f)
                continue;
            float colour[3];
            for (int c = 0; c < 3; ++c)
                colour[c] = gain * (w[0] * sprite.picture.at(ix, iy)[c] + w[1] * sprite.picture.at(ix + 1, iy)[c] +
                                    w[2] * sprite.picture.at(ix, iy + 1)[c] + w[3] * sprite.picture.at(ix + 1, iy + 1)[c]);
            blend(frame.at(px, py), colour, a);
        }
}

std::vector<std::uint8_t> ToBytes(const Picture& frame, float gain, float offset)
{
    std::vector<std::uint8_t> bytes(frame.bgr.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(std::lround(std::clamp(offset + gain * frame.bgr[i], 0.0f, 255.0f)));
    return bytes;
}

} // namespace quality
