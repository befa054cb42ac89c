#include "denoise/GlobalMotion.h"

#include "denoise/BandPool.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace denoise {

namespace {

// Mean absolute difference of a(x, y) and b(x + dx, y + dy) over the overlap,
// each side less its mean there; large when the overlap is too small.
double cost(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b, int w, int h, int dx, int dy)
{
    const int x0 = std::max(0, -dx), x1 = std::min(w, w - dx);
    const int y0 = std::max(0, -dy), y1 = std::min(h, h - dy);
    if ((x1 - x0) * 2 < w || (y1 - y0) * 2 < h)
        return 1e30;
    long long sa = 0, sb = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            sa += a[y * w + x];
            sb += b[(y + dy) * w + x + dx];
        }
    const long long n = static_cast<long long>(x1 - x0) * (y1 - y0);
    const int off = static_cast<int>((sb - sa) / n);
    long long s = 0;
    // Row pointers from the overlap's first column: a pointer before the
    // start of a row would lie outside the picture on its first row.
    for (int y = y0; y < y1; ++y) {
        const std::uint16_t* pa = a.data() + y * w + x0;
        const std::uint16_t* pb = b.data() + (y + dy) * w + x0 + dx;
        for (int x = 0; x < x1 - x0; ++x)
            s += std::abs(int(pb[x]) - int(pa[x]) - off);
    }
    return double(s) / double(n);
}

// The same for a shift in 1/16 pixels, b read between pixels by bilinear
// weights, over the part where the shift of up to one pixel more stays in.
// The values read are made twice (for the means, then for the differences)
// rather than kept.
double costBetween(const std::vector<std::uint16_t>& a, const std::vector<std::uint16_t>& b, int w, int h, int sx16,
                   int sy16)
{
    const int ix = sx16 >> 4, fx = sx16 & 15, iy = sy16 >> 4, fy = sy16 & 15;
    const int x0 = std::max(0, -ix), x1 = std::min(w, w - ix - 1);
    const int y0 = std::max(0, -iy), y1 = std::min(h, h - iy - 1);
    if ((x1 - x0) * 2 < w || (y1 - y0) * 2 < h)
        return 1e30;
    const int w00 = (16 - fx) * (16 - fy), w01 = fx * (16 - fy), w10 = (16 - fx) * fy, w11 = fx * fy;
    const auto rowOf = [&](int y) { return b.data() + (y + iy) * w + x0 + ix; };
    long long sa = 0, sb = 0;
    for (int y = y0; y < y1; ++y) {
        const std::uint16_t* p = rowOf(y);
        const std::uint16_t* q = p + w;
        const std::uint16_t* pa = a.data() + y * w + x0;
        for (int x = 0; x < x1 - x0; ++x) {
            sb += (w00 * p[x] + w01 * p[x + 1] + w10 * q[x] + w11 * q[x + 1] + 128) >> 8;
            sa += pa[x];
        }
    }
    const long long n = static_cast<long long>(x1 - x0) * (y1 - y0);
    const int off = static_cast<int>((sb - sa) / n);
    long long s = 0;
    for (int y = y0; y < y1; ++y) {
        const std::uint16_t* p = rowOf(y);
        const std::uint16_t* q = p + w;
        const std::uint16_t* pa = a.data() + y * w + x0;
        for (int x = 0; x < x1 - x0; ++x) {
            const int v = (w00 * p[x] + w01 * p[x + 1] + w10 * q[x] + w11 * q[x + 1] + 128) >> 8;
            s += std::abs(v - int(pa[x]) - off);
        }
    }
    return double(s) / double(n);
}

// Where between -1/2 and 1/2 the lowest cost lies, from the costs at -1, 0
// and 1 (c the lowest): absolute differences grow linearly with a small
// shift, so two lines of equal and opposite slope are fitted (a parabola
// would pull the result towards whole pixels).
double vertex(double l, double c, double r)
{
    const double rise = std::max(l, r) - c;
    if (!(rise > 0) || l > 1e29 || r > 1e29)
        return 0;
    return std::clamp(0.5 * (l - r) / rise, -0.5, 0.5);
}

} // namespace

void GlobalMotion::Reset()
{
    havePrev_ = false;
}

void GlobalMotion::reduce(const std::uint8_t* frame, std::size_t rowbytes, int qy0, int qy1, Rows& rows)
{
    // A row's B + 2G + R first, then its sums of four: both loops vectorise.
    rows.acc.resize(static_cast<std::size_t>(quarter_.w));
    rows.luma.resize(static_cast<std::size_t>(quarter_.w) * 4);
    unsigned* acc = rows.acc.data();
    std::uint16_t* luma = rows.luma.data();
    const int used = quarter_.w * 4;
    for (int qy = qy0; qy < qy1; ++qy) {
        std::fill(acc, acc + quarter_.w, 0u);
        for (int r = 0; r < 4; ++r) {
            const std::uint8_t* p = frame + (qy * 4 + r) * rowbytes;
            for (int x = 0; x < used; ++x)
                luma[x] = static_cast<std::uint16_t>(p[3 * x] + 2 * p[3 * x + 1] + p[3 * x + 2]);
            for (int qx = 0; qx < quarter_.w; ++qx)
                acc[qx] += luma[4 * qx] + luma[4 * qx + 1] + luma[4 * qx + 2] + luma[4 * qx + 3];
        }
        for (int qx = 0; qx < quarter_.w; ++qx)
            quarter_.v[qy * quarter_.w + qx] = static_cast<std::uint16_t>(acc[qx] / 16);
    }
}

