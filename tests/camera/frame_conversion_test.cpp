// Colour truth of the YUV conversion, checked pixel by pixel against a
// double-precision formula: every YUV layout, BT.601 and BT.709, limited
// and full range, odd sizes and padded rows.

#include "pixels/YuvConverter.h"
#include "pixels/YuvEncoding.h"
#include "tests/camera/SimulatedV4l2.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

struct Rgb {
    int r, g, b;
};

Rgb Reference(const simv4l2::YcbcrCoding& c, int y, int u, int v)
{
    Rgb p;
    simv4l2::FromYcbcr(c, y, u, v, p.r, p.g, p.b);
    return p;
}

// A picture as three full planes plus how it is laid out for one format:
// chroma is taken at even positions (and even rows for 4:2:0), as the
// formats keep one sample per pair of pixels.
struct Picture {
    int width, height;
    std::vector<std::uint8_t> y, u, v; // width x height each

    // Smooth ramps with noise over all codes, those outside the limited
    // range included (cameras send them).
    Picture(int w, int h, unsigned seed) : width(w), height(h)
    {
        std::mt19937 random(seed);
        for (int row = 0; row < h; ++row)
            for (int x = 0; x < w; ++x) {
                y.push_back(static_cast<std::uint8_t>((x * 255 / std::max(1, w - 1) + random() % 24) & 0xff));
                u.push_back(static_cast<std::uint8_t>(random() & 0xff));
                v.push_back(static_cast<std::uint8_t>((row * 255 / std::max(1, h - 1) + random() % 32) & 0xff));
            }
    }

    int at(const std::vector<std::uint8_t>& plane, int x, int row) const { return plane[row * width + x]; }

    // The frame bytes in `fourcc` with rows `pad` bytes longer than needed.
    std::vector<std::uint8_t> encode(std::uint32_t fourcc, int pad, v4l2_pix_format& pix) const
    {
        const int cw = (width + 1) / 2, ch = (height + 1) / 2;
        std::vector<std::uint8_t> out;
        pix.width = static_cast<std::uint32_t>(width);
        pix.height = static_cast<std::uint32_t>(height);
        pix.pixelformat = fourcc;
        auto chromaAt = [&](const std::vector<std::uint8_t>& plane, int cx, int crow) {
            return static_cast<std::uint8_t>(at(plane, std::min(2 * cx, width - 1), crow));
        };
        switch (fourcc) {
        case V4L2_PIX_FMT_YUYV:
        case V4L2_PIX_FMT_YVYU:
        case V4L2_PIX_FMT_UYVY:
        case V4L2_PIX_FMT_VYUY: {
            const int stride = cw * 4 + pad;
            pix.bytesperline = static_cast<std::uint32_t>(stride);
            out.assign(static_cast<std::size_t>(stride) * height, 0xee);
            for (int row = 0; row < height; ++row)
                for (int cx = 0; cx < cw; ++cx) {
                    std::uint8_t* p = out.data() + row * stride + cx * 4;
                    const std::uint8_t y0 = static_cast<std::uint8_t>(at(y, 2 * cx, row));
                    const std::uint8_t y1 = static_cast<std::uint8_t>(at(y, std::min(2 * cx + 1, width - 1), row));
                    const std::uint8_t cu = chromaAt(u, cx, row), cv = chromaAt(v, cx, row);
                    const bool uFirst = fourcc == V4L2_PIX_FMT_YUYV || fourcc == V4L2_PIX_FMT_UYVY;
                    const std::uint8_t c0 = uFirst ? cu : cv, c1 = uFirst ? cv : cu;
                    const bool lumaFirst = fourcc == V4L2_PIX_FMT_YUYV || fourcc == V4L2_PIX_FMT_YVYU;
                    if (lumaFirst) {
                        p[0] = y0, p[1] = c0, p[2] = y1, p[3] = c1;
                    } else {
                        p[0] = c0, p[1] = y0, p[2] = c1, p[3] = y1;
                    }
                }
            return out;
        }
        default:
            break;
        }
        const bool semi = fourcc == V4L2_PIX_FMT_NV12 || fourcc == V4L2_PIX_FMT_NV21;
        const bool is422 = fourcc == V4L2_PIX_FMT_YUV422P;
        // Semi-planar chroma rows share the luma stride and hold whole pairs.
        const int stride = (semi ? cw * 2 : width) + pad;
        pix.bytesperline = static_cast<std::uint32_t>(stride);
        for (int row = 0; row < height; ++row) {
            for (int x = 0; x < width; ++x)
                out.push_back(static_cast<std::uint8_t>(at(y, x, row)));
            out.insert(out.end(), static_cast<std::size_t>(stride - width), 0xee);
        }
        const int rows = is422 ? height : ch;
        const int step = is422 ? 1 : 2;
        if (semi) {
            const bool uFirst = fourcc == V4L2_PIX_FMT_NV12;
            for (int crow = 0; crow < rows; ++crow) {
                std::size_t n = 0;
                for (int cx = 0; cx < cw; ++cx, n += 2) {
                    out.push_back(chromaAt(uFirst ? u : v, cx, crow * step));
                    out.push_back(chromaAt(uFirst ? v : u, cx, crow * step));
                }
                out.insert(out.end(), static_cast<std::size_t>(stride) - n, 0xee);
            }
            return out;
        }
        // Planar chroma rows are half the luma rows, rounded up.
        const int cstride = std::max((stride + 1) / 2, cw);
        const bool uFirst = fourcc != V4L2_PIX_FMT_YVU420;
        for (const std::vector<std::uint8_t>* plane : {uFirst ? &u : &v, uFirst ? &v : &u})
            for (int crow = 0; crow < rows; ++crow) {
                for (int cx = 0; cx < cw; ++cx)
                    out.push_back(chromaAt(*plane, cx, crow * step));
                out.insert(out.end(), static_cast<std::size_t>(cstride - cw), 0xee);
            }
        return out;
    }

