#include "app/SmoothFrame.h"

#include "denoise/SmoothKernels.h"
#include "denoise/MotionKernels.h"

#include <xmmintrin.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace smooth {

namespace {

struct PathState {
    Path path;
    BlendFn fn;
    denoise::MotionBlendFn motion;
};

BlendFn functionFor(Path p)
{
    switch (p) {
    case Path::AVX2:
        return BlendAVX2;
    case Path::SSE2:
        return BlendSSE2;
    case Path::Plain:
        break;
    }
    return BlendPlain;
}

PathState& state()
{
    static PathState s = [] {
        const Path best = denoise::BestPath();
        return PathState{best, functionFor(best), denoise::MotionBlendFor(best)};
    }();
    return s;
}

} // namespace

Path CurrentPath()
{
    return state().path;
}

bool SetPath(Path p)
{
    const std::vector<Path> ok = SupportedPaths();
    if (std::find(ok.begin(), ok.end(), p) == ok.end())
        return false;
    state() = PathState{p, functionFor(p), denoise::MotionBlendFor(p)};
    return true;
}

} // namespace smooth

SmoothWeights WeightsForStrength(int strength)
{
    const int s = std::clamp(strength, 0, 100);
    const int d = s * 128 / 100;
    return SmoothWeights{d, 128 - d};
}

namespace {

// Zeros standing in for missing frame bytes or a black history.
const std::uint8_t* zeroRow(std::size_t bytes)
{
    thread_local std::vector<std::uint8_t> zeros;
    if (zeros.size() < bytes)
        zeros.assign(bytes, 0);
    return zeros.data();
}

// One byte range of a row of the blended part.
void blendRange(std::uint8_t* corrected, std::uint8_t* raw, const std::uint8_t* frame, const std::uint8_t* history,
                std::size_t len, SmoothWeights w)
{
    if (len == 0)
        return;
    if (w.d == 0) { // (128 * f) >> 7 == f
        std::memcpy(raw, frame, len);
        std::memcpy(corrected, frame, len);
    } else if (w.d == 128) { // (128 * h) >> 7 == h
        std::memcpy(raw, frame, len);
        std::memcpy(corrected, history, len);
    } else {
        smooth::state().fn(corrected, raw, frame, history, len, w.o, w.d);
    }
}

// A frame row as the blend sees it: the frame's bytes where it reaches, black
// beyond. A pixel cut by the frame's end is thus judged as a whole.
const std::uint8_t* wholeRow(const std::uint8_t* frame, std::size_t avail, std::size_t len)
{
    thread_local std::vector<std::uint8_t> row;
    row.assign(len, 0);
    std::memcpy(row.data(), frame, std::min(avail, len));
    return row.data();
}

} // namespace

