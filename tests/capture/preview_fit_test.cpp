// The capture window's size inside the capture control, above all the fit
// that keeps the image's proportions: near a half the result must be the one
// of the float ratios with the product or quotient taken exactly.

#include "capture/PreviewFit.h"

#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

namespace {

QSize fit(int cw, int ch, int iw, int ih)
{
    return FitPreview(QSize(cw, ch), QSize(iw, ih), true, true);
}

TEST(PreviewFit, WithoutScalingTheImageSizeWithScalingAloneTheControlSize)
{
    EXPECT_EQ(QSize(640, 480), FitPreview(QSize(200, 100), QSize(640, 480), false, true));
    EXPECT_EQ(QSize(200, 100), FitPreview(QSize(200, 100), QSize(640, 480), true, false));
    EXPECT_EQ(QSize(133, 100), fit(200, 100, 640, 480));
    EXPECT_EQ(QSize(100, 75), fit(100, 200, 640, 480));
}

TEST(PreviewFit, ANearHalfIsNotRoundedUpByASinglePrecisionQuotient)
{
    // 640 / 480 as a float is 1.33333337...; 10 / that is 7.4999998, which a
    // float quotient would make 7.5 and then 8.
    EXPECT_EQ(QSize(10, 7), fit(10, 8, 640, 480));
    EXPECT_EQ(QSize(2, 1), fit(2, 2, 640, 480));
    EXPECT_EQ(QSize(266, 199), fit(266, 200, 640, 480));
    EXPECT_EQ(QSize(314, 235), fit(314, 236, 640, 480));
}

TEST(PreviewFit, AnExactHalfGoesToTheEvenNeighbour)
{
    // Product: 101 x 1.5 = 151.5 gives 152, 103 x 1.5 = 154.5 gives 154.
    EXPECT_EQ(QSize(152, 101), fit(1000, 101, 300, 200));
    EXPECT_EQ(QSize(154, 103), fit(1000, 103, 300, 200));
    // Quotient: 101 / 2 = 50.5 gives 50, 103 / 2 = 51.5 gives 52.
    EXPECT_EQ(QSize(101, 50), fit(101, 100, 640, 320));
    EXPECT_EQ(QSize(103, 52), fit(103, 100, 640, 320));
}

// The rule worked in whole numbers: a float ratio is m x 2^e exactly, so the
// product and quotient are fractions of integers, rounded half to even.
std::int64_t roundFraction(std::int64_t num, std::int64_t den)
{
    const std::int64_t q = num / den;
    const std::int64_t twice = 2 * (num % den);
    if (twice > den || (twice == den && q % 2 != 0))
        return q + 1;
    return q;
}

QSize exactFit(int cw, int ch, int iw, int ih)
{
    const float controlRatio = float(cw) / float(ch);
    const float imageRatio = float(iw) / float(ih);
    int e = 0;
    const double mantissa = std::frexp(double(imageRatio), &e); // ratio = mantissa x 2^e
    const auto m = std::int64_t(std::ldexp(mantissa, 24));      // ratio = m x 2^(e - 24)
    const int shift = 24 - e;                                   // ratio = m / 2^shift
    if (controlRatio > imageRatio)
        return {int(roundFraction(std::int64_t(ch) * m, std::int64_t(1) << shift)), ch};
    return {cw, int(roundFraction(std::int64_t(cw) << shift, m))};
}

TEST(PreviewFit, AgreesWithTheRuleInWholeNumbersOverManySizes)
{
    const QSize images[] = {{640, 480}, {1280, 720}, {352, 288}, {1920, 1080}, {176, 144}, {720, 576}, {300, 200}};
    int checked = 0;
    for (const QSize image : images) {
        for (int cw = 1; cw <= 260; cw += 3) {
            for (int ch = 1; ch <= 260; ch += 2) {
                ASSERT_EQ(exactFit(cw, ch, image.width(), image.height()), fit(cw, ch, image.width(), image.height()))
                    << "control " << cw << "x" << ch << ", image " << image.width() << "x" << image.height();
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 50000);
}

TEST(PreviewFit, WithoutHeightsTheWindowFillsTheControlAndIsNeverNegative)
{
    EXPECT_EQ(QSize(100, 0), fit(100, 0, 640, 480));
    EXPECT_EQ(QSize(50, 40), fit(50, 40, 640, 0));
    EXPECT_EQ(QSize(0, 40), fit(0, 40, 0, 480));
    EXPECT_EQ(QSize(0, 40), fit(50, 40, 0, 480));
    EXPECT_EQ(QSize(0, 0), FitPreview(QSize(-5, -5), QSize(640, 480), true, true));
    EXPECT_EQ(QSize(0, 0), FitPreview(QSize(10, 10), QSize(-640, -480), false, false));
}

} // namespace
