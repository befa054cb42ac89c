// Clipping the source rectangle to the picture, and the nearest-neighbour
// fill of the resampled copy.

#include "gdi/picture_support.h"
#include "dib/RenderDIB.h"

#include <gtest/gtest.h>

#include <vector>

using render::Rects;

TEST(RenderClip, HalvesRoundToTheEvenNeighbour)
{
    EXPECT_EQ(render::RoundHalfEven(2.5), 2);
    EXPECT_EQ(render::RoundHalfEven(3.5), 4);
    EXPECT_EQ(render::RoundHalfEven(-2.5), -2);
    EXPECT_EQ(render::RoundHalfEven(2.4999), 2);
    EXPECT_EQ(render::RoundHalfEven(2.5001), 3);
    EXPECT_EQ(render::RoundHalfEven(1e12), 2147483647);
}

TEST(RenderClip, EachEdgeShrinksTheTargetInProportion)
{
    // Right: 10 columns past the edge of a 100-wide picture.
    Rects r{5, 6, 200, 50, 10, 0, 100, 25};
    ASSERT_TRUE(render::ClipToPicture(r, 100, 100));
    EXPECT_EQ(r.DestX, 5);
    EXPECT_EQ(r.DestWidth, 180);
    EXPECT_EQ(r.SrcWidth, 90);

    // Left: 10 columns before it; the target moves right by what is cut.
    r = Rects{5, 6, 200, 50, -10, 0, 100, 25};
    ASSERT_TRUE(render::ClipToPicture(r, 100, 100));
    EXPECT_EQ(r.DestX, 25);
    EXPECT_EQ(r.DestWidth, 180);
    EXPECT_EQ(r.SrcX, 0);
    EXPECT_EQ(r.SrcWidth, 90);

    // Bottom: the target loses height at its bottom, DestY stays.
    r = Rects{0, 7, 40, 100, 0, -10, 40, 50};
    ASSERT_TRUE(render::ClipToPicture(r, 40, 100));
    EXPECT_EQ(r.DestY, 7);
    EXPECT_EQ(r.DestHeight, 80);
    EXPECT_EQ(r.SrcY, 0);
    EXPECT_EQ(r.SrcHeight, 40);

    // Top: rows above the picture are cut from the top of the target.
    r = Rects{0, 7, 40, 100, 0, 30, 40, 50};
    ASSERT_TRUE(render::ClipToPicture(r, 40, 60));
    EXPECT_EQ(r.DestY, 7 + 40);
    EXPECT_EQ(r.DestHeight, 60);
    EXPECT_EQ(r.SrcHeight, 30);
}

TEST(RenderClip, RulesApplyInOrderOnWhatTheEarlierOnesLeft)
{
    // All four at once, on a 10 x 10 picture, source (-2, -2, 14 x 14) at 100 %.
    Rects r{0, 0, 14, 14, -2, -2, 14, 14};
    ASSERT_TRUE(render::ClipToPicture(r, 10, 10));
    // Right: width 14 * 12 / 14 = 12, source 12 wide. Bottom: height 12,
    // source 12 high from row 0. Top: 12 * 10 / 12 = 10, DestY + 2. Left:
    // (12 - 2) * 12 / 12 = 10, DestX + 2.
    EXPECT_EQ(r.DestX, 2);
    EXPECT_EQ(r.DestY, 2);
    EXPECT_EQ(r.DestWidth, 10);
    EXPECT_EQ(r.DestHeight, 10);
    EXPECT_EQ(r.SrcX, 0);
    EXPECT_EQ(r.SrcY, 0);
    EXPECT_EQ(r.SrcWidth, 10);
    EXPECT_EQ(r.SrcHeight, 10);
}

TEST(RenderClip, ClippedSizesOnATieGoToEven)
{
    // 5 x 1 / 2 = 2.5 -> 2; 7 x 1 / 2 = 3.5 -> 4.
    Rects r{0, 0, 5, 5, 1, 0, 2, 5};
    ASSERT_TRUE(render::ClipToPicture(r, 2, 5));
    EXPECT_EQ(r.DestWidth, 2);
    r = Rects{0, 0, 7, 5, 1, 0, 2, 5};
    ASSERT_TRUE(render::ClipToPicture(r, 2, 5));
    EXPECT_EQ(r.DestWidth, 4);
    // Left edge, 2.5 kept: the target moves by 5 - 2 = 3.
    r = Rects{10, 0, 5, 5, -1, 0, 2, 5};
    ASSERT_TRUE(render::ClipToPicture(r, 2, 5));
    EXPECT_EQ(r.DestWidth, 2);
    EXPECT_EQ(r.DestX, 13);
}

