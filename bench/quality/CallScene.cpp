#include "bench/quality/CallScene.h"

#include "bench/quality/Imagery.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quality {

namespace {

constexpr double pi = std::numbers::pi;

// A texture field, read between its samples; clamped at its edges.
struct Field {
    int width = 0;
    int height = 0;
    std::vector<float> v;

    Field(int w, int h, std::uint64_t seed, double longest)
        : width(w), height(h), v(PinkField(w, h, seed, longest))
    {
    }
    float at(double x, double y) const
    {
        x = std::clamp(x, 0.0, width - 1.001);
        y = std::clamp(y, 0.0, height - 1.001);
        const int ix = static_cast<int>(x), iy = static_cast<int>(y);
        const float fx = static_cast<float>(x - ix), fy = static_cast<float>(y - iy);
        const float* r0 = v.data() + static_cast<std::size_t>(iy) * width + ix;
        const float* r1 = r0 + width;
        const float top = r0[0] + (r0[1] - r0[0]) * fx, bottom = r1[0] + (r1[1] - r1[0]) * fx;
        return top + (bottom - top) * fy;
    }
};

struct Colour {
    float b, g, r;
};

Colour scaled(Colour c, float k)
{
    return {c.b * k, c.g * k, c.r * k};
}

double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// What the face does in one frame.
struct Pose {
    double yaw = 0, pitch = 0, roll = 0; // radians
    double x = 0, y = 0;                 // the head's centre in pixels
    double mouth = 0;                    // 0 closed .. 1 wide open
    double smile = 0;                    // -1 .. 1, the mouth's width
    double eyes = 1;                     // 0 shut .. 1 open
    double gaze = 0;                     // the irises' sideways offset, in radians of the head
    double brows = 0;                    // 0 .. 1 raised
    double shoulderX = 0, shoulderY = 0; // the shoulders' offset in pixels
};

Pose poseAt(int t, Size size)
{
    const double s = 2 * pi * t;
    Pose p;
    p.yaw = 0.22 * std::sin(s / 64) + 0.07 * std::sin(s / 23 + 1.0);
    // Nodding while listening or agreeing: quicker, in bursts.
    p.pitch = 0.05 * std::sin(s / 41) + 0.08 * std::sin(s / 13) * std::max(0.0, std::sin(s / 50 + 0.5));
    p.roll = 0.05 * std::sin(s / 57 + 2.0);
    p.x = size.width * (0.40 + 0.018 * std::sin(s / 80)) + 0.05 * size.height * p.yaw;
    p.y = size.height * 0.45 + 0.06 * size.height * p.pitch;
    // Speech: syllables of about a fifth of a second, in phrases with pauses.
    const double phrase = std::max(0.0, std::sin(s / 47 + 0.3) + 0.35);
    p.mouth = std::clamp(phrase * (0.45 + 0.55 * std::sin(s / 6.5) * std::sin(s / 6.5 + 0.7 * std::sin(s / 17))), 0.0,
                         1.0);
    p.smile = std::sin(s / 71);
    // A blink every 37 frames, three frames shut.
    const int inBlink = t % 37;
    p.eyes = inBlink < 4 ? std::abs(inBlink - 1.5) / 2.0 : 1.0;
    p.gaze = 0.06 * std::sin(s / 29);
    p.brows = std::max(0.0, std::sin(s / 33));
    p.shoulderX = 0.3 * (p.x - size.width * 0.40);
    p.shoulderY = 0.004 * size.height * std::sin(s / 90);
    return p;
}

// The person's appearance: textures of skin, hair and shirt, and the
// colours; made once.
struct Person {
    double a, b; // the head's half width and half height in pixels
    Field skin, pores, hair, shirt;

    Person(Size size, std::uint64_t seed)
        : a(0.185 * size.height), b(0.245 * size.height),
          // Head textures are laid over longitude and latitude, a texel a
          // pixel at the front of the face.
          skin(static_cast<int>(2 * pi * a) + 4, static_cast<int>(pi * b) + 4, seed + 1, std::max(4.0, a / 4)),
          pores(static_cast<int>(2 * pi * a) + 4, static_cast<int>(pi * b) + 4, seed + 2, 3.0),
          hair(static_cast<int>(6 * pi * a) + 4, static_cast<int>(pi * b / 2) + 4, seed + 3, 8.0),
          shirt(size.width + 8, size.height + 8, seed + 4, std::max(4.0, size.height / 30.0))
    {
    }

