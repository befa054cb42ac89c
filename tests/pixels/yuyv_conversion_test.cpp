// The conversion of the corrected picture to YUYV, against a reference
// worked out in double precision from the BT.601 definitions.

#include "pixels/YuyvConversion.h"
#include "records/CpuFeatures.h"

#include "tests/pixels/RandomPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using pixtest::Picture;
using pixtest::RandomPicture;

// Limited range: Y in 16..235, Cb and Cr in 16..240 around 128.
void Reference(const std::uint8_t* bgr, double& y, double& cb, double& cr)
{
    const double b = bgr[0], g = bgr[1], r = bgr[2];
    const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
    y = 16.0 + 219.0 * luma / 255.0;
    cb = 128.0 + 224.0 * (b - luma) / (1.772 * 255.0);
    cr = 128.0 + 224.0 * (r - luma) / (1.402 * 255.0);
}

struct Errors {
    int worst = 0;     // largest distance from the reference rounded to whole codes
    double bias = 0.0; // mean signed distance from the exact reference
};

// Compares with the reference; chroma of a pixel pair is the mean of the
// pair's.
Errors Compare(const Picture& p, int width, int height, const std::vector<std::uint8_t>& yuyv, int stride)
{
    Errors e;
    double worst = 0, sum = 0;
    long count = 0;
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; x += 2) {
            double y0, u0, v0, y1, u1, v1;
            Reference(p.pixel(x, row), y0, u0, v0);
            Reference(p.pixel(x + 1, row), y1, u1, v1);
            const std::uint8_t* q = yuyv.data() + static_cast<std::size_t>(row) * stride + x * 2;
            for (const auto& [got, want] :
                 {std::pair{q[0], y0}, {q[2], y1}, {q[1], (u0 + u1) / 2}, {q[3], (v0 + v1) / 2}}) {
                worst = std::max(worst, std::abs(got - std::round(want)));
                sum += got - want;
                ++count;
            }
        }
    e.worst = static_cast<int>(worst);
    e.bias = count > 0 ? sum / count : 0.0;
    return e;
}

int WorstError(const Picture& p, int width, int height, const std::vector<std::uint8_t>& yuyv, int stride)
{
    return Compare(p, width, height, yuyv, stride).worst;
}

} // namespace

// Every row kernel this processor can run.
std::vector<std::pair<const char*, pixels::YuyvRowFn>> Kernels()
{
    std::vector<std::pair<const char*, pixels::YuyvRowFn>> kernels{{"plain", pixels::BgrToYuyvRowPlain}};
    if (cpu::HasAVX2())
        kernels.emplace_back("avx2", pixels::BgrToYuyvRowAVX2);
    return kernels;
}

TEST(YuyvConversion, MatchesLimitedRangeBt601WithinOneStepAtSeveralSizes)
{
    // Sizes around the band height and the vector width, with row padding,
    // and the usual picture size.
    const struct {
        int width, height, padding;
    } cases[] = {{2, 1, 0}, {8, 15, 2}, {34, 17, 1}, {64, 33, 0}, {640, 480, 0}, {322, 241, 3}};
    for (const auto& [name, kernel] : Kernels()) {
        pixels::YuyvConverter converter(kernel);
        unsigned seed = 1;
        for (const auto& c : cases) {
            const Picture p = RandomPicture(c.width, c.height, c.padding, seed++);
            const int stride = c.width * 2;
            std::vector<std::uint8_t> yuyv(static_cast<std::size_t>(stride) * c.height, 0xEE);
            converter.convert(p.bits.data(), p.rowbytes, p.height, c.width, c.height, yuyv.data(), stride);
            const Errors e = Compare(p, c.width, c.height, yuyv, stride);
            EXPECT_LE(e.worst, 1) << name << " " << c.width << "x" << c.height;
            // Rounded, not cut off: a cut shifts every colour by half a step.
            if (c.width * c.height >= 1000) {
                EXPECT_LT(std::abs(e.bias), 0.1) << name << " " << c.width << "x" << c.height;
            }
        }
    }
}

