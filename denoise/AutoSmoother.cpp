#include "denoise/AutoSmoother.h"

#include "denoise/AutoRows.h"

#include "denoise/BandPool.h"
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

// What one band of rows works with: rows on the way, and the frame's rows
// as planes for the spatial smoothing.
struct AutoSmoother::Scratch {
    // Rows on the way, three of each (the 3x3 sums need the rows around).
    std::array<std::vector<std::uint16_t>, 3> aligned; // history moved onto the frame, per byte
    std::array<std::vector<std::uint8_t>, 3> alignedAge;
    std::array<const std::uint16_t*, 3> alignedRow{}; // the aligned row, or the history's own
    std::array<std::vector<std::int32_t>, 3> dY, dC1, dC2, dE;
    std::vector<std::int32_t> colY, colC1, colC2, colE, sumY, sumC1, sumC2, sumE;
    std::vector<std::int32_t> column;  // one history row after the vertical taps, edge pixels repeated
    std::vector<std::int32_t> between; // the same after the horizontal taps
    std::vector<std::int32_t> share;   // per byte: the frame's share of the new value
    std::array<std::vector<std::int32_t>, 4> spatialSums; // B, G, R and weight sums of a row
    // The frame's rows as planes for the spatial smoothing, five at a time:
    // B, G and R of row planeRow[k] in planes[k].
    std::array<std::vector<std::int32_t>, 2 * kSpatialRadius + 1> planes;
    std::array<int, 2 * kSpatialRadius + 1> planeRow{};

    void size(int w)
    {
        const std::size_t row3 = static_cast<std::size_t>(w) * 3;
        for (int i = 0; i < 3; ++i) {
            aligned[i].assign(row3, 0);
            alignedAge[i].assign(w, 0);
            dY[i].assign(w, 0);
            dC1[i].assign(w, 0);
            dC2[i].assign(w, 0);
            dE[i].assign(w, 0);
        }
        for (auto* v : {&colY, &colC1, &colC2, &colE, &sumY, &sumC1, &sumC2, &sumE})
            v->assign(w, 0);
        column.assign(static_cast<std::size_t>(w + 3) * 3, 0);
        between.assign(row3, 0);
        share.assign(row3, 0);
        for (auto& v : spatialSums)
            v.assign(w, 0);
        for (auto& v : planes)
            v.assign(row3, 0);
    }
};

// What a frame's bands share; written before they start, read by all.
struct AutoSmoother::FrameJob {
    const std::uint8_t* frame;
    std::uint8_t* out;
    FrameShape shape;
    Shift shift;
    bool still, relit;
    bool partsMoved; // blocks that moved on their own are read where they were
    int gx, gy;      // the camera's shift in whole pixels
    autorows::WeightRule rule;
    int spatialUpTo;
};

struct AutoSmoother::State {
    explicit State(int threads) : pool(threads), scratch(static_cast<std::size_t>(pool.Threads())) {}

    FrameShape shape;
    std::vector<std::uint16_t> hist, histNext; // per byte, levels << kFrac
    std::vector<std::uint8_t> age, ageNext;    // per pixel: frames in the history, 0 = none
    bool started = false;
    GlobalMotion motion;
    BlockMotion parts;
    NoiseEstimator noise;

    std::vector<std::int32_t> gain, offset; // the light change per byte of a row
    float rangeScale = 0;            // of the range weight, see autorows::SpatialWindow
    std::array<int, 25> distance{};  // 5x5 place -> distance weight 0..256

    BandPool pool;
    std::vector<Scratch> scratch; // one per band
};

AutoSmoother::AutoSmoother(Path path, int threads)
    : rows_(autorows::KernelsFor(path)), state_(std::make_unique<State>(threads))
{
}

int AutoSmoother::Threads() const
{
    return state_->pool.Threads();
}

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
        for (Scratch& sc : st.scratch)
            sc.size(w);
        st.gain.assign(row3, 0);
        st.offset.assign(row3, 0);
        for (int j = -kSpatialRadius; j <= kSpatialRadius; ++j)
            for (int i = -kSpatialRadius; i <= kSpatialRadius; ++i)
                st.distance[(j + kSpatialRadius) * (2 * kSpatialRadius + 1) + i + kSpatialRadius] =
                    static_cast<int>(std::lround(256 * std::exp(-(i * i + j * j) / (2 * kSpatialSigma * kSpatialSigma))));
    }

    // Camera movement, a small one held against the blocks' vote; the parts
    // that moved otherwise (a head, a hand); the noise.
    Shift shift = st.motion.Estimate(frame, shape.rowbytes, w, h, &st.pool);
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

    // The per-pixel work, in bands of rows. Each band aligns the rows it
    // needs on its own, one above and below it included, so that no row's
    // bytes depend on where the bands meet.
    const bool still = shift.x4 == 0 && shift.y4 == 0;
    // Blocks that moved on their own are followed only while the camera
    // stands still (a video call): under a pan the history is already read
    // between pixels, closer than a whole-pixel vector could; and not across
    // a change of light, which the vectors do not see.
    const bool partsMoved = still && !relit && st.started && st.parts.Departures() > 0;
    FrameJob job{frame, out, shape, shift, still, relit, partsMoved, gx, gy, rule, spatialUpTo};
    const int bands = st.pool.Threads();
    auto work = [&](int band) {
        const int y0 = static_cast<int>(static_cast<long long>(h) * band / bands);
        const int y1 = static_cast<int>(static_cast<long long>(h) * (band + 1) / bands);
        if (y0 < y1)
            processRows(job, st.scratch[static_cast<std::size_t>(band)], y0, y1);
    };
    st.pool.Run(work);
    std::swap(st.hist, st.histNext);
    std::swap(st.age, st.ageNext);
    st.started = true;
}