TEST(RenderClip, NothingOfThePictureInTheSourceIsReported)
{
    Rects zeroWide{0, 0, 10, 10, 20, 0, 0, 10};
    EXPECT_FALSE(render::ClipToPicture(zeroWide, 10, 10));
    Rects zeroHigh{0, 0, 10, 10, 0, -3, 10, 0};
    EXPECT_FALSE(render::ClipToPicture(zeroHigh, 10, 10));
    Rects beside{0, 0, 10, 10, 15, 0, 5, 10};
    EXPECT_FALSE(render::ClipToPicture(beside, 10, 10));
    Rects below{0, 0, 10, 10, 0, -20, 10, 5};
    EXPECT_FALSE(render::ClipToPicture(below, 10, 10));
    Rects inside{0, 0, 10, 10, 0, 0, 10, 10};
    EXPECT_TRUE(render::ClipToPicture(inside, 10, 10));
}

TEST(RenderFill, FourColumnsSpreadOverSevenMatchFirstAndLast)
{
    // 8 bits: column c holds index c; row r is offset by 16 r.
    testpic::Picture pic(newdib(4, 3, 8, nullptr, 256));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            setpixel(pic, x, y, std::uint32_t(16 * y + x));
    testpic::Picture scratch(newdib(7, 5, 8, pic.dib().info, 256));
    render::FillScratch(scratch, pic, 0, 0, 4, 3);
    std::vector<int> row0, rows;
    for (int x = 0; x < 7; ++x)
        row0.push_back(int(getpixel(scratch, x, 0)));
    for (int y = 0; y < 5; ++y)
        rows.push_back(int(getpixel(scratch, 0, y)) / 16);
    EXPECT_EQ(row0, (std::vector<int>{0, 0, 1, 1, 2, 2, 3}));
    EXPECT_EQ(rows, (std::vector<int>{0, 0, 1, 1, 2}));
}

TEST(RenderFill, FourBitRowsFillBothNibbles)
{
    // Source nibbles 1..9 across 9 columns; 9 -> 9 one to one from column 0,
    // then 9 -> 5 from an odd first column.
    testpic::Picture pic(newdib(9, 2, 4, nullptr, 16));
    for (int x = 0; x < 9; ++x) {
        setpixel(pic, x, 0, std::uint32_t(x + 1));
        setpixel(pic, x, 1, std::uint32_t(15 - x));
    }
    testpic::Picture same(newdib(9, 2, 4, pic.dib().info, 16));
    render::FillScratch(same, pic, 0, 0, 9, 2);
    for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(getpixel(same, x, 0), std::uint32_t(x + 1)) << x;
        EXPECT_EQ(getpixel(same, x, 1), std::uint32_t(15 - x)) << x;
    }
    // Columns 1..8 to 5: sources 1 + 7x/4 = 1, 2, 4, 6, 8.
    testpic::Picture part(newdib(5, 2, 4, pic.dib().info, 16));
    render::FillScratch(part, pic, 1, 0, 8, 2);
    std::vector<int> got;
    for (int x = 0; x < 5; ++x)
        got.push_back(int(getpixel(part, x, 0)));
    EXPECT_EQ(got, (std::vector<int>{2, 3, 5, 7, 9}));
    EXPECT_EQ(part.dib().bits[0], 0x23);
}

TEST(RenderFill, OneAndTwentyFourBitPixelsCopyWhole)
{
    for (int bits : {1, 24}) {
        testpic::Picture pic(testpic::makePicture(5, 4, bits));
        testpic::Picture scratch(newdib(9, 7, bits, pic.dib().info, bits == 1 ? 2 : 0));
        render::FillScratch(scratch, pic, 0, 0, 5, 4);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 9; ++x)
                EXPECT_EQ(getpixel(scratch, x, y), getpixel(pic, 4 * x / 8, 3 * y / 6)) << bits << " " << x << "," << y;
    }
}
