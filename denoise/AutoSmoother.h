#pragma once
// Automatic smoothing: a running average that tells noise from movement by
// itself. It estimates the stream's noise level, averages still parts over
// many frames, follows the movement of the whole picture, spares what moves
// and smooths in space where time cannot help.

#include "denoise/Cpu.h"
#include "denoise/FrameAverager.h"

#include <cstdint>
#include <memory>

namespace denoise {

class AutoSmoother {
public:
    explicit AutoSmoother(Path path = BestPath());
    ~AutoSmoother();
    AutoSmoother(const AutoSmoother&) = delete;
    AutoSmoother& operator=(const AutoSmoother&) = delete;

    // One frame of 24-bit BGR pixels: shape.height rows of shape.rowbytes
    // bytes, of which the first shape.width * 3 are pixels. Writes the
    // smoothed pixels into `out` (same shape; row padding is not touched).
    // `strength` (0..95) is how calm a still picture may become. A frame of
    // another shape starts afresh.
    void Process(const std::uint8_t* frame, std::uint8_t* out, const FrameShape& shape, int strength);

    // The next frame starts afresh: no history, no noise estimate.
    void Reset();

    // The strength the program starts the mode at: a still picture settles
    // on the mean of 64 frames.
    static constexpr int kStartStrength = 72;
    // The most frames a still pixel is averaged over at a strength:
    // 2^(strength / 12), 1 at 0 (no smoothing over time), 64 at 72.
    static int CapForStrength(int strength);

    // The stream's estimated noise level, as the standard deviation in
    // 8-bit levels; 0 before the first frame.
    double NoiseLevel() const;

private:
    struct State;
    Path path_;
    std::unique_ptr<State> state_;
};

} // namespace denoise
