// The page-layout rule on its own: whole page with and without the aspect
// kept, percentages with their rounding, centring.

#include "viewer/PrintLayout.h"

#include <gtest/gtest.h>

namespace {

PrintOptions fullPage(bool keepAspect, bool centred)
{
    PrintOptions o;
    o.FullPage = true;
    o.KeepAspect = keepAspect;
    o.Centred = centred;
    return o;
}

PrintOptions userDefined(int width, int height, bool centred = true)
{
    PrintOptions o;
    o.FullPage = false;
    o.Width = width;
    o.Height = height;
    o.Centred = centred;
    return o;
}

TEST(CalcPrintRect, FullPageKeepsAspectOnPortraitAndLandscapePages)
{
    // A 4:3 picture fills a portrait page's width and a landscape page's
    // height, centred along the other side.
    EXPECT_EQ((PrintRect{0, 1500, 4800, 3600}), CalcPrintRect(4800, 6600, 640, 480, fullPage(true, true)));
    EXPECT_EQ((PrintRect{100, 0, 6400, 4800}), CalcPrintRect(6600, 4800, 640, 480, fullPage(true, true)));
    // The preview's scaled page: 138 x 190 in a 190 x 190 surface.
    EXPECT_EQ((PrintRect{0, 43, 138, 103}), CalcPrintRect(138, 190, 640, 480, fullPage(true, true)));
    // Sizes cut toward zero: 480 * 1001 / 640 = 750.75.
    EXPECT_EQ((PrintRect{0, 0, 1001, 750}), CalcPrintRect(1001, 2000, 640, 480, fullPage(true, false)));
    // t equal to the page height still takes the width branch.
    EXPECT_EQ((PrintRect{0, 0, 640, 480}), CalcPrintRect(640, 480, 640, 480, fullPage(true, true)));
}

TEST(CalcPrintRect, FullPageWithoutAspectStretchesAndCentringOffStartsTopLeft)
{
    EXPECT_EQ((PrintRect{0, 0, 4800, 6600}), CalcPrintRect(4800, 6600, 640, 480, fullPage(false, true)));
    EXPECT_EQ((PrintRect{0, 0, 6400, 4800}), CalcPrintRect(6600, 4800, 640, 480, fullPage(true, false)));
    EXPECT_EQ((PrintRect{0, 0, 4800, 3600}), CalcPrintRect(4800, 6600, 640, 480, fullPage(true, false)));
}

TEST(CalcPrintRect, UserDefinedRoundsHalvesToEvenAndIgnoresAspect)
{
    // 50 % of 4801 is 2400.5 -> 2400; of 4803 is 2401.5 -> 2402.
    PrintRect r = CalcPrintRect(4801, 4803, 640, 480, userDefined(50, 50, false));
    EXPECT_EQ(2400, r.Width);
    EXPECT_EQ(2402, r.Height);
    // Keep aspect plays no part: 100 % x 100 % covers the page.
    PrintOptions all = userDefined(100, 100);
    all.KeepAspect = true;
    EXPECT_EQ((PrintRect{0, 0, 4800, 6600}), CalcPrintRect(4800, 6600, 640, 480, all));
    // 33 % of 1000 = 330, of 1001 = 330.33 -> 330, of 1003 = 330.99 -> 331;
    // centred offsets cut.
    EXPECT_EQ((PrintRect{335, 335, 330, 330}), CalcPrintRect(1000, 1000, 10, 10, userDefined(33, 33)));
    EXPECT_EQ((PrintRect{335, 336, 330, 331}), CalcPrintRect(1001, 1003, 10, 10, userDefined(33, 33)));
}

TEST(CalcPrintRect, PercentagesBeyondThePageGiveNegativeOffsetsCutTowardZero)
{
    // 150 % of 1001 = 1501.5 -> 1502; (1001 - 1502) / 2 = -250.5 -> -250.
    EXPECT_EQ((PrintRect{-250, -250, 1502, 1502}), CalcPrintRect(1001, 1001, 640, 480, userDefined(150, 150)));
    // Typed values far outside the range do not overflow.
    const PrintRect huge = CalcPrintRect(14033, 14033, 640, 480, userDefined(999999, 1));
    EXPECT_EQ(140329860, huge.Width);
    EXPECT_EQ(140, huge.Height);
}

TEST(CalcPrintRect, LargePagesAndPicturesDoNotOverflow)
{
    // IH * PW is beyond 32 bits here.
    const PrintRect r = CalcPrintRect(100000, 100000, 30000, 40000, fullPage(true, true));
    EXPECT_EQ((PrintRect{12500, 0, 75000, 100000}), r);
}

TEST(CalcPrintRect, PictureWithoutPixelsFillsThePageInsteadOfDividingByZero)
{
    EXPECT_EQ((PrintRect{0, 0, 4800, 6600}), CalcPrintRect(4800, 6600, 0, 0, fullPage(true, true)));
}

} // namespace
