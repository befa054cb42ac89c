#include "denoise/AutoSmoother.h"

#include "denoise/GlobalMotion.h"
#include "denoise/NoiseEstimator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

namespace denoise {

namespace {

// History values carry 8 fractional bits: 255 << 8 = 65280 fits 16 bits.
constexpr int kFrac = 8;
constexpr int kOne = 1 << kFrac;

// Temporal weight: how much of its history a pixel keeps, in 1/256, by the
// normalised difference z (index z * kZScale). z sums the squared 3x3 luma
// difference and both squared 3x3 chroma differences, each over its expected
// spread for pure noise: about 3 on a still part.
constexpr int kZScale = 8;
constexpr int kZSize = 1024;

// Where the weight falls from keeping all history to keeping none.
constexpr double kZLow = 8, kZHigh = 30;
// Spatial smoothing: its weight at one frame of history (in 1/256 of the
// whole) halves with every further frame; a 5x5 window, distance weight a
// Gaussian of 1.5 pixels, range weight a Gaussian of 4 noise levels in the
// B + 2G + R distance.
constexpr int kSpatialRadius = 2;
constexpr double kSpatialSigma = 1.5;
constexpr double kRangeScale = 4.0;

} // namespace

struct AutoSmoother::State {
    FrameShape shape;
    int w = 0, h = 0;
    std::vector<std::uint16_t> hist, histNext; // per byte, levels << kFrac
    std::vector<std::uint8_t> age, ageNext;    // per pixel: frames in the history, 0 = none
    std::vector<std::uint8_t> prev;            // the previous frame, packed rows
    bool started = false;
    GlobalMotion motion;
    NoiseEstimator noise;

    // Rows on the way, three of each (the 3x3 sums need the rows around).
    std::array<std::vector<std::int32_t>, 3> aligned; // history moved onto the frame, per byte
    std::array<std::vector<std::uint8_t>, 3> alignedAge;
    std::array<std::vector<std::int32_t>, 3> dY, dC1, dC2;
    std::vector<std::int32_t> colY, colC1, colC2;
    std::vector<std::int32_t> column; // one history row after the vertical taps