TEST(YuyvConversion, KernelsGiveTheSameBytes)
{
    const Picture p = RandomPicture(1926, 9, 0, 99); // not a multiple of eight pixels
    std::vector<std::uint8_t> first;
    for (const auto& [name, kernel] : Kernels()) {
        std::vector<std::uint8_t> yuyv(1926 * 2 * 9);
        pixels::YuyvConverter(kernel).convert(p.bits.data(), p.rowbytes, p.height, 1926, 9, yuyv.data(), 1926 * 2);
        if (first.empty())
            first = yuyv;
        else
            EXPECT_EQ(yuyv, first) << name;
    }
}

TEST(YuyvConversion, KernelsAgreeAndStayInsideTheRowAtEveryNarrowWidth)
{
    // Widths where the vector kernel's first and last blocks meet or
    // overlap, with no padding, so that a read past either end of the
    // picture is one past its buffer.
    for (int width = 2; width <= 70; width += 2) {
        const Picture p = RandomPicture(width, 3, 0, static_cast<unsigned>(width));
        std::vector<std::uint8_t> first;
        for (const auto& [name, kernel] : Kernels()) {
            std::vector<std::uint8_t> yuyv(static_cast<std::size_t>(width) * 2 * 3);
            pixels::YuyvConverter(kernel).convert(p.bits.data(), p.rowbytes, p.height, width, 3, yuyv.data(),
                                                  width * 2);
            EXPECT_LE(WorstError(p, width, 3, yuyv, width * 2), 1) << name << " " << width;
            if (first.empty())
                first = yuyv;
            else
                EXPECT_EQ(yuyv, first) << name << " " << width;
        }
    }
}

TEST(YuyvConversion, BlackWhiteAndPrimariesLandOnTheLimitedRangeCodes)
{
    // Each row one colour; the top row of the picture is the last in memory.
    const std::uint8_t colours[][3] = {{0, 0, 0}, {255, 255, 255}, {0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
    const int width = 4, height = 5;
    Picture p{width, height, width * 3, std::vector<std::uint8_t>(width * 3 * height)};
    for (int row = 0; row < height; ++row)
        for (int x = 0; x < width; ++x)
            std::copy(colours[row], colours[row] + 3, const_cast<std::uint8_t*>(p.pixel(x, row)));
    std::vector<std::uint8_t> yuyv(width * 2 * height);
    pixels::YuyvConverter().convert(p.bits.data(), p.rowbytes, height, width, height, yuyv.data(), width * 2);
    // Y, Cb, Cr of black, white, red, green, blue in limited-range BT.601.
    const int expected[][3] = {{16, 128, 128}, {235, 128, 128}, {82, 90, 240}, {145, 54, 34}, {41, 240, 110}};
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* q = yuyv.data() + row * width * 2;
        EXPECT_NEAR(q[0], expected[row][0], 1) << "row " << row;
        EXPECT_NEAR(q[1], expected[row][1], 1) << "row " << row;
        EXPECT_NEAR(q[3], expected[row][2], 1) << "row " << row;
    }
}

TEST(YuyvConversion, ConvertsAPartIntoAWiderFrameAndLeavesTheRestAlone)
{
    const Picture p = RandomPicture(40, 30, 0, 77);
    const int stride = 64 * 2;
    std::vector<std::uint8_t> yuyv(static_cast<std::size_t>(stride) * 30, 0xEE);
    pixels::YuyvConverter().convert(p.bits.data(), p.rowbytes, p.height, 20, 10, yuyv.data(), stride);
    EXPECT_LE(WorstError(p, 20, 10, yuyv, stride), 1);
    for (int row = 0; row < 30; ++row)
        for (int i = 0; i < stride; ++i)
            if (row >= 10 || i >= 40) {
                ASSERT_EQ(yuyv[static_cast<std::size_t>(row) * stride + i], 0xEE) << row << "," << i;
            }
}
