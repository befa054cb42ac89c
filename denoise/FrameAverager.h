#pragma once
// The exact mean of N frames, for a low-noise still in poor light. Frames are
// added to one picture of 16-bit sums as they arrive (no frame is kept), one
// sum per frame byte; once N are in, each byte of the still is the rounded
// mean of its N values, (sum + N/2) / N, halves rounded up. N is a power of
// two from 4 to 256, so the division is a shift and 256 * 255 = 65280 still
// fits the sums.

#include "denoise/Cpu.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace denoise {

// What the frames look like: all frames of one mean must agree on it.
struct FrameShape {
    int width = 0;
    int height = 0;
    std::size_t rowbytes = 0;

    std::size_t bytes() const { return static_cast<std::size_t>(height) * rowbytes; }
    bool operator==(const FrameShape&) const = default;
};

class FrameAverager {
public:
    // The frame counts that can be chosen.
    static constexpr int kCounts[] = {4, 8, 16, 32, 64, 128, 256};
    static bool IsValidCount(int frames);

    // Sums for `frames` frames of the given shape, all zero. An invalid count
    // or an empty shape gives an averager that takes no frames (Failed()).
    // `path` chooses the vector width of the add: one loop, vectorised by
    // the compiler for every x86-64 and once more for AVX2 (Plain and SSE2
    // both take the former). Every path gives the same sums.
    FrameAverager(int frames, const FrameShape& shape, Path path = BestPath());

    enum class AddResult {
        Added,      // counted; more are needed
        Complete,   // counted; that was the last one, the mean is ready
        WrongShape, // not counted: the frame does not fit; the sums are left as they were
        Full,       // not counted: all frames are already in
    };
    // Adds one frame of shape.bytes() bytes.
    AddResult Add(const std::uint8_t* frame, const FrameShape& shape);

    bool Failed() const { return !sums_; }
    bool Complete() const { return !Failed() && counted_ == frames_; }
    int Counted() const { return counted_; }
    int Frames() const { return frames_; }
    const FrameShape& Shape() const { return shape_; }

    // Writes the mean, shape.bytes() bytes. Answers false (writing nothing)
    // before all frames are in.
    bool Mean(std::uint8_t* out) const;
    // The sum of frame byte i over the frames counted so far.
    unsigned SumAt(std::size_t i) const;

private:
    // Adds `len` frame bytes into as many sums.
    using AddBytesFn = void (*)(std::uint16_t* sums, const std::uint8_t* frame, std::size_t len);
    // The sums come from the aligned array new and go back the same way.
    struct FreeSums {
        void operator()(std::uint16_t* p) const { ::operator delete[](p, std::align_val_t{64}); }
    };

    int frames_;
    int shift_ = 0;
    int counted_ = 0;
    FrameShape shape_;
    AddBytesFn add_;
    std::unique_ptr<std::uint16_t[], FreeSums> sums_;
    std::size_t count_ = 0; // number of sums: one per frame byte
};

} // namespace denoise
