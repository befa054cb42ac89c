#pragma once
// Where the parts of the picture went: a motion vector for each block of
// 16 x 16 pixels, from the previous frame to this one, in whole pixels.
//
// A face in a video call moves in parts: the head turns, the mouth and the
// eyes move, while the room behind stands still. One shift for the whole
// picture (GlobalMotion) cannot follow that, so the history of every moving
// part would be thrown away. With a vector per block, the history can be
// read from where the part was, and the per-pixel weights decide as before
// whether it fits.
//
// A camera shift of a pixel or less is first put to the vote of the
// blocks (see CameraStill).
//
// The search runs on the luma (B + 2G + R) reduced to half width and half
// height, over 8 x 8 of its pixels a block, up to kReach of them each way
// around the camera's shift, and is refined by one whole pixel on the full
// picture. A block keeps the camera's shift unless another vector beats it
// by more than the noise would explain; so does a block whose cost at the
// camera's shift is already what the noise alone makes. Integer arithmetic
// throughout: the same vectors on every processor.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace denoise {

class BlockMotion {
public:
    static constexpr int kBlock = 16; // pixels a side
    static constexpr int kReach = 4;  // search reach in half-size pixels (8 pixels)

    struct Vector {
        std::int16_t dx = 0, dy = 0; // this block shows what the previous frame showed at +(dx, dy)
    };

    void Reset();

    // This frame's vectors against the previous frame given to Estimate.
    // (aroundX, aroundY) is the camera's shift in whole pixels; `noise` the
    // noise level per byte in 8-bit levels. The first frame after a reset or
    // a change of size gets the camera's shift everywhere, and so does every
    // frame in which the camera moved: parts are followed only before a
    // still camera (a history read between pixels at the camera's shift
    // fits better than a whole-pixel vector would).
    void Estimate(const std::uint8_t* frame, std::size_t rowbytes, int w, int h, int aroundX, int aroundY,
                  double noise);

    int Columns() const { return columns_; }
    int Rows() const { return rows_; }
    // The vector of the block that holds pixel row y, block column bx.
    const Vector* RowOfBlocks(int y) const { return vectors_.data() + static_cast<std::size_t>(y / kBlock) * columns_; }
    // How many blocks moved otherwise than the camera in the last frame.
    int Departures() const { return departures_; }
    // Whether the blocks outvoted a camera shift of a pixel or less: more
    // than twice as many of them matched better in place than at the
    // shift. Then the camera stood still (a subject moving over a still
    // room can pull the whole picture's estimate a fraction of a pixel
    // off), and the vectors were measured around no shift.
    bool CameraStill() const { return cameraStill_; }

private:
    void makePlanes(const std::uint8_t* frame, std::size_t rowbytes);

    int w_ = 0, h_ = 0, hw_ = 0, hh_ = 0;
    int columns_ = 0, rows_ = 0;
    int departures_ = 0;
    bool cameraStill_ = false;
    bool havePrev_ = false;
    std::vector<std::uint16_t> full_, prevFull_; // B + 2G + R per pixel
    std::vector<std::uint16_t> half_, prevHalf_; // sums of 2 x 2 of those, halved
    std::vector<Vector> vectors_;
};

} // namespace denoise
