#include "denoise/AutoSmoother.h"

#include "denoise/AutoRows.h"

#include "denoise/BlockMotion.h"
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

// Temporal weight: how much of its history a pixel keeps, by the normalised
// difference z, the sum of the squared 3x3 luma difference and both squared
// 3x3 chroma differences, each over its expected spread for pure noise:
// about 3 on a still part. Where the weight falls from keeping all history
// to keeping none:
constexpr double kZLow = 8, kZHigh = 30;
// The squared luma differences of the 3x3 window, over their sum for pure
// noise (about 1, rarely above 2): what they exceed that by weighs into z,
// so a fine pattern read beside its place is not averaged away.
constexpr double kEnergyFloor = 2, kEnergyWeight = 8;
// Spatial smoothing (see autorows::kSpatialRadius): distance weight a
// Gaussian of 1.5 pixels, range weight a Gaussian of 4 noise levels in the
// B + 2G + R distance.
using autorows::kSpatialRadius;
using autorows::kSpatialUpTo;
constexpr double kSpatialSigma = 1.5;
constexpr double kRangeScale = 4.0;

} // namespace

struct AutoSmoother::State {
    FrameShape shape;
    std::vector<std::uint16_t> hist, histNext; // per byte, levels << kFrac
    std::vector<std::uint8_t> age, ageNext;    // per pixel: frames in the history, 0 = none
    bool started = false;
    GlobalMotion motion;
    BlockMotion parts;
    NoiseEstimator noise;

    // Rows on the way, three of each (the 3x3 sums need the rows around).
    std::array<std::vector<std::uint16_t>, 3> aligned; // history moved onto the frame, per byte
    std::array<std::vector<std::uint8_t>, 3> alignedAge;
    std::array<const std::uint16_t*, 3> alignedRow{}; // the aligned row, or the history's own
    std::array<std::vector<std::int32_t>, 3> dY, dC1, dC2, dE;
    std::vector<std::int32_t> colY, colC1, colC2, colE, sumY, sumC1, sumC2, sumE;
    std::vector<std::int32_t> column;  // one history row after the vertical taps, edge pixels repeated
    std::vector<std::int32_t> between; // the same after the horizontal taps
    std::vector<std::int32_t> share;   // per byte: the frame's share of the new value
    std::vector<std::int32_t> gain, offset; // the light change per byte of a row

    float rangeScale = 0;            // of the range weight, see autorows::SpatialWindow
    std::array<int, 25> distance{};  // 5x5 place -> distance weight 0..256
    std::array<std::vector<std::int32_t>, 4> spatialSums; // B, G, R and weight sums of a row
    // The frame's rows as planes for the spatial smoothing, five at a time:
    // B, G and R of row planeRow[k] in planes[k].
    std::array<std::vector<std::int32_t>, 2 * kSpatialRadius + 1> planes;
    std::array<int, 2 * kSpatialRadius + 1> planeRow{};
};

AutoSmoother::AutoSmoother(Path path) : rows_(autorows::KernelsFor(path)), state_(std::make_unique<State>()) {}

AutoSmoother::~AutoSmoother() = default;

int AutoSmoother::CapForStrength(int strength)
{
    const int s = std::clamp(strength, 0, 95);
    if (s == 0)
        return 1;
    // At least two: with one frame, a still pixel could not be told from one
    // that moved.
    return std::clamp(static_cast<int>(std::lround(std::exp2(s / 10.0))), 2, 255);
}

