#pragma once
// The movement of the whole picture from one frame to the next (a pan, a
// shaking hand), as a translation to a quarter pixel.
//
// Each frame's luma is reduced to a quarter and a sixteenth of its size by
// box means. The shift is searched on the sixteenth (up to 4 of its pixels,
// 64 frame pixels, each way), refined on the quarter and placed between
// quarter pixels from the costs around the best one; it must beat no shift
// by a margin, or the camera counts as still. Nothing is allocated per frame
// once the size is known. The cost is the mean
// absolute difference over the overlap after taking away the mean of each
// side, so a change of light does not pull the match.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace denoise {

class BandPool;

// cur(x, y) shows what prev(x + x4 / 4, y + y4 / 4) showed, in quarter pixels.
struct Shift {
    int x4 = 0;
    int y4 = 0;
};

class GlobalMotion {
public:
    void Reset();
    // The shift from the previous frame to this one; zero for the first
    // frame after a reset or a change of size. With a pool, the frame is
    // reduced in bands of rows on its threads (the same result).
    Shift Estimate(const std::uint8_t* frame, std::size_t rowbytes, int w, int h, BandPool* pool = nullptr);

private:
    struct Plane {
        int w = 0, h = 0;
        std::vector<std::uint16_t> v; // box means of B + 2G + R
    };
    struct Rows {
        std::vector<unsigned> acc;        // sums of four rows of a quarter picture's row
        std::vector<std::uint16_t> luma; // one frame row's B + 2G + R
    };
    // Quarter rows qy0..qy1-1 of the frame into quarter_.
    void reduce(const std::uint8_t* frame, std::size_t rowbytes, int qy0, int qy1, Rows& rows);

    Plane quarter_, sixteenth_, prevQuarter_, prevSixteenth_;
    std::vector<Rows> rows_; // one per band
    bool havePrev_ = false;
};

} // namespace denoise