Shift GlobalMotion::Estimate(const std::uint8_t* frame, std::size_t rowbytes, int w, int h, BandPool* pool)
{
    // The mean of B + 2G + R (0..1020) over 4x4 pixels, in bands of rows
    // where there is a pool (whole numbers: the same on any count).
    quarter_.w = w / 4;
    quarter_.h = h / 4;
    quarter_.v.resize(static_cast<std::size_t>(quarter_.w) * quarter_.h);
    const int bands = pool != nullptr ? pool->Threads() : 1;
    if (rows_.size() < static_cast<std::size_t>(bands))
        rows_.resize(static_cast<std::size_t>(bands));
    auto work = [&](int band) {
        reduce(frame, rowbytes, static_cast<int>(static_cast<long long>(quarter_.h) * band / bands),
               static_cast<int>(static_cast<long long>(quarter_.h) * (band + 1) / bands),
               rows_[static_cast<std::size_t>(band)]);
    };
    if (pool != nullptr)
        pool->Run(work);
    else
        work(0);
    sixteenth_.w = quarter_.w / 4;
    sixteenth_.h = quarter_.h / 4;
    sixteenth_.v.resize(static_cast<std::size_t>(sixteenth_.w) * sixteenth_.h);
    for (int y = 0; y < sixteenth_.h; ++y)
        for (int x = 0; x < sixteenth_.w; ++x) {
            unsigned s = 0;
            for (int r = 0; r < 4; ++r)
                for (int k = 0; k < 4; ++k)
                    s += quarter_.v[(y * 4 + r) * quarter_.w + x * 4 + k];
            sixteenth_.v[y * sixteenth_.w + x] = static_cast<std::uint16_t>(s / 16);
        }

    Shift shift;
    const bool usable = havePrev_ && quarter_.w >= 16 && quarter_.h >= 16 && prevQuarter_.w == quarter_.w &&
                        prevQuarter_.h == quarter_.h;
    if (usable) {
        int cx = 0, cy = 0;
        if (sixteenth_.w >= 8 && sixteenth_.h >= 8) {
            const int rx = std::min(4, sixteenth_.w / 4), ry = std::min(4, sixteenth_.h / 4);
            double best = 1e30;
            for (int dy = -ry; dy <= ry; ++dy)
                for (int dx = -rx; dx <= rx; ++dx) {
                    // A slight preference for no movement among equals.
                    const double c = cost(sixteenth_.v, prevSixteenth_.v, sixteenth_.w, sixteenth_.h, dx, dy) *
                                     (1 + 0.01 * (std::abs(dx) + std::abs(dy)));
                    if (c < best) {
                        best = c;
                        cx = dx * 4;
                        cy = dy * 4;
                    }
                }
        }
        // On the quarter picture, within 3 pixels each way of the coarse
        // shift: downhill from it, one pixel at a time, to the lowest cost.
        // Costs are kept, as the steps and the placement between pixels ask
        // for the same ones again.
        constexpr int kReach = 3, kSide = 2 * kReach + 3;
        double known[kSide][kSide];
        for (auto& row : known)
            for (double& c : row)
                c = -1;
        const auto at = [&](int dx, int dy) {
            const int i = dy - cy + kReach + 1, j = dx - cx + kReach + 1;
            const bool inGrid = i >= 0 && i < kSide && j >= 0 && j < kSide;
            if (inGrid && known[i][j] >= 0)
                return known[i][j];
            const double c = cost(quarter_.v, prevQuarter_.v, quarter_.w, quarter_.h, dx, dy);
            if (inGrid)
                known[i][j] = c;
            return c;
        };
        int bx = cx, by = cy;
        double best = at(bx, by);
        for (bool moved = true; moved;) {
            moved = false;
            const int fromX = bx, fromY = by;
            for (int dy = fromY - 1; dy <= fromY + 1; ++dy)
                for (int dx = fromX - 1; dx <= fromX + 1; ++dx) {
                    if (std::abs(dx - cx) > kReach || std::abs(dy - cy) > kReach)
                        continue;
                    const double c = at(dx, dy);
                    if (c < best) {
                        best = c;
                        bx = dx;
                        by = dy;
                        moved = true;
                    }
                }
        }
        const double fx = vertex(at(bx - 1, by), best, at(bx + 1, by));
        const double fy = vertex(at(bx, by - 1), best, at(bx, by + 1));
        // A still camera stays still: something moving over a still
        // background, or noise on a flat, dark picture, can make some small
        // shift look a little better, and following it would read the whole
        // history beside its place. So a shift must beat no shift clearly.
        // A cost read between pixels averages part of the noise away, so it
        // would favour any shift between pixels on a noisy picture: the shift
        // must also beat the shift opposite to it, read with the same
        // weights and so with the same noise, where nothing moved.
        constexpr double kStill = 0.03;
        const int sx16 = static_cast<int>(std::lround((bx + fx) * 16));
        const int sy16 = static_cast<int>(std::lround((by + fy) * 16));
        bool moved = false;
        if (sx16 != 0 || sy16 != 0) {
            // The shift was chosen as the best of many, so chance favours it
            // by about the spread of a cost, which falls with the root of
            // the pixels compared.
            const double margin = kStill + 1.5 / std::sqrt(double(quarter_.w) * quarter_.h);
            const double there = costBetween(quarter_.v, prevQuarter_.v, quarter_.w, quarter_.h, sx16, sy16);
            moved = at(0, 0) > there * (1 + margin) &&
                    costBetween(quarter_.v, prevQuarter_.v, quarter_.w, quarter_.h, -sx16, -sy16) > there * (1 + margin);
        }
        if (moved) {
            shift.x4 = sx16;
            shift.y4 = sy16;
        }
    }
    std::swap(prevQuarter_, quarter_);
    std::swap(prevSixteenth_, sixteenth_);
    havePrev_ = true;
    return shift;
}

} // namespace denoise
