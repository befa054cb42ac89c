// The corrected picture as I420 and NV12, against a reference worked out in
// double precision from the BT.601 definitions: the colour of a 2x2 block is
// the mean of its four pixels'.

#include "pixels/Yuv420Conversion.h"

#include "tests/pixels/RandomPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using pixtest::Picture;
using pixtest::RandomPicture;

struct Ycc {
    double y, cb, cr;
};

Ycc Reference(const std::uint8_t* bgr)
{
    const double b = bgr[0], g = bgr[1], r = bgr[2];
    const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
    return {16.0 + 219.0 * luma / 255.0, 128.0 + 224.0 * (b - luma) / (1.772 * 255.0),
            128.0 + 224.0 * (r - luma) / (1.402 * 255.0)};
}

// A frame with a border of 0xEE around each plane, to catch writes past the
// part the conversion was given.
struct Frame {
    int width, height, yStride, cStride;
    std::vector<std::uint8_t> bytes;
    pixels::Yuv420Layout layout;
    Frame(int w, int h, pixels::Yuv420Layout l, int extra) : width(w), height(h), layout(l)
    {
        yStride = w + extra;
        cStride = (l == pixels::Yuv420Layout::I420 ? w / 2 : w) + extra;
        bytes.assign(static_cast<std::size_t>(yStride) * h + static_cast<std::size_t>(cStride) * h, 0xEE);
    }
    pixels::Yuv420Planes planes()
    {
        std::uint8_t* y = bytes.data();
        std::uint8_t* c = y + static_cast<std::size_t>(yStride) * height;
        return {y, c, c + static_cast<std::size_t>(cStride) * (height / 2), yStride, cStride};
    }
    std::uint8_t luma(int x, int row) const { return bytes[static_cast<std::size_t>(row) * yStride + x]; }
    std::pair<int, int> colour(int bx, int brow)
    {
        const pixels::Yuv420Planes p = planes();
        if (layout == pixels::Yuv420Layout::I420)
            return {p.cb[brow * cStride + bx], p.cr[brow * cStride + bx]};
        return {p.cb[brow * cStride + 2 * bx], p.cb[brow * cStride + 2 * bx + 1]};
    }
};

// The largest distance from the rounded reference, and the mean signed one.
std::pair<int, double> Compare(const Picture& p, Frame& f)
{
    double worst = 0, sum = 0;
    long count = 0;
    auto check = [&](int got, double want) {
        worst = std::max(worst, std::abs(got - std::round(want)));
        sum += got - want;
        ++count;
    };
    for (int row = 0; row < f.height; row += 2)
        for (int x = 0; x < f.width; x += 2) {
            double cb = 0, cr = 0;
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) {
                    const Ycc r = Reference(p.pixel(x + dx, row + dy));
                    check(f.luma(x + dx, row + dy), r.y);
                    cb += r.cb / 4;
                    cr += r.cr / 4;
                }
            const auto [gotCb, gotCr] = f.colour(x / 2, row / 2);
            check(gotCb, cb);
            check(gotCr, cr);
        }
    return {static_cast<int>(worst), count ? sum / count : 0.0};
}

const pixels::Yuv420Layout Layouts[] = {pixels::Yuv420Layout::I420, pixels::Yuv420Layout::NV12};

const char* Name(pixels::Yuv420Layout l)
{
    return l == pixels::Yuv420Layout::I420 ? "I420" : "NV12";
}

} // namespace

TEST(Yuv420Conversion, MatchesLimitedRangeBt601WithinOneStepInBothLayouts)
{
    const struct {
        int width, height, padding;
    } cases[] = {{2, 2, 0}, {8, 14, 2}, {34, 18, 1}, {640, 480, 0}, {322, 242, 3}};
    unsigned seed = 1;
    for (const pixels::Yuv420Layout layout : Layouts)
        for (const auto& c : cases) {
            const Picture p = RandomPicture(c.width, c.height, c.padding, seed++);
            Frame f(c.width, c.height, layout, 0);
            pixels::ConvertToYuv420(p.bits.data(), p.rowbytes, p.height, c.width, c.height, layout, f.planes());
            const auto [worst, bias] = Compare(p, f);
            EXPECT_LE(worst, 1) << Name(layout) << " " << c.width << "x" << c.height;
            // Rounded, not cut off.
            if (c.width * c.height >= 1000) {
                EXPECT_LT(std::abs(bias), 0.1) << Name(layout) << " " << c.width << "x" << c.height;
            }
        }
}

TEST(Yuv420Conversion, ConvertsAPartIntoWiderRowsAndLeavesTheRestAlone)
{
    for (const pixels::Yuv420Layout layout : Layouts) {
        const Picture p = RandomPicture(40, 30, 0, 77);
        Frame f(20, 10, layout, 16);
        pixels::ConvertToYuv420(p.bits.data(), p.rowbytes, p.height, 20, 10, layout, f.planes());
        EXPECT_LE(Compare(p, f).first, 1) << Name(layout);
        const int cWidth = layout == pixels::Yuv420Layout::I420 ? 10 : 20;
        for (int row = 0; row < 10; ++row)
            for (int x = 20; x < f.yStride; ++x)
                ASSERT_EQ(f.luma(x, row), 0xEE) << Name(layout) << " luma " << x << "," << row;
        const pixels::Yuv420Planes planes = f.planes();
        const int cPlanes = layout == pixels::Yuv420Layout::I420 ? 2 : 1;
        for (int plane = 0; plane < cPlanes; ++plane)
            for (int row = 0; row < 5; ++row)
                for (int x = cWidth; x < f.cStride; ++x)
                    ASSERT_EQ((plane == 0 ? planes.cb : planes.cr)[row * f.cStride + x], 0xEE)
                        << Name(layout) << " colour " << x << "," << row;
    }
}

TEST(Yuv420Conversion, BlackWhiteAndPrimariesLandOnTheLimitedRangeCodes)
{
    // Each 2x2 block one colour, one block per colour, side by side.
    const std::uint8_t colours[][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    const int expected[][3] = {{16, 128, 128}, {235, 128, 128}, {82, 90, 240}, {145, 54, 34}, {41, 240, 110}};
    const int width = 10, height = 2;
    Picture p{width, height, width * 3, std::vector<std::uint8_t>(width * 3 * height)};
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x)
            std::copy(colours[x / 2], colours[x / 2] + 3, const_cast<std::uint8_t*>(p.pixel(x, row)));
    for (const pixels::Yuv420Layout layout : Layouts) {
        Frame f(width, height, layout, 0);
        pixels::ConvertToYuv420(p.bits.data(), p.rowbytes, height, width, height, layout, f.planes());
        for (int block = 0; block < 5; ++block) {
            EXPECT_NEAR(f.luma(block * 2 + 1, 1), expected[block][0], 1) << Name(layout) << " " << block;
            const auto [cb, cr] = f.colour(block, 0);
            EXPECT_NEAR(cb, expected[block][1], 1) << Name(layout) << " " << block;
            EXPECT_NEAR(cr, expected[block][2], 1) << Name(layout) << " " << block;
        }
    }
}
