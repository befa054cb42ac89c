#pragma once
// The stream's noise level, estimated from the frames themselves.
//
// From two frames: the difference of a frame and its predecessor (shifted by
// the camera's movement) is twice the noise where nothing moved. It is
// measured in strips of three rows, in blocks of 32 pixels; each block's
// spread about its own mean (so a change of light does not count), the
// quietest quarter of the blocks sets a bar, and blocks up to twice the bar
// are averaged. Blocks with movement, misaligned texture or edges lie above
// the bar and drop out. Blocks without noise are no evidence of low noise:
// a block whose difference does not vary at all (letterbox bars, a black
// screen, a still graphic) or with more than a few bytes at 0 or 255 in
// either frame (a blown-out window, clipped shadows) takes no part while
// enough others are there, so that large flat parts cannot pull the bar to
// zero. The estimator keeps only
// the strips of the previous frame that it compares with. Besides the level per byte, the same blocks give the
// spread of the difference sums the temporal weights are judged by (3x3 sums
// of a luma and two chroma differences), so that noise that is coarser than
// a pixel (chroma shared by pixel pairs) is judged by its real spread.
//
// From one frame (before there are two): Immerkær's Laplacian-like mask,
// per block, the median block taken. It sees texture as noise and misses
// noise coarser than a pixel, so it only stands in until time can tell.
//
// All estimates are smoothed over time. The same quiet blocks also tell how
// the light changed: per byte, a straight line through the blocks' mean
// changes over their mean levels (pulled towards no change where the blocks
// span few levels), fitted once more without the blocks far off it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace denoise {

// Spreads of frame differences, all for two independent noisy frames.
struct NoiseSpread {
    double level = 0;  // standard deviation of the noise per byte, in levels
    // Variances of the 3x3 sums of three differences that are independent
    // of each other for noise of the same spread on every byte: a luma
    // difference B + G + R and two chroma differences R - G, 2B - R - G.
    double luma = 0;
    double red = 0;
    double blue = 0;
};

// A change of light from the previous frame to this one, per byte (B, G, R):
// now = gain * before + offset, in levels.
struct LightChange {
    double gain[3] = {1, 1, 1};
    double offset[3] = {0, 0, 0};
};

class NoiseEstimator {
public:
    void Reset();

    // `cur` is w x h pixels of 3 bytes in rows of `curRow` bytes; it shows at
    // (x, y) what the frame before, handed to the last Update or
    // UpdateSingle, showed at (x + dx, y + dy). Its strips are kept for the
    // next frame.
    void Update(const std::uint8_t* cur, std::size_t curRow, int w, int h, int dx, int dy);
    // One frame alone, when there is no predecessor (the first, or one of
    // another size); its strips are kept for the next frame.
    void UpdateSingle(const std::uint8_t* cur, std::size_t curRow, int w, int h);

    // The smoothed estimate; all zero before any frame.
    const NoiseSpread& Spread() const { return smoothed_; }
    // The light change measured by the last Update: none after UpdateSingle,
    // and none where that Update could not measure.
    const LightChange& Light() const { return light_; }

private:
    void measure(const std::uint8_t* cur, std::size_t curRow, int w, int h, int dx, int dy);
    void single(const std::uint8_t* cur, std::size_t curRow, int w, int h);
    void keep(const std::uint8_t* cur, std::size_t curRow, int w, int h);
    void blend(const NoiseSpread& now, bool fromTime);
    void fitLight();

    NoiseSpread smoothed_;
    LightChange light_;
    int updates_ = 0;
    bool fromTime_ = false;
    struct Block {
        double byteVar, lumaVar, redVar, blueVar, mean[3], before[3];
        bool clipped;
    };
    std::vector<Block> blocks_;
    std::vector<double> order_;
    std::vector<const Block*> quiet_;
    std::vector<int> rowBuf_;
    std::vector<int> colBuf_;
    std::vector<double> levels_, clippedLevels_; // per block of the one-frame estimate
    // The previous frame's strips: rows centre - 1 .. centre + 1 of each,
    // packed.
    std::vector<std::uint8_t> kept_;
    std::vector<int> keptCentres_;
    int keptW_ = 0, keptH_ = 0;
};

} // namespace denoise
