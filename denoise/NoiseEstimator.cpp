#include "denoise/NoiseEstimator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace denoise {

namespace {

constexpr int kBlock = 32;     // pixels per block along a strip
constexpr int kStripEvery = 8; // a strip of three rows every this many rows
// Estimates are averaged over about this many frames.
constexpr int kMemory = 8;
// A block with more than one byte in this many at 0 or 255 (in either
// frame) is clipped: its noise is cut off, and it takes no part while
// enough other blocks are there.
constexpr int kClippedShare = 16;
// The fewest blocks that an estimate is made from.
constexpr int kFewest = 4;

double median(std::vector<double>& v)
{
    if (v.empty())
        return 0;
    const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), mid, v.end());
    return *mid;
}

} // namespace

void NoiseEstimator::Reset()
{
    smoothed_ = NoiseSpread{};
    light_ = LightChange{};
    updates_ = 0;
    fromTime_ = false;
    keptW_ = keptH_ = 0;
}

void NoiseEstimator::blend(const NoiseSpread& now, bool fromTime)
{
    // The first estimate from time replaces the one-frame guesses outright.
    if (fromTime && !fromTime_)
        updates_ = 0;
    fromTime_ = fromTime_ || fromTime;
    ++updates_;
    const double a = 1.0 / std::min(updates_, kMemory);
    // Variances are averaged, not deviations.
    const double var = smoothed_.level * smoothed_.level;
    smoothed_.level = std::sqrt(var + a * (now.level * now.level - var));
    smoothed_.luma += a * (now.luma - smoothed_.luma);
    smoothed_.red += a * (now.red - smoothed_.red);
    smoothed_.blue += a * (now.blue - smoothed_.blue);
}

void NoiseEstimator::Update(const std::uint8_t* cur, std::size_t curRow, int w, int h, int dx, int dy)
{
    // The light change holds for this pair of frames alone.
    light_ = LightChange{};
    if (keptW_ == w && keptH_ == h)
        measure(cur, curRow, w, h, dx, dy);
    else
        single(cur, curRow, w, h);
    keep(cur, curRow, w, h);
}

void NoiseEstimator::UpdateSingle(const std::uint8_t* cur, std::size_t curRow, int w, int h)
{
    light_ = LightChange{};
    single(cur, curRow, w, h);
    keep(cur, curRow, w, h);
}

void NoiseEstimator::keep(const std::uint8_t* cur, std::size_t curRow, int w, int h)
{
    // About as many strips on a large picture as on a small one: the
    // estimate needs a few thousand blocks, not every row.
    const int every = std::max(kStripEvery, kStripEvery * ((h + 180) / 360));
    keptCentres_.clear();
    for (int yc = 1 + kStripEvery / 2; yc < h - 1; yc += every)
        keptCentres_.push_back(yc);
    const std::size_t row3 = static_cast<std::size_t>(w) * 3;
    kept_.resize(keptCentres_.size() * 3 * row3);
    for (std::size_t k = 0; k < keptCentres_.size(); ++k)
        for (int r = 0; r < 3; ++r)
            std::memcpy(kept_.data() + (3 * k + r) * row3, cur + (keptCentres_[k] - 1 + r) * curRow, row3);
    keptW_ = w;
    keptH_ = h;
}

