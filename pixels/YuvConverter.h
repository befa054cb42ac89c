#pragma once
// Packed and planar YUV frames (and 24-bit RGB ones) into bottom-up 24-bit
// BGR rows, with libyuv, in the matrix and range the format names. Each
// frame is read once and each output row written once; packed 4:2:2 goes
// through one row of ARGB (or, with V before U, a few rows of planes) that
// stays in the cache.

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace libyuv {
struct YuvConstants;
}

namespace pixels {

using libyuv::YuvConstants;
struct YuvEncoding;

// libyuv's constants for turning YCbCr of this matrix and range into RGB, as
// the converter uses them; for readers of other layouts (4:4:4 files) that
// must see the same colours as the camera path.
const YuvConstants* MatrixFor(const YuvEncoding& encoding);

class YuvConverter {
public:
    // Whether this converter takes frames in this pixel format.
    static bool Handles(std::uint32_t fourcc);

    // libyuv's row kernels: packed 4:2:2 into ARGB, ARGB into BGR.
    using PackedRow = void (*)(const std::uint8_t*, std::uint8_t*, const YuvConstants*, int);
    using BgrRow = void (*)(const std::uint8_t*, std::uint8_t*, int);

    // Prepares for frames of this format (one Handles() accepts, at least
    // 1 x 1 pixels).
    void setSource(const v4l2_pix_format& pix);

    // The bytes a whole frame occupies; shorter frames cannot be converted.
    std::size_t frameBytes() const { return frameBytes_; }

    // One frame of at least frameBytes() into `bgr`, rows `stride` apart,
    // bottom row first.
    void convert(const std::uint8_t* frame, std::uint8_t* bgr, std::size_t stride);

private:
    enum class Layout { Packed422, SemiPlanar420, Planar420, Planar422, Rgb24 };

    void convertPacked(const std::uint8_t* frame, std::uint8_t* bgr, std::size_t stride);
    std::pair<const std::uint8_t*, const std::uint8_t*> chromaPlanes(const std::uint8_t* frame) const;
    void convertPlanes(const std::uint8_t* y, int yStride, std::pair<const std::uint8_t*, const std::uint8_t*> uv,
                       int uvStride, std::uint8_t* to, int toStride, int rows) const;

    std::uint32_t fourcc_ = 0;
    Layout layout_ = Layout::Rgb24;
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;       // luma (or packed) row length in the frame
    std::size_t chromaStride_ = 0; // of the planar chroma planes
    std::size_t chromaHeight_ = 0;
    std::size_t frameBytes_ = 0;
    const YuvConstants* matrix_ = nullptr;
    PackedRow packedRow_ = nullptr; // null where packed rows go through planes
    BgrRow bgrRow_ = nullptr;
    std::vector<std::uint8_t> band_; // one ARGB row, or planes of a few packed rows
};

} // namespace pixels