    // The colour of the head's surface at a longitude and latitude (0, 0
    // the middle of the face, latitude growing downwards).
    Colour head(double lon, double lat, const Pose& p) const
    {
        const double tx = (lon + pi) * a, ty = (lat + pi / 2) * b;
        const double hairline = -0.52 + 0.10 * std::cos(2.2 * lon);
        if (lat < hairline || std::abs(lon) > 1.30 + 0.25 * lat) {
            // Strands: fine across, long along the head.
            const float k = 0.55f + 0.9f * hair.at(tx * 3, ty / 2);
            return scaled({38, 48, 72}, k);
        }
        const float texture = 0.90f + 0.14f * skin.at(tx, ty) + 0.08f * (pores.at(tx, ty) - 0.5f);
        Colour c = scaled({118, 148, 205}, texture);
        // Warmer cheeks.
        const double cheek = std::exp(-(std::pow(std::abs(lon) - 0.42, 2) + std::pow(lat - 0.10, 2)) / 0.012);
        c.r += static_cast<float>(14 * cheek);
        c.b -= static_cast<float>(6 * cheek);

        const double side = std::abs(lon);
        // Brows, curved, raised now and then.
        const double browLat = -0.31 - 0.04 * p.brows - 0.035 * (1 - std::pow((side - 0.29) / 0.19, 2));
        if (side > 0.10 && side < 0.48 && std::abs(lat - browLat) < 0.028)
            return scaled({40, 50, 68}, 0.8f + 0.4f * hair.at(tx * 3, ty));
        // Eyes: an almond opening with white, iris and pupil; the lid's
        // shadow around it; shut, a dark line.
        const double ex = (side - 0.29) / 0.125, eyeOpen = 0.055 * std::max(p.eyes, 0.08);
        const double ey = (lat + 0.14) / eyeOpen;
        if (ex * ex + ey * ey < 1) {
            if (p.eyes < 0.2)
                return {40, 45, 60};
            const double ix = lon - (lon > 0 ? 0.29 : -0.29) - p.gaze, iy = (lat + 0.14) * 1.3;
            const double ir = std::sqrt(ix * ix + iy * iy);
            if (ir < 0.022)
                return {18, 18, 20};
            if (ir < 0.05)
                return scaled({60, 85, 100}, 0.8f + 0.4f * pores.at(tx * 2, ty * 2));
            return {205, 212, 222};
        }
        const double ey2 = (lat + 0.14) / (eyeOpen + 0.03);
        if ((ex * ex) / 1.3 + ey2 * ey2 < 1)
            c = scaled(c, 0.72f);
        // Nose: a shadow along one side, nostrils below.
        if (lon > 0.035 && lon < 0.085 && lat > -0.08 && lat < 0.13)
            c = scaled(c, 0.82f);
        if (std::pow((side - 0.045) / 0.025, 2) + std::pow((lat - 0.145) / 0.014, 2) < 1)
            c = scaled(c, 0.45f);
        // Mouth: lips around an opening with the upper teeth showing.
        const double width = 0.15 + 0.025 * p.smile, opening = 0.006 + 0.055 * p.mouth;
        const double corner = 0.012 * p.smile * (lon / width) * (lon / width);
        const double my = lat - 0.30 + corner;
        const double inner = std::pow(lon / width, 2) + std::pow(my / opening, 2);
        if (inner < 1)
            return my < -opening + 0.022 && p.mouth > 0.15 ? Colour{196, 204, 214} : Colour{42, 36, 70};
        if (std::pow(lon / (width + 0.03), 2) + std::pow(my / (opening + 0.035), 2) < 1)
            return scaled({92, 96, 172}, texture);
        return c;
    }
};

} // namespace

