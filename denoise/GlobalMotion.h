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

// cur(x, y) shows what prev(x + x4 / 4, y + y4 / 4) showed, in quarter pixels.
struct Shift {
    int x4 = 0;
    int y4 = 0;
};

class GlobalMotion {
public:
    void Reset();
    // The shift from the previous frame to this one; zero for the first
    // frame after a reset or a change of size.
    Shift Estimate(const std::uint8_t* frame, std::size_t rowbytes, int w, int h);

private:
    struct Plane {
        int w = 0, h = 0;
        std::vector<std::uint16_t> v; // box means of B + 2G + R
    };
    Plane quarter_, sixteenth_, prevQuarter_, prevSixteenth_;
    std::vector<unsigned> acc_;        // sums of four rows of the quarter picture's row
    std::vector<std::uint16_t> luma_; // one frame row's B + 2G + R
    bool havePrev_ = false;
};

} // namespace denoise