bool SmoothFrame(DIB& correctedPic, DIB& rawPic, const BITMAPINFO* format, std::size_t formatSize,
                 const std::uint8_t* lpData, std::uint32_t dwBufferLength, int strength, const MotionSparing& motion,
                 denoise::AutoSmoother* automatic)
{
    if (format == nullptr || formatSize < sizeof(BITMAPINFOHEADER))
        return false;
    const BITMAPINFOHEADER& h = format->bmiHeader;
    if (h.biBitCount != 24 || h.biWidth <= 0 || h.biHeight <= 0)
        return false;
    const int width = h.biWidth;
    const int height = h.biHeight;

    // The history is the previous corrected picture while its row length and
    // height match the new format (width and bit count are not compared).
    const std::int64_t newRowbytes = StandardRowBytes(width, 24);
    const bool keepHistory = DIBHoldsPicture(correctedPic) && correctedPic.rowbytes == newRowbytes &&
                             DIBHeight(correctedPic) == height;
    // Blended in place or read from the old picture before it is freed:
    // either way its bytes are where they were.
    const std::uint8_t* history = keepHistory ? correctedPic.bits : nullptr;

    // Both pictures are renewed from the format block (their header
    // template; a 24-bit picture takes no colours from it). Every byte of
    // them is written below, so they need not be cleared first. While the
    // size stays, the library remakes them in their own memory and the
    // history is blended in place: each corrected byte is read once and
    // written once.
    DIB corrected = correctedPic;
    DIB raw = rawPic;
    if (dibfits(correctedPic, width, height, h.biBitCount, 0) && dibfits(rawPic, width, height, h.biBitCount, 0)) {
        renewdib(corrected, width, height, h.biBitCount, format, 0);
        renewdib(raw, width, height, h.biBitCount, format, 0);
    } else {
        // New sizes: make both before giving up either old picture, so a
        // failure leaves the pair as it was.
        corrected = newdibuninitialized(width, height, h.biBitCount, format, 0);
        raw = newdibuninitialized(width, height, h.biBitCount, format, 0);
        if (!DIBHoldsPicture(corrected) || !DIBHoldsPicture(raw)) {
            deldib(corrected);
            deldib(raw);
            return false;
        }
    }

    const std::size_t rowbytes = static_cast<std::size_t>(corrected.rowbytes);
    const std::size_t blended = static_cast<std::size_t>(width) * 3;
    const std::int64_t limit = static_cast<std::int64_t>(height) * corrected.rowbytes;
    // The byte count is compared as a signed 32-bit number: a length with the
    // top bit set counts as negative and takes nothing.
    std::int64_t n = static_cast<std::int32_t>(dwBufferLength);
    if (n > limit)
        n = limit;
    if (n < 0 || lpData == nullptr)
        n = 0;

    const SmoothWeights w = WeightsForStrength(strength);
    const std::uint8_t* zeros = zeroRow(rowbytes);
    // At d = 0 the frame is taken whole either way; a threshold of 255 or
    // more is never exceeded.
    const int threshold = std::clamp(motion.threshold, 0, 255);
    const bool spareMotion = motion.on && w.d != 0 && threshold < 255;

    if (automatic != nullptr) {
        // The smoother reads whole frames: a short one is completed with
        // black first, as the blend would see it.
        const std::size_t bytes = static_cast<std::size_t>(limit);
        const std::uint8_t* whole = lpData;
        std::vector<std::uint8_t> padded;
        if (static_cast<std::size_t>(n) < bytes) {
            padded.assign(bytes, 0);
            if (n > 0)
                std::memcpy(padded.data(), lpData, static_cast<std::size_t>(n));
            whole = padded.data();
        }
        const denoise::FrameShape shape{width, height, rowbytes};
        automatic->Process(whole, corrected.bits, shape, strength);
        for (int y = 0; y < height; ++y) {
            const std::size_t off = static_cast<std::size_t>(y) * rowbytes;
            std::memcpy(raw.bits + off, whole + off, rowbytes);
            std::memcpy(corrected.bits + off + blended, whole + off + blended, rowbytes - blended);
        }
    } else {
        for (int y = 0; y < height; ++y) {
            const std::size_t off = static_cast<std::size_t>(y) * rowbytes;
            const std::size_t avail = static_cast<std::size_t>(std::clamp<std::int64_t>(n - static_cast<std::int64_t>(off), 0, static_cast<std::int64_t>(rowbytes)));
            std::uint8_t* c = corrected.bits + off;
            std::uint8_t* r = raw.bits + off;
            const std::uint8_t* hist = history != nullptr ? history + off : zeros;
            const std::uint8_t* frame = avail > 0 ? lpData + off : zeros;

            // Pixels: frame bytes where the frame reaches, black beyond it.
            const std::size_t fromFrame = std::min(avail, blended);
            if (spareMotion) {
                const std::uint8_t* pixels = fromFrame == blended ? frame : wholeRow(frame, fromFrame, blended);
                smooth::state().motion(c, r, pixels, hist, static_cast<std::size_t>(width), w.o, w.d, threshold);
            } else {
                blendRange(c, r, frame, hist, fromFrame, w);
                blendRange(c + fromFrame, r + fromFrame, zeros, hist + fromFrame, blended - fromFrame, w);
            }

            // Row padding: taken from the frame, never blended.
            for (std::size_t i = blended; i < rowbytes; ++i) {
                const std::uint8_t v = i < avail ? frame[i] : 0;
                c[i] = v;
                r[i] = v;
            }
        }
    }

    // The vector kernels may have written the raw rows past the cache;
    // once fenced, the picture reads the same from any thread.
    _mm_sfence();

    if (corrected.picture != correctedPic.picture)
        deldib(correctedPic);
    correctedPic = corrected;
    if (raw.picture != rawPic.picture)
        deldib(rawPic);
    rawPic = raw;
    return true;
}

FormatBlock::FormatBlock(VideoFormatSource& source)
{
    const std::uint32_t size = source.GetVideoFormatSize();
    // Format blocks are small; anything past 64 KiB cannot travel through
    // the 16-bit size of the query anyway.
    if (size < sizeof(BITMAPINFOHEADER) || size > 0xFFFF)
        return;
    storage_ = std::make_unique<std::uint32_t[]>((size + 3) / 4);
    size_ = size;
    source.GetVideoFormat(reinterpret_cast<BITMAPINFO*>(storage_.get()), size);
}

bool TakeFrame(VideoFormatSource& source, const VIDEOHDR& header, int strength, DIB& correctedPic, DIB& rawPic,
               const MotionSparing& motion, denoise::AutoSmoother* automatic)
{
    const FormatBlock format(source);
    if (!format.takenByFrameStep())
        return false;
    return SmoothFrame(correctedPic, rawPic, format.info(), format.size(), header.lpData, header.dwBufferLength,
                       strength, motion, automatic);
}