    // The exact colour of a pixel, with the chroma the format keeps for it.
    Rgb expected(std::uint32_t fourcc, const simv4l2::YcbcrCoding& c, int x, int row) const
    {
        const bool is420 = fourcc == V4L2_PIX_FMT_NV12 || fourcc == V4L2_PIX_FMT_NV21 ||
                           fourcc == V4L2_PIX_FMT_YUV420 || fourcc == V4L2_PIX_FMT_YVU420;
        const int cx = x / 2 * 2, crow = is420 ? row / 2 * 2 : row;
        return Reference(c, at(y, x, row), at(u, cx, crow), at(v, cx, crow));
    }
};

struct Coding {
    const char* name;
    std::uint32_t colorspace, ycbcrEnc, quantization;
    simv4l2::YcbcrCoding coding;
};

const Coding codings[] = {
    {"sRGB default: BT.601 limited", V4L2_COLORSPACE_SRGB, V4L2_YCBCR_ENC_DEFAULT, V4L2_QUANTIZATION_DEFAULT,
     simv4l2::Bt601(false)},
    {"JPEG default: BT.601 full", V4L2_COLORSPACE_JPEG, V4L2_YCBCR_ENC_DEFAULT, V4L2_QUANTIZATION_DEFAULT,
     simv4l2::Bt601(true)},
    {"Rec.709 default: BT.709 limited", V4L2_COLORSPACE_REC709, V4L2_YCBCR_ENC_DEFAULT, V4L2_QUANTIZATION_DEFAULT,
     simv4l2::Bt709(false)},
    {"explicit BT.709 full", V4L2_COLORSPACE_SRGB, V4L2_YCBCR_ENC_709, V4L2_QUANTIZATION_FULL_RANGE,
     simv4l2::Bt709(true)},
    {"explicit BT.601 limited on Rec.709", V4L2_COLORSPACE_REC709, V4L2_YCBCR_ENC_601, V4L2_QUANTIZATION_LIM_RANGE,
     simv4l2::Bt601(false)},
};

const std::uint32_t layouts[] = {V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_YVYU,   V4L2_PIX_FMT_UYVY,
                                 V4L2_PIX_FMT_VYUY,   V4L2_PIX_FMT_NV12,   V4L2_PIX_FMT_NV21,
                                 V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420, V4L2_PIX_FMT_YUV422P};

std::string fourccName(std::uint32_t f)
{
    return {static_cast<char>(f & 0xff), static_cast<char>((f >> 8) & 0xff), static_cast<char>((f >> 16) & 0xff),
            static_cast<char>(f >> 24)};
}

} // namespace

