#include "pixels/YuvConverter.h"

#include "pixels/YuvEncoding.h"
#include "records/CpuFeatures.h"

#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/row.h>

#include <algorithm>
#include <cstring>

namespace pixels {

namespace {

// Rows of packed 4:2:2 split into planes at a time: enough to keep the
// per-call overhead small, few enough that the planes stay in the cache.
constexpr int bandRows = 16;

// libyuv caps the blue factor of its limited-range matrices at 2.0 (128 in
// its 1/64 steps) for the sake of other processors; BT.709 needs 2.112, so
// its blues come out 14 of 255 too dark. On x86 the factor is read as an
// unsigned byte, so the true one fits: these are copies with it put back.
#if defined(__x86_64__) || defined(__i386__)
YuvConstants withBlueFactor(const YuvConstants& from, std::uint8_t blue)
{
    YuvConstants exact = from;
    for (std::size_t i = 0; i < sizeof exact.kUVToB; i += 2)
        exact.kUVToB[i] = blue;
    return exact;
}

// 2 (1 - Kb) 255 / 224 in 1/64 steps.
const YuvConstants& limited601()
{
    static const YuvConstants exact = withBlueFactor(libyuv::kYuvI601Constants, 129);
    return exact;
}

const YuvConstants& limited709()
{
    static const YuvConstants exact = withBlueFactor(libyuv::kYuvH709Constants, 135);
    return exact;
}

const YuvConstants& limited2020()
{
    static const YuvConstants exact = withBlueFactor(libyuv::kYuv2020Constants, 137);
    return exact;
}
#else
const YuvConstants& limited601()
{
    return libyuv::kYuvI601Constants;
}

const YuvConstants& limited709()
{
    return libyuv::kYuvH709Constants;
}

const YuvConstants& limited2020()
{
    return libyuv::kYuv2020Constants;
}
#endif

} // namespace

const YuvConstants* MatrixFor(const YuvEncoding& e)
{
    switch (e.matrix) {
    case YuvEncoding::Matrix::Bt709:
        return e.fullRange ? &libyuv::kYuvF709Constants : &limited709();
    case YuvEncoding::Matrix::Bt2020:
        return e.fullRange ? &libyuv::kYuvV2020Constants : &limited2020();
    case YuvEncoding::Matrix::Bt601:
        break;
    }
    return e.fullRange ? &libyuv::kYuvJPEGConstants : &limited601();
}

namespace {

bool chromaFirstSwapped(std::uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_YVYU || fourcc == V4L2_PIX_FMT_VYUY || fourcc == V4L2_PIX_FMT_YVU420;
}

// The fastest row kernels this processor runs for packed 4:2:2 with U before
// V into ARGB, and ARGB into BGR; the whole-block kernels where the width is
// a multiple of their block, the ones that finish a partial block otherwise.
YuvConverter::PackedRow packedRowFor(std::uint32_t fourcc, int width)
{
    const bool lumaFirst = fourcc == V4L2_PIX_FMT_YUYV;
    if (fourcc != V4L2_PIX_FMT_YUYV && fourcc != V4L2_PIX_FMT_UYVY)
        return nullptr;
#if defined(__x86_64__) || defined(__i386__)
    if (cpu::HasAVX2()) {
        if (width % 16 == 0)
            return lumaFirst ? libyuv::YUY2ToARGBRow_AVX2 : libyuv::UYVYToARGBRow_AVX2;
        return lumaFirst ? libyuv::YUY2ToARGBRow_Any_AVX2 : libyuv::UYVYToARGBRow_Any_AVX2;
    }
    if (cpu::HasSSSE3()) {
        if (width % 8 == 0)
            return lumaFirst ? libyuv::YUY2ToARGBRow_SSSE3 : libyuv::UYVYToARGBRow_SSSE3;
        return lumaFirst ? libyuv::YUY2ToARGBRow_Any_SSSE3 : libyuv::UYVYToARGBRow_Any_SSSE3;
    }
#else
    (void)width;
#endif
    return lumaFirst ? libyuv::YUY2ToARGBRow_C : libyuv::UYVYToARGBRow_C;
}

YuvConverter::BgrRow bgrRowFor(int width)
{
#if defined(__x86_64__) || defined(__i386__)
    if (cpu::HasAVX2())
        return width % 32 == 0 ? libyuv::ARGBToRGB24Row_AVX2 : libyuv::ARGBToRGB24Row_Any_AVX2;
    if (cpu::HasSSSE3())
        return width % 16 == 0 ? libyuv::ARGBToRGB24Row_SSSE3 : libyuv::ARGBToRGB24Row_Any_SSSE3;
#else
    (void)width;
#endif
    return libyuv::ARGBToRGB24Row_C;
}

} // namespace

bool YuvConverter::Handles(std::uint32_t fourcc)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_VYUY:
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_NV21:
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
    case V4L2_PIX_FMT_YUV422P:
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return true;
    default:
        return false;
    }
}

