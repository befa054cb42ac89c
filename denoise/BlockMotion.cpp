#include "denoise/BlockMotion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace denoise {

namespace {

// Sum of absolute differences of a box of `cur` and the same box of `prev`
// moved by (dx, dy); the caller keeps the moved box inside `prev`.
std::int64_t sad(const std::uint16_t* cur, const std::uint16_t* prev, int stride, int x0, int y0, int bw, int bh,
                 int dx, int dy)
{
    std::int64_t s = 0;
    for (int y = y0; y < y0 + bh; ++y) {
        const std::uint16_t* a = cur + static_cast<std::size_t>(y) * stride + x0;
        const std::uint16_t* b = prev + static_cast<std::size_t>(y + dy) * stride + x0 + dx;
        int row = 0;
        for (int x = 0; x < bw; ++x)
            row += std::abs(static_cast<int>(a[x]) - static_cast<int>(b[x]));
        s += row;
    }
    return s;
}

bool inside(int x0, int y0, int bw, int bh, int dx, int dy, int w, int h)
{
    return x0 + dx >= 0 && y0 + dy >= 0 && x0 + dx + bw <= w && y0 + dy + bh <= h;
}

} // namespace

void BlockMotion::Reset()
{
    havePrev_ = false;
    w_ = h_ = 0;
    departures_ = 0;
}

void BlockMotion::makePlanes(const std::uint8_t* frame, std::size_t rowbytes)
{
    for (int y = 0; y < h_; ++y) {
        const std::uint8_t* p = frame + static_cast<std::size_t>(y) * rowbytes;
        std::uint16_t* f = full_.data() + static_cast<std::size_t>(y) * w_;
        for (int x = 0; x < w_; ++x)
            f[x] = static_cast<std::uint16_t>(p[3 * x] + 2 * p[3 * x + 1] + p[3 * x + 2]);
    }
    for (int y = 0; y < hh_; ++y) {
        const std::uint16_t* r0 = full_.data() + static_cast<std::size_t>(2 * y) * w_;
        const std::uint16_t* r1 = r0 + w_;
        std::uint16_t* o = half_.data() + static_cast<std::size_t>(y) * hw_;
        for (int x = 0; x < hw_; ++x)
            o[x] = static_cast<std::uint16_t>((r0[2 * x] + r0[2 * x + 1] + r1[2 * x] + r1[2 * x + 1] + 1) >> 1);
    }
}