TEST(YuvColourTruth, EveryLayoutMatrixAndRangeAgreesWithTheExactFormulaWithinOne)
{
    struct Size {
        int w, h, pad;
    };
    for (const Size size : {Size{64, 18, 0}, Size{37, 11, 6}, Size{1, 1, 0}, Size{3, 2, 2}, Size{5, 33, 0}})
        for (const std::uint32_t fourcc : layouts)
            for (const Coding& c : codings) {
                SCOPED_TRACE(fourccName(fourcc) + " " + c.name + " " + std::to_string(size.w) + "x" +
                             std::to_string(size.h) + "+" + std::to_string(size.pad));
                const Picture picture(size.w, size.h, fourcc ^ static_cast<unsigned>(size.w));
                v4l2_pix_format pix{};
                const std::vector<std::uint8_t> frame = picture.encode(fourcc, size.pad, pix);
                pix.colorspace = c.colorspace;
                pix.ycbcr_enc = c.ycbcrEnc;
                pix.quantization = c.quantization;
                pixels::YuvConverter converter;
                converter.setSource(pix);
                // Exactly the bytes the converter asks for, so that reading
                // beyond them shows up under the address sanitizer.
                ASSERT_LE(converter.frameBytes(), frame.size());
                ASSERT_GE(converter.frameBytes(), frame.size() - static_cast<std::size_t>(size.pad));
                const std::vector<std::uint8_t> exact(
                    frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(converter.frameBytes()));
                const std::size_t stride = (static_cast<std::size_t>(size.w) * 3 + 3) / 4 * 4;
                // A guard row on both sides catches writes outside the frame.
                std::vector<std::uint8_t> out(stride * (size.h + 2), 0x5a);
                converter.convert(exact.data(), out.data() + stride, stride);
                int worst = 0;
                for (int row = 0; row < size.h; ++row)
                    for (int x = 0; x < size.w; ++x) {
                        const Rgb want = picture.expected(fourcc, c.coding, x, row);
                        const std::uint8_t* p = out.data() + stride * (1 + size.h - 1 - row) + 3 * x;
                        worst = std::max(
                            {worst, std::abs(p[0] - want.b), std::abs(p[1] - want.g), std::abs(p[2] - want.r)});
                    }
                EXPECT_LE(worst, 1);
                for (std::size_t i = 0; i < stride; ++i) {
                    ASSERT_EQ(out[i], 0x5a);
                    ASSERT_EQ(out[out.size() - 1 - i], 0x5a);
                }
            }
}

TEST(YuvColourTruth, LimitedRangeBlackAndWhiteReachTheEndsAndFullRangeStaysPut)
{
    auto grey = [](std::uint32_t quantization, std::uint8_t code) {
        v4l2_pix_format pix{};
        pix.width = 2;
        pix.height = 1;
        pix.pixelformat = V4L2_PIX_FMT_YUYV;
        pix.colorspace = V4L2_COLORSPACE_SRGB;
        pix.quantization = quantization;
        const std::uint8_t frame[4] = {code, 128, code, 128};
        pixels::YuvConverter converter;
        converter.setSource(pix);
        std::uint8_t out[8] = {};
        converter.convert(frame, out, 8);
        EXPECT_EQ(out[0], out[1]);
        EXPECT_EQ(out[1], out[2]);
        return static_cast<int>(out[0]);
    };
    EXPECT_EQ(grey(V4L2_QUANTIZATION_DEFAULT, 16), 0);
    EXPECT_EQ(grey(V4L2_QUANTIZATION_DEFAULT, 235), 255);
    EXPECT_EQ(grey(V4L2_QUANTIZATION_LIM_RANGE, 126), 128);
    EXPECT_EQ(grey(V4L2_QUANTIZATION_FULL_RANGE, 16), 16);
    EXPECT_EQ(grey(V4L2_QUANTIZATION_FULL_RANGE, 235), 235);
}

TEST(YuvColourTruth, DefaultsFollowTheColorspace)
{
    using M = pixels::YuvEncoding::Matrix;
    auto of = [](std::uint32_t colorspace, std::uint32_t enc, std::uint32_t quantization) {
        v4l2_pix_format pix{};
        pix.pixelformat = V4L2_PIX_FMT_YUYV;
        pix.colorspace = colorspace;
        pix.ycbcr_enc = enc;
        pix.quantization = quantization;
        return pixels::EncodingOf(pix);
    };
    const auto srgb = of(V4L2_COLORSPACE_SRGB, 0, 0);
    EXPECT_EQ(srgb.matrix, M::Bt601);
    EXPECT_FALSE(srgb.fullRange);
    const auto hd = of(V4L2_COLORSPACE_REC709, 0, 0);
    EXPECT_EQ(hd.matrix, M::Bt709);
    EXPECT_FALSE(hd.fullRange);
    const auto jpeg = of(V4L2_COLORSPACE_JPEG, 0, 0);
    EXPECT_EQ(jpeg.matrix, M::Bt601);
    EXPECT_TRUE(jpeg.fullRange);
    const auto unknown = of(V4L2_COLORSPACE_DEFAULT, 0, 0);
    EXPECT_EQ(unknown.matrix, M::Bt601);
    EXPECT_FALSE(unknown.fullRange);
    EXPECT_EQ(of(V4L2_COLORSPACE_BT2020, 0, 0).matrix, M::Bt2020);
    EXPECT_EQ(of(V4L2_COLORSPACE_SRGB, V4L2_YCBCR_ENC_XV709, 0).matrix, M::Bt709);
    EXPECT_TRUE(of(V4L2_COLORSPACE_REC709, 0, V4L2_QUANTIZATION_FULL_RANGE).fullRange);
    // A colour space this program has never heard of (a newer kernel, or a
    // lying device) reads as an unknown one, without undefined behaviour.
    const auto alien = of(65544, 0, 0);
    EXPECT_EQ(alien.matrix, M::Bt601);
    EXPECT_FALSE(alien.fullRange);
}