void YuvConverter::setSource(const v4l2_pix_format& pix)
{
    fourcc_ = pix.pixelformat;
    width_ = static_cast<int>(pix.width);
    height_ = static_cast<int>(pix.height);
    matrix_ = MatrixFor(EncodingOf(pix));
    const std::size_t w = pix.width, h = pix.height, chromaWidth = (w + 1) / 2;
    switch (fourcc_) {
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_VYUY: {
        // Two pixels share four bytes; an odd width still fills the last pair.
        const std::size_t row = chromaWidth * 4;
        layout_ = Layout::Packed422;
        stride_ = std::max<std::size_t>(pix.bytesperline, row);
        frameBytes_ = stride_ * (h - 1) + row;
        break;
    }
    case V4L2_PIX_FMT_NV12:
    case V4L2_PIX_FMT_NV21:
        layout_ = Layout::SemiPlanar420;
        // The chroma rows share the luma stride and hold whole pairs.
        stride_ = std::max<std::size_t>(pix.bytesperline, chromaWidth * 2);
        chromaStride_ = stride_;
        chromaHeight_ = (h + 1) / 2;
        frameBytes_ = stride_ * h + chromaStride_ * (chromaHeight_ - 1) + chromaWidth * 2;
        break;
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
    case V4L2_PIX_FMT_YUV422P:
        layout_ = fourcc_ == V4L2_PIX_FMT_YUV422P ? Layout::Planar422 : Layout::Planar420;
        stride_ = std::max<std::size_t>(pix.bytesperline, w);
        // The chroma planes' rows are half the luma rows, rounded up for odd widths.
        chromaStride_ = std::max((stride_ + 1) / 2, chromaWidth);
        chromaHeight_ = layout_ == Layout::Planar422 ? h : (h + 1) / 2;
        frameBytes_ = stride_ * h + chromaStride_ * chromaHeight_ + chromaStride_ * (chromaHeight_ - 1) + chromaWidth;
        break;
    default:
        layout_ = Layout::Rgb24;
        stride_ = std::max<std::size_t>(pix.bytesperline, w * 3);
        frameBytes_ = stride_ * (h - 1) + w * 3;
    }
    packedRow_ = layout_ == Layout::Packed422 ? packedRowFor(fourcc_, width_) : nullptr;
    bgrRow_ = bgrRowFor(width_);
    if (packedRow_ != nullptr)
        band_.resize(w * 4); // one row of ARGB
    else
        band_.resize(layout_ == Layout::Packed422 ? (w + 2 * chromaWidth) * bandRows : 0);
}

void YuvConverter::convert(const std::uint8_t* frame, std::uint8_t* bgr, std::size_t stride)
{
    // libyuv writes bottom-up when given the last row and a negative stride.
    std::uint8_t* const bottom = bgr + static_cast<std::size_t>(height_ - 1) * stride;
    const int up = -static_cast<int>(stride);
    const int s = static_cast<int>(stride_), cs = static_cast<int>(chromaStride_);
    switch (layout_) {
    case Layout::Packed422:
        convertPacked(frame, bgr, stride);
        return;
    case Layout::SemiPlanar420:
    case Layout::Planar420:
    case Layout::Planar422:
        convertPlanes(frame, s, chromaPlanes(frame), cs, bottom, up, height_);
        return;
    case Layout::Rgb24:
        if (fourcc_ == V4L2_PIX_FMT_RGB24) {
            libyuv::RAWToRGB24(frame, s, bottom, up, width_, height_);
        } else {
            const std::size_t row = static_cast<std::size_t>(width_) * 3;
            for (int y = 0; y < height_; ++y)
                std::memcpy(bottom - static_cast<std::ptrdiff_t>(y) * static_cast<std::ptrdiff_t>(stride),
                            frame + y * stride_, row);
        }
        return;
    }
}