void AutoSmoother::processRows(const FrameJob& job, Scratch& sc, int y0, int y1)
{
    State& st = *state_;
    const autorows::Kernels& k = rows_;
    const int w = job.shape.width, h = job.shape.height;
    const int row3 = w * 3;

    // History row y moved onto the frame's row y, to a quarter pixel:
    // Catmull-Rom cubic taps in 1/128 for the offsets 0, 1/4, 1/2, 3/4. A
    // cubic keeps fine detail that a bilinear mix would blur a little more
    // with every frame of a slow pan. Beyond the picture's edge the edge
    // pixels stand in; pixels whose source lies outside have no history.
    static constexpr int kTaps[4][4] = {{0, 128, 0, 0}, {-9, 111, 29, -3}, {-8, 72, 72, -8}, {-3, 29, 111, -9}};
    const auto alignRow = [&](int y, int slot) {
        std::uint16_t* a = sc.aligned[slot].data();
        std::uint8_t* aa = sc.alignedAge[slot].data();
        const int sy4 = y * 4 + job.shift.y4;
        const int iy = sy4 >> 2, fy = sy4 & 3;
        const bool rowsIn = st.started && iy >= 0 && iy + (fy > 0) < h;
        sc.alignedRow[slot] = a;
        if (!rowsIn) {
            std::memset(aa, 0, static_cast<std::size_t>(w));
        } else if (job.still) {
            // A still camera: the history is where it was.
            const std::uint16_t* hr = st.hist.data() + static_cast<std::size_t>(iy) * row3;
            std::memcpy(aa, st.age.data() + static_cast<std::size_t>(iy) * w, static_cast<std::size_t>(w));
            if (job.relit)
                k.relightHistory(hr, st.gain.data(), st.offset.data(), row3, a);
            else
                sc.alignedRow[slot] = hr;
        } else {
            const std::uint16_t* rows[4];
            for (int r = 0; r < 4; ++r)
                rows[r] = st.hist.data() + static_cast<std::size_t>(std::clamp(iy - 1 + r, 0, h - 1)) * row3;
            std::int32_t* col = sc.column.data() + 3;
            k.verticalTaps(rows[0], rows[1], rows[2], rows[3], kTaps[fy], row3, col);
            for (int c = 0; c < 3; ++c) {
                col[c - 3] = col[c];
                col[row3 + c] = col[row3 + 3 + c] = col[row3 - 3 + c];
            }
            const int ox = job.shift.x4 >> 2, fx = job.shift.x4 & 3;
            // Pixels whose whole source lies in the picture.
            const int x0 = std::max(0, -ox), x1 = std::min(w, w - ox - (fx > 0));
            const std::uint8_t* ageA = st.age.data() + static_cast<std::size_t>(iy) * w;
            const std::uint8_t* ageB = ageA + (fy > 0 ? w : 0);
            std::memset(aa, 0, static_cast<std::size_t>(w));
            // Outside the source's reach there is no history; its values
            // only need to be in range.
            const int reachLo = std::min(x0, w), reachHi = std::clamp(x1, reachLo, w);
            std::fill(sc.between.begin(), sc.between.begin() + reachLo * 3, 0);
            std::fill(sc.between.begin() + reachHi * 3, sc.between.end(), 0);
            if (x1 > x0) {
                const int i1 = fx > 0 ? 1 : 0;
                for (int x = x0; x < x1; ++x) {
                    const int ix = x + ox;
                    aa[x] = std::min(std::min(ageA[ix], ageA[ix + i1]), std::min(ageB[ix], ageB[ix + i1]));
                }
                k.horizontalTaps(col + (x0 + ox) * 3, kTaps[fx], (x1 - x0) * 3, sc.between.data() + x0 * 3);
            }
            k.relight(sc.between.data(), st.gain.data(), st.offset.data(), row3, a);
        }
        // Blocks that moved on their own read the history where they were,
        // to the whole pixel.
        if (job.partsMoved) {
            const BlockMotion::Vector* vs = st.parts.RowOfBlocks(y);
            for (int bx = 0; bx < st.parts.Columns(); ++bx) {
                const BlockMotion::Vector v = vs[bx];
                if (v.dx == job.gx && v.dy == job.gy)
                    continue;
                if (sc.alignedRow[slot] != a) {
                    std::memcpy(a, sc.alignedRow[slot], static_cast<std::size_t>(row3) * sizeof(std::uint16_t));
                    sc.alignedRow[slot] = a;
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
                std::memcpy(a + lo * 3, st.hist.data() + from,
                            static_cast<std::size_t>(hi - lo) * 3 * sizeof(std::uint16_t));
            }
        }
        const std::uint8_t* f = job.frame + static_cast<std::size_t>(y) * job.shape.rowbytes;
        k.differences(f, sc.alignedRow[slot], aa, w, sc.dY[slot].data(), sc.dC1[slot].data(), sc.dC2[slot].data(),
                      sc.dE[slot].data());
    };

    // Rows y - 1, y and y + 1 are aligned in three slots while row y is
    // worked on: row y + 1 takes the slot of row y - 2.
    sc.planeRow.fill(-1);
    if (y0 > 0)
        alignRow(y0 - 1, (y0 - 1) % 3);
    alignRow(y0, y0 % 3);
    for (int y = y0; y < y1; ++y) {
        if (y + 1 < h)
            alignRow(y + 1, (y + 1) % 3);
        const int sm = (y > 0 ? y - 1 : y) % 3, s0 = y % 3, sp = (y + 1 < h ? y + 1 : y) % 3;
        // Sums of three rows, then of three columns.
        k.addRows(sc.dY[sm].data(), sc.dY[s0].data(), sc.dY[sp].data(), w, sc.colY.data());
        k.addRows(sc.dC1[sm].data(), sc.dC1[s0].data(), sc.dC1[sp].data(), w, sc.colC1.data());
        k.addRows(sc.dC2[sm].data(), sc.dC2[s0].data(), sc.dC2[sp].data(), w, sc.colC2.data());
        k.addNeighbours(sc.colY.data(), w, sc.sumY.data());
        k.addNeighbours(sc.colC1.data(), w, sc.sumC1.data());
        k.addNeighbours(sc.colC2.data(), w, sc.sumC2.data());
        k.addRows(sc.dE[sm].data(), sc.dE[s0].data(), sc.dE[sp].data(), w, sc.colE.data());
        k.addNeighbours(sc.colE.data(), w, sc.sumE.data());

        const std::uint8_t* f = job.frame + static_cast<std::size_t>(y) * job.shape.rowbytes;
        std::uint8_t* o = job.out + static_cast<std::size_t>(y) * job.shape.rowbytes;
        std::uint16_t* hn = st.histNext.data() + static_cast<std::size_t>(y) * row3;
        std::uint8_t* an = st.ageNext.data() + static_cast<std::size_t>(y) * w;
        k.frameCounts(sc.sumY.data(), sc.sumC1.data(), sc.sumC2.data(), sc.sumE.data(), sc.alignedAge[s0].data(), w,
                      job.rule, an, sc.share.data());
        k.blend(f, sc.alignedRow[s0], sc.share.data(), row3, hn, o);

        // Where a pixel has little history, an edge-preserving filter of the
        // frame is blended in. It is worked out for whole stretches of
        // pixels around those that need it, so that the loops stay long.
        if (job.spatialUpTo > 0)
            smoothInSpace(job, sc, y, an, o);
    }
}

void AutoSmoother::smoothInSpace(const FrameJob& job, Scratch& sc, int y, const std::uint8_t* count, std::uint8_t* out)
{
    const State& st = *state_;
    const int w = job.shape.width, h = job.shape.height;
    const int upTo = job.spatialUpTo;
    if (rows_.leastCount(count, w) > upTo)
        return;
    autorows::SpatialWindow win{};
    for (int j = 0; j <= 2 * kSpatialRadius; ++j) {
        const int yy = y - kSpatialRadius + j;
        if (yy < 0 || yy >= h)
            continue;
        // Each row is made planes once a frame, and kept while it is near.
        const int k = yy % (2 * kSpatialRadius + 1);
        std::int32_t* planes = sc.planes[k].data();
        if (sc.planeRow[k] != yy) {
            rows_.planes(job.frame + static_cast<std::size_t>(yy) * job.shape.rowbytes, w, planes, planes + w,
                         planes + 2 * w);
            sc.planeRow[k] = yy;
        }
        win.b[j] = planes;
        win.g[j] = planes + w;
        win.r[j] = planes + 2 * w;
    }
    win.distance = st.distance.data();
    win.rangeScale = st.rangeScale;
    std::int32_t* const sums[4] = {sc.spatialSums[0].data(), sc.spatialSums[1].data(), sc.spatialSums[2].data(),
                                   sc.spatialSums[3].data()};
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