void BlockMotion::Estimate(const std::uint8_t* frame, std::size_t rowbytes, int w, int h, int aroundX, int aroundY,
                           double noise)
{
    if (w != w_ || h != h_) {
        Reset();
        w_ = w;
        h_ = h;
        hw_ = w / 2;
        hh_ = h / 2;
        columns_ = (w + kBlock - 1) / kBlock;
        rows_ = (h + kBlock - 1) / kBlock;
        const std::size_t pixels = static_cast<std::size_t>(w) * h;
        full_.assign(pixels, 0);
        prevFull_.assign(pixels, 0);
        half_.assign(static_cast<std::size_t>(hw_) * hh_, 0);
        prevHalf_.assign(static_cast<std::size_t>(hw_) * hh_, 0);
        vectors_.assign(static_cast<std::size_t>(columns_) * rows_, Vector{});
    }
    departures_ = 0;
    cameraStill_ = false;
    if (w <= 0 || h <= 0)
        return;
    makePlanes(frame, rowbytes);
    if (!havePrev_) {
        std::fill(vectors_.begin(), vectors_.end(), Vector{static_cast<std::int16_t>(aroundX),
                                                           static_cast<std::int16_t>(aroundY)});
        std::swap(full_, prevFull_);
        std::swap(half_, prevHalf_);
        havePrev_ = true;
        return;
    }

    // What noise alone makes of a difference: B + 2G + R has a spread of
    // sqrt(6) noise levels, the difference of two frames sqrt(2) more, and
    // the mean absolute value of a normal spread is 0.8 of it: 2.76 levels a
    // pixel. In 1/16 of a level, so that the sums stay whole numbers.
    const std::int64_t perPixel16 = std::llround(16 * 2.76 * std::max(noise, 0.5));
    // A small camera shift is put to the vote of the blocks: those that
    // match better in place against those that match better at the shift.
    // A still room outvotes a subject that pulled the estimate.
    if ((aroundX != 0 || aroundY != 0) && std::abs(aroundX) <= 1 && std::abs(aroundY) <= 1) {
        int inPlace = 0, atShift = 0;
        for (int by = 0; by < rows_; ++by)
            for (int bx = 0; bx < columns_; ++bx) {
                const int x0 = bx * kBlock, y0 = by * kBlock;
                const int bw = std::min(kBlock, w - x0), bh = std::min(kBlock, h - y0);
                if (!inside(x0, y0, bw, bh, aroundX, aroundY, w, h))
                    continue;
                const std::int64_t here = sad(full_.data(), prevFull_.data(), w, x0, y0, bw, bh, 0, 0);
                const std::int64_t there = sad(full_.data(), prevFull_.data(), w, x0, y0, bw, bh, aroundX, aroundY);
                inPlace += here < there;
                atShift += there < here;
            }
        if (inPlace >= 4 && inPlace > 2 * atShift) {
            cameraStill_ = true;
            aroundX = aroundY = 0;
        }
    }
    const Vector around{static_cast<std::int16_t>(aroundX), static_cast<std::int16_t>(aroundY)};
    std::fill(vectors_.begin(), vectors_.end(), around);
    // While the camera moves, the history is read between pixels, closer
    // than any whole-pixel vector: no search.
    if (aroundX != 0 || aroundY != 0) {
        std::swap(full_, prevFull_);
        std::swap(half_, prevHalf_);
        return;
    }
    const int hax = 0, hay = 0;
    for (int by = 0; by < rows_; ++by)
        for (int bx = 0; bx < columns_; ++bx) {
            const int x0 = bx * kBlock, y0 = by * kBlock;
            const int bw = std::min(kBlock, w - x0), bh = std::min(kBlock, h - y0);
            const std::int64_t n = static_cast<std::int64_t>(bw) * bh;
            // Where the camera's shift explains the block (no more than the
            // noise, with room for fine texture between pixels), it stays.
            // A block that the camera's shift takes partly out of the
            // picture has come into view: it keeps the shift (no history).
            if (!inside(x0, y0, bw, bh, aroundX, aroundY, w, h))
                continue;
            const std::int64_t aroundCost =
                16 * sad(full_.data(), prevFull_.data(), w, x0, y0, bw, bh, aroundX, aroundY);
            if (aroundCost <= perPixel16 * n * 5 / 4)
                continue;
            // The search on the half-size picture, around the camera's shift.
            const int hx0 = x0 / 2, hy0 = y0 / 2, hbw = std::min(bw / 2, hw_ - hx0), hbh = std::min(bh / 2, hh_ - hy0);
            if (hbw < 2 || hbh < 2)
                continue;
            std::int64_t best = std::numeric_limits<std::int64_t>::max();
            int bestX = hax, bestY = hay;
            for (int dy = hay - kReach; dy <= hay + kReach; ++dy)
                for (int dx = hax - kReach; dx <= hax + kReach; ++dx) {
                    if (!inside(hx0, hy0, hbw, hbh, dx, dy, hw_, hh_))
                        continue;
                    const std::int64_t c = sad(half_.data(), prevHalf_.data(), hw_, hx0, hy0, hbw, hbh, dx, dy);
                    if (c < best) {
                        best = c;
                        bestX = dx;
                        bestY = dy;
                    }
                }
            // Refined by a whole pixel on the full picture.
            std::int64_t fine = std::numeric_limits<std::int64_t>::max();
            int fineX = aroundX, fineY = aroundY;
            for (int dy = 2 * bestY - 1; dy <= 2 * bestY + 1; ++dy)
                for (int dx = 2 * bestX - 1; dx <= 2 * bestX + 1; ++dx) {
                    if (!inside(x0, y0, bw, bh, dx, dy, w, h))
                        continue;
                    const std::int64_t c = 16 * sad(full_.data(), prevFull_.data(), w, x0, y0, bw, bh, dx, dy);
                    if (c < fine) {
                        fine = c;
                        fineX = dx;
                        fineY = dy;
                    }
                }
            // Another vector must beat the camera's by a quarter of what the
            // noise makes, or the block keeps it.
            if (fine == std::numeric_limits<std::int64_t>::max() || fine + perPixel16 * n / 4 >= aroundCost)
                continue;
            vectors_[static_cast<std::size_t>(by) * columns_ + bx] = {static_cast<std::int16_t>(fineX),
                                                                      static_cast<std::int16_t>(fineY)};
            ++departures_;
        }
    std::swap(full_, prevFull_);
    std::swap(half_, prevHalf_);
}

} // namespace denoise
