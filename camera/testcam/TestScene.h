#pragma once
// The picture of the built-in test camera: colour bars over a grey ramp
// with a disc, a square that moves from frame to frame, noise on every
// pixel and a flicker of the whole picture's brightness. The same seed gives
// the same sequence of frames.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace camera {

class TestScene {
public:
    enum class Pixels { Bgr24, Grey8 };

    explicit TestScene(std::uint64_t seed);

    // Prepares the still part of the picture for a size and pixel layout.
    void setFormat(int width, int height, Pixels pixels);
    // Noise and flicker strength, 0 (none) to 100.
    void setNoise(int percent);
    void setFlicker(int percent);
    void setMotion(bool on) { motion_ = on; }

    int width() const { return width_; }
    int height() const { return height_; }
    Pixels pixels() const { return pixels_; }
    int noise() const { return noise_; }
    int flicker() const { return flicker_; }
    bool motion() const { return motion_; }
    // Bytes of one row including its padding to a multiple of four.
    std::size_t stride() const { return stride_; }
    std::size_t imageBytes() const { return stride_ * static_cast<std::size_t>(height_); }

    // The next frame, bottom row first, into `out` (resized to imageBytes()).
    void render(std::vector<std::uint8_t>& out);

private:
    // Where the disc crosses a row: bytes [begin, end) of the row show it.
    struct DiscSpan {
        std::size_t begin = 0;
        std::size_t end = 0;
    };

    std::uint32_t random();
    void makeNoiseTable();
    void light(int gain);

    std::uint64_t state_;
    int width_ = 0;
    int height_ = 0;
    Pixels pixels_ = Pixels::Bgr24;
    std::size_t stride_ = 0;
    int noise_ = 30;
    int flicker_ = 30;
    bool motion_ = true;
    std::uint64_t frameNumber_ = 0;
    // The still scene is made of three kinds of row: the bars, the ramp, and
    // the disc, which covers a middle part of some of them. A frame is lit
    // from these few rows (small enough to stay in the cache), never from a
    // whole still picture.
    std::vector<std::uint8_t> bars_;
    std::vector<std::uint8_t> ramp_;
    std::vector<std::uint8_t> disc_;
    std::vector<std::uint8_t> square_; // one row of the moving square
    std::vector<DiscSpan> discSpans_;  // per row from the top
    int firstRampRow_ = 0;             // rows from here down are ramp rows
    // The three rows at the brightness of the frame being made, each byte's
    // top bit flipped (see SceneKernels.h); remade when the brightness changes.
    std::vector<std::uint8_t> litBars_, litRamp_, litDisc_, litSquare_;
    int litGain_ = -1;
    std::vector<std::int8_t> noiseTable_; // a noise row is read from a random place in it
};

} // namespace camera