void NoiseEstimator::measure(const std::uint8_t* cur, std::size_t curRow, int w, int h, int dx, int dy)
{
    // The part of the frame whose 3x3 neighbourhoods exist in both frames.
    const int x0 = std::max(1, 1 - dx), x1 = std::min(w - 1, w - 1 - dx);
    blocks_.clear();
    const int span = x1 - x0;
    const std::size_t row3 = static_cast<std::size_t>(w) * 3;
    if (span >= kBlock) {
        // Per pixel of the three rows: the byte differences (pixel-major).
        // Then per pixel of the strip the luma and both chroma differences
        // summed over its column of three rows, so that a 3x3 sum is three
        // of those.
        std::vector<int>& d = rowBuf_;
        d.resize(static_cast<std::size_t>(3) * 3 * (span + 2));
        colBuf_.resize(static_cast<std::size_t>(3) * (span + 2));
        int* colY = colBuf_.data();
        int* colR = colY + (span + 2);
        int* colB = colR + (span + 2);
        const int stride = 3 * (span + 2);
        for (std::size_t k = 0; k < keptCentres_.size(); ++k) {
            // The previous frame's strip, and where it lies in this frame.
            const int yc = keptCentres_[k] - dy;
            if (yc < 1 || yc >= h - 1)
                continue;
            const std::uint8_t* strip = kept_.data() + 3 * k * row3;
            for (int r = 0; r < 3; ++r) {
                const std::uint8_t* c = cur + (yc - 1 + r) * curRow + (x0 - 1) * 3;
                const std::uint8_t* p = strip + r * row3 + (x0 - 1 + dx) * 3;
                int* out = d.data() + r * stride;
                for (int i = 0; i < stride; ++i)
                    out[i] = int(c[i]) - int(p[i]);
            }
            for (int i = 0; i < span + 2; ++i) {
                int Y = 0, R = 0, B = 0;
                for (int r = 0; r < 3; ++r) {
                    const int* px = &d[r * stride + i * 3];
                    Y += px[0] + px[1] + px[2];
                    R += px[2] - px[1];
                    B += 2 * px[0] - px[2] - px[1];
                }
                colY[i] = Y;
                colR[i] = R;
                colB[i] = B;
            }
            for (int bx = 0; bx + kBlock <= span; bx += kBlock) {
                long long s[3] = {0, 0, 0}, ss = 0, sb[3] = {0, 0, 0};
                int clippedBefore = 0, clippedNow = 0;
                for (int r = 0; r < 3; ++r) {
                    const std::uint8_t* p = strip + r * row3 + (x0 + bx + dx) * 3;
                    const std::uint8_t* c = cur + (yc - 1 + r) * curRow + (x0 + bx) * 3;
                    const int* dr = &d[r * stride + (bx + 1) * 3];
                    for (int i = 0; i < kBlock * 3; ++i) {
                        s[i % 3] += dr[i];
                        ss += dr[i] * dr[i];
                        sb[i % 3] += p[i];
                        // 0 and 255 are the two values for which v + 1
                        // wraps to at most 1.
                        clippedBefore += static_cast<std::uint8_t>(p[i] + 1) <= 1;
                        clippedNow += static_cast<std::uint8_t>(c[i] + 1) <= 1;
                    }
                }
                constexpr int kBytes = 3 * 3 * kBlock;
                const double n = 3.0 * kBlock;
                Block b{};
                b.clipped = std::max(clippedBefore, clippedNow) * kClippedShare > kBytes;
                for (int c = 0; c < 3; ++c) {
                    b.mean[c] = double(s[c]) / n;
                    b.before[c] = double(sb[c]) / n;
                }
                b.byteVar = (double(ss) - (double(s[0]) * double(s[0]) + double(s[1]) * double(s[1]) +
                                           double(s[2]) * double(s[2])) / n) / (3 * (n - 1));
                // Without any spread (each byte of the block changed alike,
                // if at all) the block shows no noise, which says nothing.
                if (!(b.byteVar > 1e-9))
                    continue;
                // 3x3 sums about the block's mean: mean removal cannot shrink
                // them as overlapping sums would shrink each other.
                const double mY = 9 * (b.mean[0] + b.mean[1] + b.mean[2]);
                const double mR = 9 * (b.mean[2] - b.mean[1]), mB = 9 * (2 * b.mean[0] - b.mean[2] - b.mean[1]);
                double sy = 0, sr = 0, sbl = 0;
                for (int i = bx; i < bx + kBlock; ++i) {
                    const int Y = colY[i] + colY[i + 1] + colY[i + 2];
                    const int R = colR[i] + colR[i + 1] + colR[i + 2];
                    const int B = colB[i] + colB[i + 1] + colB[i + 2];
                    sy += (Y - mY) * (Y - mY);
                    sr += (R - mR) * (R - mR);
                    sbl += (B - mB) * (B - mB);
                }
                b.lumaVar = sy / kBlock;
                b.redVar = sr / kBlock;
                b.blueVar = sbl / kBlock;
                blocks_.push_back(b);
            }
        }
    }
    // Clipped blocks take part in the level only where nothing else is left
    // (noise so strong that it is clipped everywhere): then they tell at
    // least that. Their mean change still tells how the light changed.
    const bool dropClipped =
        std::count_if(blocks_.begin(), blocks_.end(), [](const Block& b) { return !b.clipped; }) >= kFewest;
    order_.clear();
    for (const Block& b : blocks_)
        if (!(dropClipped && b.clipped))
            order_.push_back(b.byteVar);
    if (order_.size() < kFewest) {
        // Too small a picture or overlap to tell: keep what is known.
        if (updates_ == 0)
            single(cur, curRow, w, h);
        return;
    }
    const auto q = order_.begin() + static_cast<std::ptrdiff_t>(order_.size() / 4);
    std::nth_element(order_.begin(), q, order_.end());
    const double bar = 2 * *q;
    NoiseSpread now;
    double n = 0;
    quiet_.clear();
    for (const Block& b : blocks_) {
        if (b.byteVar > bar)
            continue;
        quiet_.push_back(&b);
        if (dropClipped && b.clipped)
            continue;
        now.level += b.byteVar;
        now.luma += b.lumaVar;
        now.red += b.redVar;
        now.blue += b.blueVar;
        n += 1;
    }
    if (n == 0)
        return;
    // Two frames' noise in every difference: half the variance is one frame's.
    now.level = std::sqrt(now.level / n / 2);
    now.luma /= n;
    now.red /= n;
    now.blue /= n;
    blend(now, true);
    fitLight();
}

