#pragma once
// Automatic smoothing: a running average that tells noise from movement by
// itself. It estimates the stream's noise level, averages still parts over
// many frames, follows the movement of the whole picture, spares what moves
// and smooths in space where time cannot help.
//
// Per frame: the camera's shift (GlobalMotion, a shift of a pixel or less
// put to the vote of the blocks of BlockMotion), a motion vector per 16x16
// block (BlockMotion) and the noise (NoiseEstimator) are measured; the
// history (16-bit, 8 fractional bits, with a frame count per pixel) is read
// at the shift, to a quarter pixel, or, while the camera stands still, where
// each block that moved on its own was, and adjusted to a change of light.
// Each pixel's 3x3 sums of a luma and two chroma differences to it, and the
// 3x3 sum of its squared luma differences (which fine detail read beside
// its place cannot cancel), against their spread for pure noise, say how
// much of its count it keeps (a smooth curve, not a threshold); the new value is the
// history moved 1/N of the way to the frame. Up to the cap the strength sets,
// a still pixel thus holds the exact mean of all its frames so far; past the
// cap each new frame weighs 1/cap, an exponential average. Where N is small
// (something moved, newly uncovered parts, the first frames) an
// edge-preserving 5x5 filter of the frame is blended in, fully at N = 1, half
// as much with each further frame up to N = 5, and never once a pixel has
// reached the cap: a low strength calms a still picture less, it does not
// blur it. Integer arithmetic throughout, except for the
// per-pixel weights (single floats, no fused operations, the same order in
// every vector lane), so every build and processor gives the same bytes.
// The per-pixel work is in the row loops of AutoRows, run in bands of rows
// on a small pool of threads (BandPool); the noise and the camera movement
// are measured on the calling thread, so they do not depend on the count.

#include "denoise/Cpu.h"
#include "denoise/AutoRows.h"
#include "denoise/FrameAverager.h"

#include <cstdint>
#include <memory>

namespace denoise {

class AutoSmoother {
public:
    // `path` names the vector instructions the loops may use; they are
    // written so that every path gives the same bytes. The per-pixel work
    // is shared by `threads` threads (the caller's and threads - 1 workers
    // that the smoother starts now and ends with itself), in bands of rows;
    // any count gives the same bytes.
    explicit AutoSmoother(Path path = BestPath(), int threads = 1);
    ~AutoSmoother();
    AutoSmoother(const AutoSmoother&) = delete;
    AutoSmoother& operator=(const AutoSmoother&) = delete;

    // One frame of 24-bit BGR pixels: shape.height rows of shape.rowbytes
    // bytes, of which the first shape.width * 3 are pixels. Writes the
    // smoothed pixels into `out` (same shape; row padding is not touched).
    // `strength` (0..95) is how calm a still picture may become (see
    // CapForStrength); at 0 the frame is passed through. A frame of another
    // shape starts afresh.
    void Process(const std::uint8_t* frame, std::uint8_t* out, const FrameShape& shape, int strength);

    // The next frame starts afresh: no history, no noise estimate.
    void Reset();

    // The strength the program starts at (its strength field's first value):
    // a still picture settles on the mean of 64 frames.
    static constexpr int kStartStrength = 60;
    // The most frames a still pixel is averaged over at a strength:
    // 2^(strength / 10), 1 at 0 (no smoothing over time), at least 2 above
    // 0, 64 at 60, and 255 (the most a count holds) from 80.
    static int CapForStrength(int strength);

    // How many threads share the per-pixel work.
    int Threads() const;

    // The stream's estimated noise level, as the standard deviation in
    // 8-bit levels; 0 before the first frame.
    double NoiseLevel() const;

private:
    struct Scratch;
    struct FrameJob;
    void processRows(const FrameJob& job, Scratch& sc, int y0, int y1);
    void smoothInSpace(const FrameJob& job, Scratch& sc, int y, const std::uint8_t* count, std::uint8_t* out);

    struct State;
    const autorows::Kernels& rows_;
    std::unique_ptr<State> state_;
};

} // namespace denoise