// Where the chroma plane(s) of a semi-planar or planar frame begin; the
// second is null for semi-planar frames.
std::pair<const std::uint8_t*, const std::uint8_t*> YuvConverter::chromaPlanes(const std::uint8_t* frame) const
{
    const std::uint8_t* first = frame + stride_ * height_;
    if (layout_ == Layout::SemiPlanar420)
        return {first, nullptr};
    const std::uint8_t* second = first + chromaStride_ * chromaHeight_;
    return chromaFirstSwapped(fourcc_) ? std::make_pair(second, first) : std::make_pair(first, second);
}

// `rows` rows of planes into BGR, the first at `to` and each next one
// `toStride` further on.
void YuvConverter::convertPlanes(const std::uint8_t* y, int yStride,
                                 std::pair<const std::uint8_t*, const std::uint8_t*> uv, int uvStride, std::uint8_t* to,
                                 int toStride, int rows) const
{
    switch (layout_) {
    case Layout::SemiPlanar420:
        if (fourcc_ == V4L2_PIX_FMT_NV12)
            libyuv::NV12ToRGB24Matrix(y, yStride, uv.first, uvStride, to, toStride, matrix_, width_, rows);
        else
            libyuv::NV21ToRGB24Matrix(y, yStride, uv.first, uvStride, to, toStride, matrix_, width_, rows);
        return;
    case Layout::Planar420:
        libyuv::I420ToRGB24Matrix(y, yStride, uv.first, uvStride, uv.second, uvStride, to, toStride, matrix_, width_,
                                  rows);
        return;
    default:
        libyuv::I422ToRGB24Matrix(y, yStride, uv.first, uvStride, uv.second, uvStride, to, toStride, matrix_, width_,
                                  rows);
    }
}

// Packed 4:2:2 with luma first or chroma first, U before V, goes straight
// from its packed rows into one row of ARGB that stays in the first-level
// cache, and from there into the BGR row. Swapped chroma has no packed row
// kernel: a band of its rows is split into planes, which then go out as BGR
// while still cached.
void YuvConverter::convertPacked(const std::uint8_t* frame, std::uint8_t* bgr, std::size_t stride)
{
    if (packedRow_ != nullptr) {
        std::uint8_t* const argb = band_.data();
        for (int y = 0; y < height_; ++y) {
            packedRow_(frame + static_cast<std::size_t>(y) * stride_, argb, matrix_, width_);
            bgrRow_(argb, bgr + static_cast<std::size_t>(height_ - 1 - y) * stride, width_);
        }
        return;
    }
    const int chromaWidth = (width_ + 1) / 2;
    // The split puts the chroma byte that comes first into `first`, here V.
    std::uint8_t* y = band_.data();
    std::uint8_t* v = y + static_cast<std::size_t>(width_) * bandRows;
    std::uint8_t* u = v + static_cast<std::size_t>(chromaWidth) * bandRows;
    const bool lumaFirst = fourcc_ == V4L2_PIX_FMT_YVYU;
    const int s = static_cast<int>(stride_);
    for (int top = 0; top < height_; top += bandRows) {
        const int rows = std::min(bandRows, height_ - top);
        const std::uint8_t* from = frame + static_cast<std::size_t>(top) * stride_;
        if (lumaFirst)
            libyuv::YUY2ToI422(from, s, y, width_, v, chromaWidth, u, chromaWidth, width_, rows);
        else
            libyuv::UYVYToI422(from, s, y, width_, v, chromaWidth, u, chromaWidth, width_, rows);
        std::uint8_t* to = bgr + static_cast<std::size_t>(height_ - 1 - top) * stride;
        libyuv::I422ToRGB24Matrix(y, width_, u, chromaWidth, v, chromaWidth, to, -static_cast<int>(stride), matrix_,
                                  width_, rows);
    }
}

} // namespace pixels