void NoiseEstimator::fitLight()
{
    // Least squares of the mean change over the mean level, the slope pulled
    // towards 0 as if by blocks spread over a few levels at no change.
    constexpr double kPull = 100; // levels squared per block
    constexpr double kSignificance = 5; // standard errors
    for (int c = 0; c < 3; ++c) {
        double slope = 0, offset = 0;
        for (int pass = 0; pass < 2; ++pass) {
            double n = 0, sv = 0, sd = 0;
            for (const Block* b : quiet_) {
                if (pass == 1 && std::abs(b->mean[c] - (slope * b->before[c] + offset)) > 3 * smoothed_.level / 8 + 1)
                    continue;
                n += 1;
                sv += b->before[c];
                sd += b->mean[c];
            }
            if (n == 0)
                break;
            const double mv = sv / n, md = sd / n;
            double vv = 0, vd = 0;
            for (const Block* b : quiet_) {
                if (pass == 1 && std::abs(b->mean[c] - (slope * b->before[c] + offset)) > 3 * smoothed_.level / 8 + 1)
                    continue;
                vv += (b->before[c] - mv) * (b->before[c] - mv);
                vd += (b->before[c] - mv) * (b->mean[c] - md);
            }
            const double s = vd / (vv + kPull * n);
            const double o = md - s * mv;
            if (pass == 0) {
                slope = s;
                offset = o;
            } else {
                // A change within what the blocks' noise could fake is no
                // change: applied to the history every frame, such errors
                // would add up.
                double rr = 0, most = 0;
                for (const Block* b : quiet_) {
                    const double e = b->mean[c] - (s * b->before[c] + o);
                    rr += e * e;
                    most = std::max(most, std::abs(s * b->before[c] + o));
                }
                const bool real = most * most > kSignificance * kSignificance * rr / quiet_.size() / n;
                light_.gain[c] = real ? 1 + s : 1;
                light_.offset[c] = real ? o : 0;
            }
        }
    }
}

void NoiseEstimator::single(const std::uint8_t* cur, std::size_t curRow, int w, int h)
{
    if (fromTime_)
        return;
    // sigma = sqrt(pi / 2) / 6 * mean |I * M|, M = [1 -2 1; -2 4 -2; 1 -2 1].
    // Flat and clipped blocks take no part, as in the estimate from time.
    constexpr int kB = 16;
    levels_.clear();
    clippedLevels_.clear();
    for (int by = 1; by + kB <= h - 1; by += kB)
        for (int bx = 1; bx + kB <= w - 1; bx += kB) {
            double sum = 0;
            int clipped = 0;
            for (int y = by; y < by + kB; ++y) {
                const std::uint8_t* a = cur + (y - 1) * curRow;
                const std::uint8_t* m = cur + y * curRow;
                const std::uint8_t* b = cur + (y + 1) * curRow;
                for (int x = bx * 3; x < (bx + kB) * 3; ++x) {
                    const int v = a[x - 3] - 2 * a[x] + a[x + 3] - 2 * (m[x - 3] - 2 * m[x] + m[x + 3]) + b[x - 3] -
                                  2 * b[x] + b[x + 3];
                    sum += std::abs(v);
                    clipped += static_cast<std::uint8_t>(m[x] + 1) <= 1;
                }
            }
            if (sum == 0)
                continue;
            const double level = std::sqrt(M_PI / 2) / 6 * sum / (kB * kB * 3);
            (clipped * kClippedShare > kB * kB * 3 ? clippedLevels_ : levels_).push_back(level);
        }
    if (levels_.size() < kFewest)
        levels_.insert(levels_.end(), clippedLevels_.begin(), clippedLevels_.end());
    if (levels_.empty())
        return;
    NoiseSpread now;
    now.level = median(levels_);
    // Independent noise on every byte: the spreads follow from the level.
    const double var = now.level * now.level;
    now.luma = 2 * 9 * 3 * var;
    now.red = 2 * 9 * 2 * var;
    now.blue = 2 * 9 * 6 * var;
    blend(now, false);
}

} // namespace denoise