    std::array<int, kZSize> keep{};  // z -> share of the history kept, 0..256
    std::array<int, 256> recip{};    // N -> 32768 / N
    std::array<int, 256> spatial{};  // N -> weight of the spatial smoothing, 0..256
    std::array<int, 1021> range{};   // B + 2G + R distance -> range weight 0..256
};

AutoSmoother::AutoSmoother(Path path) : path_(path), state_(std::make_unique<State>()) {}

AutoSmoother::~AutoSmoother() = default;

int AutoSmoother::CapForStrength(int strength)
{
    const int s = std::clamp(strength, 0, 95);
    return std::clamp(static_cast<int>(std::lround(std::exp2(s / 12.0))), 1, 255);
}

void AutoSmoother::Process(const std::uint8_t* frame, std::uint8_t* out, const FrameShape& shape, int strength)
{
    State& st = *state_;
    if (!(shape == st.shape) || !st.started) {
        Reset();
        st.shape = shape;
    }
    const int w = shape.width, h = shape.height;
    if (w <= 0 || h <= 0 || shape.rowbytes < static_cast<std::size_t>(w) * 3 || frame == nullptr || out == nullptr)
        return;
    const std::size_t row3 = static_cast<std::size_t>(w) * 3;
    const std::size_t pixels = static_cast<std::size_t>(w) * h;
    if (!st.started) {
        st.w = w;
        st.h = h;
        st.hist.assign(pixels * 3, 0);
        st.histNext.assign(pixels * 3, 0);
        st.age.assign(pixels, 0);
        st.ageNext.assign(pixels, 0);
        st.prev.assign(pixels * 3, 0);
        for (int k = 0; k < 3; ++k) {
            st.aligned[k].assign(row3, 0);
            st.alignedAge[k].assign(w, 0);
            st.dY[k].assign(w, 0);
            st.dC1[k].assign(w, 0);
            st.dC2[k].assign(w, 0);
        }
        st.column.assign(row3, 0);
        st.colY.assign(w, 0);
        st.colC1.assign(w, 0);
        st.colC2.assign(w, 0);
    }

    // Camera movement and noise.
    const Shift shift = st.motion.Estimate(frame, shape.rowbytes, w, h);
    if (st.started) {
        const int dx = static_cast<int>(std::lround(shift.x4 / 4.0)), dy = static_cast<int>(std::lround(shift.y4 / 4.0));
        st.noise.Update(frame, shape.rowbytes, st.prev.data(), row3, w, h, dx, dy);
    } else {
        st.noise.UpdateSingle(frame, shape.rowbytes, w, h);
    }
    const NoiseSpread& spread = st.noise.Spread();
    const int cap = CapForStrength(strength);

    // Tables for this frame.
    for (int i = 0; i < kZSize; ++i) {
        const double z = static_cast<double>(i) / kZScale;
        const double t = std::clamp((kZHigh - z) / (kZHigh - kZLow), 0.0, 1.0);
        st.keep[i] = static_cast<int>(std::lround(256 * t * t * (3 - 2 * t)));
    }
    st.recip[0] = 32768;
    for (int n = 1; n < 256; ++n)
        st.recip[n] = 32768 / n;
    for (int n = 0; n < 256; ++n)
        st.spatial[n] = strength <= 0 ? 0 : static_cast<int>(std::lround(256 * std::exp2(-std::max(0, n - 1))));
    const double sigma = std::max(spread.level, 0.5);
    for (int d = 0; d <= 1020; ++d) {
        const double t = d / (kRangeScale * sigma);
        st.range[d] = static_cast<int>(std::lround(256 * std::exp(-0.5 * t * t)));
    }
    // Expected spreads of the 3x3 difference sums against a history of
    // many frames (half the spread of two frames), in history units.
    const double floorVar = 0.25;
    const double vY = std::max(spread.luma, 54 * floorVar) * kOne * kOne;
    const double vR = std::max(spread.red, 36 * floorVar) * kOne * kOne;
    const double vB = std::max(spread.blue, 108 * floorVar) * kOne * kOne;
    const float kY = static_cast<float>(1.0 / vY), kR = static_cast<float>(1.0 / vR), kB = static_cast<float>(1.0 / vB);
    // The light change, applied to the history: gain in 1/4096.
    int gain[3], offset[3];
    for (int c = 0; c < 3; ++c) {
        gain[c] = static_cast<int>(std::lround(std::clamp(st.noise.Light().gain[c], 0.5, 2.0) * 4096));
        offset[c] = static_cast<int>(std::lround(std::clamp(st.noise.Light().offset[c], -255.0, 255.0) * kOne));
    }

    // History row y moved onto the frame's row y, to a quarter pixel:
    // Catmull-Rom cubic taps in 1/128 for the offsets 0, 1/4, 1/2, 3/4. A
    // cubic keeps fine detail that a bilinear mix would blur a little more
    // with every frame of a slow pan. Beyond the picture's edge the edge
    // pixels stand in; pixels whose source lies outside have no history.
    static constexpr int kTaps[4][4] = {{0, 128, 0, 0}, {-9, 111, 29, -3}, {-8, 72, 72, -8}, {-3, 29, 111, -9}};
    const auto alignRow = [&](int y, int slot) {
        std::int32_t* a = st.aligned[slot].data();
        std::uint8_t* aa = st.alignedAge[slot].data();
        const int sy4 = y * 4 + shift.y4;
        const int iy = sy4 >> 2, fy = sy4 & 3;
        const bool rowsIn = st.started && iy >= 0 && iy + (fy > 0) < h;
        if (rowsIn && (shift.x4 != 0 || shift.y4 != 0)) {
            // Vertical taps into a row of w pixels, in 1/128.
            std::int32_t* col = st.column.data();
            const std::uint16_t* rows[4];
            for (int k = 0; k < 4; ++k)
                rows[k] = st.hist.data() + static_cast<std::size_t>(std::clamp(iy - 1 + k, 0, h - 1)) * row3;
            const int* t = kTaps[fy];
            for (std::size_t i = 0; i < row3; ++i)
                col[i] = t[0] * rows[0][i] + t[1] * rows[1][i] + t[2] * rows[2][i] + t[3] * rows[3][i];
        }
        const std::uint8_t* ageA = st.age.data() + static_cast<std::size_t>(std::max(iy, 0)) * w;
        const std::uint8_t* ageB = ageA + (fy > 0 ? w : 0);
        if (rowsIn && shift.x4 == 0 && shift.y4 == 0) {
            // A still camera: the history is where it was.
            const std::uint16_t* hr = st.hist.data() + static_cast<std::size_t>(iy) * row3;
            std::memcpy(aa, ageA, static_cast<std::size_t>(w));
            for (int x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c)
                    a[x * 3 + c] = aa[x] == 0 ? 0 : std::clamp(((hr[x * 3 + c] * gain[c] + 2048) >> 12) + offset[c], 0, 255 << kFrac);
        }
        for (int x = 0; x < w && !(rowsIn && shift.x4 == 0 && shift.y4 == 0); ++x) {
            const int sx4 = x * 4 + shift.x4;
            const int ix = sx4 >> 2, fx = sx4 & 3;
            int ag = 0;
            if (rowsIn && ix >= 0 && ix + (fx > 0) < w) {
                const int i1 = ix + (fx > 0);
                ag = std::min(std::min(ageA[ix], ageA[i1]), std::min(ageB[ix], ageB[i1]));
            }
            aa[x] = static_cast<std::uint8_t>(ag);
            if (ag == 0) {
                a[x * 3] = a[x * 3 + 1] = a[x * 3 + 2] = 0;
                continue;
            }
            const int* t = kTaps[fx];
            const std::int32_t* c0 = &st.column[static_cast<std::size_t>(std::max(ix - 1, 0)) * 3];
            const std::int32_t* c1 = &st.column[static_cast<std::size_t>(ix) * 3];
            const std::int32_t* c2 = &st.column[static_cast<std::size_t>(std::min(ix + 1, w - 1)) * 3];
            const std::int32_t* c3 = &st.column[static_cast<std::size_t>(std::min(ix + 2, w - 1)) * 3];
            for (int c = 0; c < 3; ++c) {
                const int v = (t[0] * c0[c] + t[1] * c1[c] + t[2] * c2[c] + t[3] * c3[c] + 8192) >> 14;
                a[x * 3 + c] = std::clamp(((v * gain[c] + 2048) >> 12) + offset[c], 0, 255 << kFrac);
            }
        }
        std::int32_t* yv = st.dY[slot].data();
        std::int32_t* c1 = st.dC1[slot].data();
        std::int32_t* c2 = st.dC2[slot].data();
        const std::uint8_t* f = frame + static_cast<std::size_t>(y) * shape.rowbytes;
        for (int x = 0; x < w; ++x) {
            if (aa[x] == 0) {
                yv[x] = c1[x] = c2[x] = 0;
                continue;
            }
            const int db = (f[x * 3] << kFrac) - a[x * 3];
            const int dg = (f[x * 3 + 1] << kFrac) - a[x * 3 + 1];
            const int dr = (f[x * 3 + 2] << kFrac) - a[x * 3 + 2];
            yv[x] = db + dg + dr;
            c1[x] = dr - dg;
            c2[x] = 2 * db - dr - dg;
        }
    };

    constexpr int sRadius = kSpatialRadius;
    constexpr double sSigma = kSpatialSigma;
    std::vector<int> sw((2 * sRadius + 1) * (2 * sRadius + 1));
    for (int j = -sRadius; j <= sRadius; ++j)
        for (int i = -sRadius; i <= sRadius; ++i)
            sw[(j + sRadius) * (2 * sRadius + 1) + i + sRadius] =
                static_cast<int>(std::lround(256 * std::exp(-(i * i + j * j) / (2 * sSigma * sSigma))));

    alignRow(0, 0);
    if (h > 1)
        alignRow(1, 1);
    for (int y = 0; y < h; ++y) {
        if (y + 2 < h)
            alignRow(y + 2, (y + 2) % 3);
        const int sm = (y > 0 ? y - 1 : y) % 3, s0 = y % 3, sp = (y + 1 < h ? y + 1 : y) % 3;
        // Column sums of three rows, then three columns.
        for (int x = 0; x < w; ++x) {
            st.colY[x] = st.dY[sm][x] + st.dY[s0][x] + st.dY[sp][x];
            st.colC1[x] = st.dC1[sm][x] + st.dC1[s0][x] + st.dC1[sp][x];
            st.colC2[x] = st.dC2[sm][x] + st.dC2[s0][x] + st.dC2[sp][x];
        }
        const std::uint8_t* f = frame + static_cast<std::size_t>(y) * shape.rowbytes;
        std::uint8_t* o = out + static_cast<std::size_t>(y) * shape.rowbytes;
        const std::int32_t* a = st.aligned[s0].data();
        const std::uint8_t* aa = st.alignedAge[s0].data();
        std::uint16_t* hn = st.histNext.data() + static_cast<std::size_t>(y) * row3;
        std::uint8_t* an = st.ageNext.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            const int xl = x > 0 ? x - 1 : x, xr = x + 1 < w ? x + 1 : x;
            const int A = aa[x];
            int n = 1;
            if (A > 0) {
                const float bY = static_cast<float>(st.colY[xl] + st.colY[x] + st.colY[xr]);
                const float b1 = static_cast<float>(st.colC1[xl] + st.colC1[x] + st.colC1[xr]);
                const float b2 = static_cast<float>(st.colC2[xl] + st.colC2[x] + st.colC2[xr]);
                // Against a history of A frames the difference spreads by
                // (1 + 1/A) / 2 of two frames'.
                const float z = (bY * bY * kY + b1 * b1 * kR + b2 * b2 * kB) * (2.0f * A / (A + 1));
                const int zi = z < static_cast<float>(kZSize - 1) / kZScale ? static_cast<int>(z * kZScale) : kZSize - 1;
                n = std::min(cap, ((st.keep[zi] * A + 128) >> 8) + 1);
            }
            an[x] = static_cast<std::uint8_t>(n);
            const int r = st.recip[n];
            int t[3];
            for (int c = 0; c < 3; ++c) {
                const int fv = f[x * 3 + c] << kFrac;
                const int hv = A > 0 ? a[x * 3 + c] : fv;
                const int nv = hv + static_cast<int>((static_cast<std::int64_t>(fv - hv) * r + 16384) >> 15);
                hn[x * 3 + c] = static_cast<std::uint16_t>(nv);
                t[c] = (nv + (kOne >> 1)) >> kFrac;
            }
            const int ws = st.spatial[n];
            if (ws > 0) {
                int sum[3] = {0, 0, 0}, wsum = 0;
                const int y0 = std::max(0, y - sRadius), y1 = std::min(h - 1, y + sRadius);
                const int x0 = std::max(0, x - sRadius), x1 = std::min(w - 1, x + sRadius);
                const int pb = f[x * 3], pg = f[x * 3 + 1], pr = f[x * 3 + 2];
                for (int yy = y0; yy <= y1; ++yy) {
                    const std::uint8_t* q = frame + static_cast<std::size_t>(yy) * shape.rowbytes;
                    const int* swr = &sw[(yy - y + sRadius) * (2 * sRadius + 1) + sRadius - x];
                    for (int xx = x0; xx <= x1; ++xx) {
                        const int qb = q[xx * 3], qg = q[xx * 3 + 1], qr = q[xx * 3 + 2];
                        const int d = std::abs(qb - pb) + 2 * std::abs(qg - pg) + std::abs(qr - pr);
                        const int wq = (swr[xx] * st.range[d]) >> 8;
                        sum[0] += wq * qb;
                        sum[1] += wq * qg;
                        sum[2] += wq * qr;
                        wsum += wq;
                    }
                }
                for (int c = 0; c < 3; ++c) {
                    const int s = wsum > 0 ? (sum[c] + wsum / 2) / wsum : f[x * 3 + c];
                    const int wv = std::min(ws, 256);
                    t[c] = (wv * s + (256 - wv) * t[c] + 128) >> 8;
                }
            }
            for (int c = 0; c < 3; ++c)
                o[x * 3 + c] = static_cast<std::uint8_t>(t[c]);
        }
    }
    std::swap(st.hist, st.histNext);
    std::swap(st.age, st.ageNext);
    for (int y = 0; y < h; ++y)
        std::memcpy(st.prev.data() + static_cast<std::size_t>(y) * row3, frame + static_cast<std::size_t>(y) * shape.rowbytes, row3);
    st.started = true;
}

void AutoSmoother::Reset()
{
    State& st = *state_;
    st.shape = FrameShape{};
    st.started = false;
    st.motion.Reset();
    st.noise.Reset();
}

double AutoSmoother::NoiseLevel() const
{
    return state_->noise.Spread().level;
}

} // namespace denoise