void AutoSmoother::Process(const std::uint8_t* frame, std::uint8_t* out, const FrameShape& shape, int strength)
{
    State& st = *state_;
    const autorows::Kernels& k = rows_;
    if (!(shape == st.shape) || !st.started) {
        Reset();
        st.shape = shape;
    }
    const int w = shape.width, h = shape.height;
    if (w <= 0 || h <= 0 || shape.rowbytes < static_cast<std::size_t>(w) * 3 || frame == nullptr || out == nullptr)
        return;
    const int row3 = w * 3;
    const std::size_t pixels = static_cast<std::size_t>(w) * h;
    if (!st.started) {
        st.hist.assign(pixels * 3, 0);
        st.histNext.assign(pixels * 3, 0);
        st.age.assign(pixels, 0);
        st.ageNext.assign(pixels, 0);
        for (int i = 0; i < 3; ++i) {
            st.aligned[i].assign(row3, 0);
            st.alignedAge[i].assign(w, 0);
            st.dY[i].assign(w, 0);
            st.dC1[i].assign(w, 0);
            st.dE[i].assign(w, 0);
            st.dC2[i].assign(w, 0);
        }
        for (auto* v : {&st.colY, &st.colC1, &st.colC2, &st.colE, &st.sumY, &st.sumC1, &st.sumC2, &st.sumE})
            v->assign(w, 0);
        st.column.assign(static_cast<std::size_t>(w + 3) * 3, 0);
        st.between.assign(row3, 0);
        st.share.assign(row3, 0);
        st.gain.assign(row3, 0);
        st.offset.assign(row3, 0);
        for (auto& v : st.spatialSums)
            v.assign(w, 0);
        for (auto& v : st.planes)
            v.assign(static_cast<std::size_t>(w) * 3, 0);
        for (int j = -kSpatialRadius; j <= kSpatialRadius; ++j)
            for (int i = -kSpatialRadius; i <= kSpatialRadius; ++i)
                st.distance[(j + kSpatialRadius) * (2 * kSpatialRadius + 1) + i + kSpatialRadius] =
                    static_cast<int>(std::lround(256 * std::exp(-(i * i + j * j) / (2 * kSpatialSigma * kSpatialSigma))));
    }

    // Camera movement, a small one held against the blocks' vote; the parts
    // that moved otherwise (a head, a hand); the noise.
    Shift shift = st.motion.Estimate(frame, shape.rowbytes, w, h);
    int gx = static_cast<int>(std::lround(shift.x4 / 4.0)), gy = static_cast<int>(std::lround(shift.y4 / 4.0));
    st.parts.Estimate(frame, shape.rowbytes, w, h, gx, gy, st.noise.Spread().level);
    if (st.parts.CameraStill()) {
        shift = Shift{};
        gx = gy = 0;
    }
    if (st.started)
        st.noise.Update(frame, shape.rowbytes, w, h, gx, gy);
    else
        st.noise.UpdateSingle(frame, shape.rowbytes, w, h);
    const NoiseSpread& spread = st.noise.Spread();

    // Tables and rules for this frame.
    const double sigma = std::max(spread.level, 0.5);
    st.rangeScale = static_cast<float>(1.0 / (32 * (kRangeScale * sigma) * (kRangeScale * sigma)));
    // Expected spreads of the 3x3 difference sums against a history of
    // many frames (half the spread of two frames), in history units.
    const double floorVar = 0.25;
    const double vY = std::max(spread.luma, 54 * floorVar) * kOne * kOne;
    const double vR = std::max(spread.red, 36 * floorVar) * kOne * kOne;
    const double vB = std::max(spread.blue, 108 * floorVar) * kOne * kOne;
    autorows::WeightRule rule;
    rule.kY = static_cast<float>(1.0 / vY);
    rule.kR = static_cast<float>(1.0 / vR);
    rule.kB = static_cast<float>(1.0 / vB);
    // A pixel's luma difference spreads by at most a ninth of its 3x3 sum's
    // spread (less where the noise is coarser than a pixel); shifted down
    // by 6 bits, nine squares of it add up to vY / 4096 for pure noise.
    rule.kE = static_cast<float>(4096.0 / vY);
    rule.eFloor = static_cast<float>(kEnergyFloor);
    rule.eWeight = static_cast<float>(kEnergyWeight);
    rule.zHigh = static_cast<float>(kZHigh);
    rule.zSpan = static_cast<float>(kZHigh - kZLow);
    rule.cap = CapForStrength(strength);
    // Spatial smoothing stands in for the history a pixel lacks, up to the
    // history the strength allows: a pixel that has all of it (a still part
    // at a low strength) is left as time made it, never blurred for good.
    const int spatialUpTo = strength > 0 ? std::min(kSpatialUpTo, rule.cap - 1) : 0;
    // The light change, applied to the history: gain in 1/4096.
    bool relit = false;
    for (int c = 0; c < 3; ++c) {
        const int g = static_cast<int>(std::lround(std::clamp(st.noise.Light().gain[c], 0.5, 2.0) * 4096));
        const int o = static_cast<int>(std::lround(std::clamp(st.noise.Light().offset[c], -255.0, 255.0) * kOne));
        relit = relit || g != 4096 || o != 0;
        for (int x = 0; x < w; ++x) {
            st.gain[x * 3 + c] = g;
            st.offset[x * 3 + c] = o;
        }
    }
    const bool still = shift.x4 == 0 && shift.y4 == 0;
    // Blocks that moved on their own are followed only while the camera
    // stands still (a video call): under a pan the history is already read
    // between pixels, closer than a whole-pixel vector could; and not across
    // a change of light, which the vectors do not see.
    const bool partsMoved = still && !relit && st.parts.Departures() > 0;

    // History row y moved onto the frame's row y, to a quarter pixel:
    // Catmull-Rom cubic taps in 1/128 for the offsets 0, 1/4, 1/2, 3/4. A
    // cubic keeps fine detail that a bilinear mix would blur a little more
    // with every frame of a slow pan. Beyond the picture's edge the edge
    // pixels stand in; pixels whose source lies outside have no history.
    static constexpr int kTaps[4][4] = {{0, 128, 0, 0}, {-9, 111, 29, -3}, {-8, 72, 72, -8}, {-3, 29, 111, -9}};
    const auto alignRow = [&](int y, int slot) {
        std::uint16_t* a = st.aligned[slot].data();
        std::uint8_t* aa = st.alignedAge[slot].data();
        const int sy4 = y * 4 + shift.y4;
        const int iy = sy4 >> 2, fy = sy4 & 3;
        const bool rowsIn = st.started && iy >= 0 && iy + (fy > 0) < h;
        st.alignedRow[slot] = a;
        if (!rowsIn) {
            std::memset(aa, 0, static_cast<std::size_t>(w));
        } else if (still) {
            // A still camera: the history is where it was.
            const std::uint16_t* hr = st.hist.data() + static_cast<std::size_t>(iy) * row3;
            std::memcpy(aa, st.age.data() + static_cast<std::size_t>(iy) * w, static_cast<std::size_t>(w));
            if (relit)
                k.relightHistory(hr, st.gain.data(), st.offset.data(), row3, a);
            else
                st.alignedRow[slot] = hr;
        } else {
            const std::uint16_t* rows[4];
            for (int r = 0; r < 4; ++r)
                rows[r] = st.hist.data() + static_cast<std::size_t>(std::clamp(iy - 1 + r, 0, h - 1)) * row3;
            std::int32_t* col = st.column.data() + 3;
            k.verticalTaps(rows[0], rows[1], rows[2], rows[3], kTaps[fy], row3, col);
            for (int c = 0; c < 3; ++c) {
                col[c - 3] = col[c];
                col[row3 + c] = col[row3 + 3 + c] = col[row3 - 3 + c];
            }
            const int ox = shift.x4 >> 2, fx = shift.x4 & 3;
            // Pixels whose whole source lies in the picture.
            const int x0 = std::max(0, -ox), x1 = std::min(w, w - ox - (fx > 0));
            const std::uint8_t* ageA = st.age.data() + static_cast<std::size_t>(iy) * w;
            const std::uint8_t* ageB = ageA + (fy > 0 ? w : 0);
            std::memset(aa, 0, static_cast<std::size_t>(w));
            // Outside the source's reach there is no history; its values
            // only need to be in range.
            const int reachLo = std::min(x0, w), reachHi = std::clamp(x1, reachLo, w);
            std::fill(st.between.begin(), st.between.begin() + reachLo * 3, 0);
            std::fill(st.between.begin() + reachHi * 3, st.between.end(), 0);
            if (x1 > x0) {
                const int i1 = fx > 0 ? 1 : 0;
                for (int x = x0; x < x1; ++x) {
                    const int ix = x + ox;
                    aa[x] = std::min(std::min(ageA[ix], ageA[ix + i1]), std::min(ageB[ix], ageB[ix + i1]));
                }
                k.horizontalTaps(col + (x0 + ox) * 3, kTaps[fx], (x1 - x0) * 3, st.between.data() + x0 * 3);
            }
            k.relight(st.between.data(), st.gain.data(), st.offset.data(), row3, a);
        }
        // Blocks that moved on their own read the history where they were,
        // to the whole pixel.
        if (partsMoved && st.started) {
            const BlockMotion::Vector* vs = st.parts.RowOfBlocks(y);
            for (int bx = 0; bx < st.parts.Columns(); ++bx) {
                const BlockMotion::Vector v = vs[bx];
                if (v.dx == gx && v.dy == gy)
                    continue;
                if (st.alignedRow[slot] != a) {
                    std::memcpy(a, st.alignedRow[slot], static_cast<std::size_t>(row3) * sizeof(std::uint16_t));
                    st.alignedRow[slot] = a;
                }
                const int x0 = bx * BlockMotion::kBlock, x1 = std::min(w, x0 + BlockMotion::kBlock);
                const int sy = y + v.dy;
                const int lo = std::clamp(-v.dx, x0, x1), hi = std::clamp(w - v.dx, lo, x1);
                if (sy < 0 || sy >= h || lo >= hi) {
                    std::memset(aa + x0, 0, static_cast<std::size_t>(x1 - x0));
                    continue;
                }
                std::memset(aa + x0, 0, static_cast<std::size_t>(lo - x0));
                std::memset(aa + hi, 0, static_cast<std::size_t>(x1 - hi));
                const std::size_t from = static_cast<std::size_t>(sy) * row3 + static_cast<std::size_t>(lo + v.dx) * 3;
                std::memcpy(aa + lo, st.age.data() + static_cast<std::size_t>(sy) * w + lo + v.dx,
                            static_cast<std::size_t>(hi - lo));
                if (relit)
                    k.relightHistory(st.hist.data() + from, st.gain.data() + lo * 3, st.offset.data() + lo * 3,
                                     (hi - lo) * 3, a + lo * 3);
                else
                    std::memcpy(a + lo * 3, st.hist.data() + from, static_cast<std::size_t>(hi - lo) * 3 * sizeof(std::uint16_t));
            }
        }
        const std::uint8_t* f = frame + static_cast<std::size_t>(y) * shape.rowbytes;
        k.differences(f, st.alignedRow[slot], aa, w, st.dY[slot].data(), st.dC1[slot].data(), st.dC2[slot].data(),
                      st.dE[slot].data());
    };

    // Rows y - 1, y and y + 1 are aligned in three slots while row y is
    // worked on: row y + 1 takes the slot of row y - 2.
    st.planeRow.fill(-1);
    alignRow(0, 0);
    for (int y = 0; y < h; ++y) {
        if (y + 1 < h)
            alignRow(y + 1, (y + 1) % 3);
        const int sm = (y > 0 ? y - 1 : y) % 3, s0 = y % 3, sp = (y + 1 < h ? y + 1 : y) % 3;
        // Sums of three rows, then of three columns.
        k.addRows(st.dY[sm].data(), st.dY[s0].data(), st.dY[sp].data(), w, st.colY.data());
        k.addRows(st.dC1[sm].data(), st.dC1[s0].data(), st.dC1[sp].data(), w, st.colC1.data());
        k.addRows(st.dC2[sm].data(), st.dC2[s0].data(), st.dC2[sp].data(), w, st.colC2.data());
        k.addNeighbours(st.colY.data(), w, st.sumY.data());
        k.addNeighbours(st.colC1.data(), w, st.sumC1.data());
        k.addNeighbours(st.colC2.data(), w, st.sumC2.data());
        k.addRows(st.dE[sm].data(), st.dE[s0].data(), st.dE[sp].data(), w, st.colE.data());
        k.addNeighbours(st.colE.data(), w, st.sumE.data());

        const std::uint8_t* f = frame + static_cast<std::size_t>(y) * shape.rowbytes;
        std::uint8_t* o = out + static_cast<std::size_t>(y) * shape.rowbytes;
        std::uint16_t* hn = st.histNext.data() + static_cast<std::size_t>(y) * row3;
        std::uint8_t* an = st.ageNext.data() + static_cast<std::size_t>(y) * w;
        k.frameCounts(st.sumY.data(), st.sumC1.data(), st.sumC2.data(), st.sumE.data(), st.alignedAge[s0].data(), w,
                      rule, an, st.share.data());
        k.blend(f, st.alignedRow[s0], st.share.data(), row3, hn, o);

        // Where a pixel has little history, an edge-preserving filter of the
        // frame is blended in. It is worked out for whole stretches of
        // pixels around those that need it, so that the loops stay long.
        if (spatialUpTo > 0)
            smoothInSpace(frame, shape, y, an, spatialUpTo, o);
    }
    std::swap(st.hist, st.histNext);
    std::swap(st.age, st.ageNext);
    st.started = true;
}