Clip MakeCallScene(Size size, int frames, std::uint64_t seed)
{
    const int w = size.width, h = size.height;
    // The room: the textured world, still, with a window whose sky and
    // hedge are brighter than the camera can take (255 in every channel),
    // in a light frame with a cross bar.
    Picture room(w, h);
    {
        const Picture world = MakeWorld(w + 8, h + 8, seed);
        CutFrame(world, 4.0, 4.0, room);
        const int wx0 = w * 64 / 100, wx1 = w * 94 / 100, wy0 = h * 6 / 100, wy1 = h * 58 / 100;
        const int bar = std::max(2, h / 60);
        const Field outside(w, h, seed + 9, h / 8.0);
        for (int y = wy0 - bar; y < wy1 + bar; ++y)
            for (int x = wx0 - bar; x < wx1 + bar; ++x) {
                float* px = room.at(x, y);
                const bool frame = x < wx0 || x >= wx1 || y < wy0 || y >= wy1 || std::abs(x - (wx0 + wx1) / 2) < bar / 2 + 1 ||
                                   std::abs(y - (wy0 + wy1) / 2) < bar / 2 + 1;
                if (frame) {
                    const float k = 0.93f + 0.1f * outside.at(x * 3 % w, y);
                    px[0] = 208 * k;
                    px[1] = 214 * k;
                    px[2] = 216 * k;
                    continue;
                }
                // Blown out, but for the top of a hedge in the lowest part.
                const double hedgeTop = wy1 - (wy1 - wy0) * (0.18 + 0.08 * outside.at(x, wy1 - 1));
                const float v = static_cast<float>(y > hedgeTop ? 230 + 60 * outside.at(x, y) : 300);
                px[0] = y > hedgeTop ? v * 0.8f : v;
                px[1] = v;
                px[2] = y > hedgeTop ? v * 0.9f : v;
            }
    }

    const Person person(size, seed);
    // Light comes from the window: from the right, above, in front.
    const double ln = std::sqrt(0.55 * 0.55 + 0.35 * 0.35 + 0.75 * 0.75);
    const double lx = 0.55 / ln, ly = -0.35 / ln, lz = 0.75 / ln;

    Clip clip{size, {}};
    Picture frame(w, h);
    for (int t = 0; t < frames; ++t) {
        const Pose p = poseAt(t, size);
        frame = room;

        // Shoulders and neck: a shirt with a V of skin at the collar.
        const double cx = w * 0.40 + p.shoulderX, top = p.y + 0.95 * person.b + p.shoulderY;
        for (int y = std::max(0, static_cast<int>(p.y)); y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float* px = frame.at(x, y);
                const double dx = std::abs(x + 0.5 - cx), dy = y + 0.5 - top;
                const double neck = 0.42 * person.a;
                Colour c{};
                double cover = 0;
                if (dy > 0) {
                    const double half = person.a * (0.55 + 1.9 * std::sqrt(std::min(1.0, dy / (0.22 * h))));
                    cover = std::clamp(half - dx + 0.5, 0.0, 1.0);
                    const double collar = neck * (1 - dy / (0.14 * h));
                    if (dx < collar) {
                        c = scaled({105, 135, 190}, 0.8f + 0.2f * person.pores.at(x, y));
                    } else {
                        const double sx = x - p.shoulderX + 4, sy = y - p.shoulderY + 4;
                        // A woven fabric: fine threads over a coarse fold.
                        const float weave = 0.8f + 0.4f * person.shirt.at(sx, sy) +
                                            0.10f * static_cast<float>(std::sin(sx * 2.1) * std::sin(sy * 2.1));
                        const float fold = static_cast<float>(0.85 + 0.3 * smoothstep(-person.a, person.a, x - cx));
                        c = scaled({150, 98, 62}, weave * fold);
                    }
                } else if (dy > -0.6 * person.b && dx < neck) {
                    cover = std::clamp(neck - dx + 0.5, 0.0, 1.0);
                    c = scaled({105, 135, 190}, 0.72f + 0.15f * person.pores.at(x, y));
                }
                if (cover > 0) {
                    px[0] += (c.b - px[0]) * static_cast<float>(cover);
                    px[1] += (c.g - px[1]) * static_cast<float>(cover);
                    px[2] += (c.r - px[2]) * static_cast<float>(cover);
                }
            }

        // The head, 2 x 2 samples a pixel.
        const double cr = std::cos(p.roll), sr = std::sin(p.roll);
        const double cyaw = std::cos(p.yaw), syaw = std::sin(p.yaw), cp = std::cos(p.pitch), sp = std::sin(p.pitch);
        const double reach = person.b + 2;
        const int x0 = std::max(0, static_cast<int>(p.x - reach)), x1 = std::min(w, static_cast<int>(p.x + reach) + 1);
        const int y0 = std::max(0, static_cast<int>(p.y - reach)), y1 = std::min(h, static_cast<int>(p.y + reach) + 1);
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                float sum[3] = {0, 0, 0};
                int inside = 0;
                for (int j = 0; j < 2; ++j)
                    for (int i = 0; i < 2; ++i) {
                        const double ox = x + 0.25 + 0.5 * i - p.x, oy = y + 0.25 + 0.5 * j - p.y;
                        const double u = (ox * cr + oy * sr) / person.a, v = (-ox * sr + oy * cr) / person.b;
                        const double r2 = u * u + v * v;
                        if (r2 >= 1)
                            continue;
                        const double z = std::sqrt(1 - r2);
                        // Back into the head's own frame: undo the nod, then the turn.
                        const double y1r = v * cp + z * sp, z1 = -v * sp + z * cp;
                        const double hx = u * cyaw - z1 * syaw, hz = u * syaw + z1 * cyaw;
                        const double lon = std::atan2(hx, hz), lat = std::asin(std::clamp(y1r, -1.0, 1.0));
                        const Colour c = person.head(lon, lat, p);
                        const double lit = std::max(0.0, u * lx + v * ly + z * lz);
                        const float shade = static_cast<float>(0.42 + 0.68 * lit);
                        sum[0] += c.b * shade;
                        sum[1] += c.g * shade;
                        sum[2] += c.r * shade;
                        ++inside;
                    }
                if (inside == 0)
                    continue;
                float* px = frame.at(x, y);
                const float cover = inside / 4.0f;
                for (int c = 0; c < 3; ++c)
                    px[c] += (sum[c] / static_cast<float>(inside) - px[c]) * cover;
            }
        clip.frames.push_back(ToBytes(frame));
    }
    return clip;
}

} // namespace quality
