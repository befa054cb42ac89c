#pragma once
// The frame step: blends each new frame into a running average so that noise
// and flicker that change from frame to frame average out.

#include "capture/VideoFormat.h"
#include "denoise/AutoSmoother.h"
#include "denoise/Cpu.h"
#include "dib/Pixmill.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Weights in units of 1/128: d for the history, o = 128 - d for the frame.
struct SmoothWeights {
    int d;
    int o;
};

// d = s * 128 div 100, truncated. The strength is first brought into 0..100:
// the field can hold other values only while the user is still typing, and
// weights outside 0..128 would make the blend meaningless.
SmoothWeights WeightsForStrength(int strength);

// Renews both pictures from one frame: the history (the previous corrected
// picture) is kept while row length and height stay the same, otherwise it
// is black; up to dwBufferLength bytes of the frame are taken, at most the
// picture's size; the corrected picture is (o * frame + d * history) >> 7 on
// the first width * 3 bytes of each row, the row's padding is taken as is.
//
// Refused (answers false, both pictures untouched): a format block shorter
// than its header, a bit count other than 24, a width or height of 0 or less
// (top-down rows included), and pictures that cannot be made.
//
// With motion sparing on, the blended part of each row is taken pixel by
// pixel (three bytes): a pixel whose largest byte difference between the new
// frame and the history exceeds the threshold is taken from the frame as it
// is, every other pixel is blended as usual. Missing frame bytes count as
// black here too, and the row padding is taken from the frame as always.
// With it off the step is exactly the usual one.
struct MotionSparing {
    bool on = false;
    int threshold = 24; // brought into 0..255; at 255 no pixel counts as moving
};

// With an automatic smoother given, it makes the corrected picture's pixels
// from the frame (missing bytes black, as above) at the given strength, and
// motion sparing is not asked; the raw picture and the row padding are
// taken as always. The smoother keeps its own history, so it must see every
// frame of the stream, and is reset by whoever changes the stream.
bool SmoothFrame(DIB& correctedPic, DIB& rawPic, const BITMAPINFO* format, std::size_t formatSize,
                 const std::uint8_t* lpData, std::uint32_t dwBufferLength, int strength,
                 const MotionSparing& motion = MotionSparing{}, denoise::AutoSmoother* automatic = nullptr);

// The source's current format block, as the frame step reads it. Empty
// (info() null) when the block is shorter than its header or longer than
// the 16-bit size of the query can carry.
class FormatBlock {
public:
    explicit FormatBlock(VideoFormatSource& source);
    const BITMAPINFO* info() const { return reinterpret_cast<const BITMAPINFO*>(storage_.get()); }
    std::uint32_t size() const { return size_; }
    // 24 bits per pixel: the only format the frame step takes.
    bool takenByFrameStep() const { return info() != nullptr && info()->bmiHeader.biBitCount == 24; }

private:
    std::unique_ptr<std::uint32_t[]> storage_; // zeroed, aligned for the header
    std::uint32_t size_ = 0;
};

// The whole step for one delivered frame: asks the source for its format,
// ignores frames that are not 24 bits per pixel, then runs SmoothFrame.
// Answers whether the pictures were renewed (and so should be repainted).
bool TakeFrame(VideoFormatSource& source, const VIDEOHDR& header, int strength, DIB& correctedPic, DIB& rawPic,
               const MotionSparing& motion = MotionSparing{}, denoise::AutoSmoother* automatic = nullptr);

namespace smooth {

// Ways of running the blend (the same as the noise library's kernels); the
// fastest one the processor has is used.
using denoise::Path;
using denoise::PathName;
using denoise::SupportedPaths;

Path CurrentPath();
// Chooses a path; answers false (and changes nothing) when the processor
// lacks it.
bool SetPath(Path p);

} // namespace smooth