void AutoSmoother::smoothInSpace(const std::uint8_t* frame, const FrameShape& shape, int y, const std::uint8_t* count,
                                 int upTo, std::uint8_t* out)
{
    State& st = *state_;
    const int w = shape.width, h = shape.height;
    if (rows_.leastCount(count, w) > upTo)
        return;
    autorows::SpatialWindow win{};
    for (int j = 0; j <= 2 * kSpatialRadius; ++j) {
        const int yy = y - kSpatialRadius + j;
        if (yy < 0 || yy >= h)
            continue;
        // Each row is made planes once a frame, and kept while it is near.
        const int k = yy % (2 * kSpatialRadius + 1);
        std::int32_t* planes = st.planes[k].data();
        if (st.planeRow[k] != yy) {
            rows_.planes(frame + static_cast<std::size_t>(yy) * shape.rowbytes, w, planes, planes + w, planes + 2 * w);
            st.planeRow[k] = yy;
        }
        win.b[j] = planes;
        win.g[j] = planes + w;
        win.r[j] = planes + 2 * w;
    }
    win.distance = st.distance.data();
    win.rangeScale = st.rangeScale;
    std::int32_t* const sums[4] = {st.spatialSums[0].data(), st.spatialSums[1].data(), st.spatialSums[2].data(),
                                   st.spatialSums[3].data()};
    // Stretches of 32 pixels that hold any pixel that needs it, taken
    // together where they follow each other; the few pixels at each edge,
    // whose window is cut, one at a time.
    constexpr int kStretch = 32;
    const auto needs = [&](int x0) { return rows_.leastCount(count + x0, std::min(w - x0, kStretch)) <= upTo; };
    for (int x0 = 0; x0 < w; x0 += kStretch) {
        if (!needs(x0))
            continue;
        int x1 = x0 + kStretch;
        while (x1 < w && needs(x1))
            x1 += kStretch;
        x1 = std::min(x1, w);
        const int inLo = std::max(x0, kSpatialRadius), inHi = std::min(x1, w - kSpatialRadius);
        if (inLo < inHi)
            rows_.spatialSums(win, inLo, inHi, -kSpatialRadius, kSpatialRadius, sums);
        for (int x = x0; x < x1; ++x)
            if (x < inLo || x >= inHi)
                rows_.spatialSums(win, x, x + 1, std::max(-kSpatialRadius, -x), std::min(kSpatialRadius, w - 1 - x),
                                  sums);
        rows_.spatialBlend(sums, count, upTo, x0, x1, out);
        x0 = x1 - kStretch;
    }
}

void AutoSmoother::Reset()
{
    State& st = *state_;
    st.shape = FrameShape{};
    st.started = false;
    st.motion.Reset();
    st.parts.Reset();
    st.noise.Reset();
}

double AutoSmoother::NoiseLevel() const
{
    return state_->noise.Spread().level;
}

} // namespace denoise
