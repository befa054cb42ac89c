#include "widgets/ButtonLayout.h"

#include <gtest/gtest.h>

namespace {

const QRect kWide(0, 0, 100, 30);
const QRect kTall(0, 0, 60, 80);
const QSize kGlyph(16, 16);
const QSize kText(40, 13);

TEST(ButtonLayout, HorizontalLayoutsCentreAcrossAndShareTheRoomAlong)
{
    // Margin -1, spacing 4: glyph and caption as one block, centred.
    auto left = CalcButtonLayout(kWide, kGlyph, kText, blGlyphLeft, -1, 4, false);
    EXPECT_EQ(left.glyphPos, QPoint(20, 7));
    EXPECT_EQ(left.textBounds, QRect(QPoint(40, 9), kText));

    auto right = CalcButtonLayout(kWide, kGlyph, kText, blGlyphRight, -1, 4, false);
    EXPECT_EQ(right.glyphPos, QPoint(64, 7));
    EXPECT_EQ(right.textBounds.topLeft(), QPoint(20, 9));

    // Both -1: three equal gaps.
    auto shared = CalcButtonLayout(kWide, kGlyph, kText, blGlyphLeft, -1, -1, false);
    EXPECT_EQ(shared.glyphPos.x(), 14);
    EXPECT_EQ(shared.textBounds.left(), 44);

    // Margin given, spacing -1: the rest split around the caption.
    auto spaced = CalcButtonLayout(kWide, kGlyph, kText, blGlyphLeft, 5, -1, false);
    EXPECT_EQ(spaced.glyphPos.x(), 5);
    EXPECT_EQ(spaced.textBounds.left(), 40);

    auto fixed = CalcButtonLayout(kWide, kGlyph, kText, blGlyphLeft, 3, 2, false);
    EXPECT_EQ(fixed.glyphPos.x(), 3);
    EXPECT_EQ(fixed.textBounds.left(), 21);

    auto fixedRight = CalcButtonLayout(kWide, kGlyph, kText, blGlyphRight, 3, 2, false);
    EXPECT_EQ(fixedRight.glyphPos.x(), 81);
    EXPECT_EQ(fixedRight.textBounds.left(), 39);
}

TEST(ButtonLayout, VerticalLayoutsWorkOnTheOtherAxis)
{
    auto top = CalcButtonLayout(kTall, kGlyph, kText, blGlyphTop, -1, 4, false);
    EXPECT_EQ(top.glyphPos, QPoint(22, 24));
    EXPECT_EQ(top.textBounds.topLeft(), QPoint(10, 44));

    auto bottom = CalcButtonLayout(kTall, kGlyph, kText, blGlyphBottom, -1, 4, false);
    EXPECT_EQ(bottom.glyphPos, QPoint(22, 40));
    EXPECT_EQ(bottom.textBounds.topLeft(), QPoint(10, 23));

    auto shared = CalcButtonLayout(kTall, kGlyph, kText, blGlyphTop, -1, -1, false);
    EXPECT_EQ(shared.glyphPos.y(), 17); // (80 - 16 - 13) div 3
    EXPECT_EQ(shared.textBounds.top(), 50);

    auto spaced = CalcButtonLayout(kTall, kGlyph, kText, blGlyphBottom, 6, -1, false);
    EXPECT_EQ(spaced.glyphPos.y(), 58);          // 80 - 6 - 16
    EXPECT_EQ(spaced.textBounds.top(), 58 - 22 - 13); // spacing (80 - 6 - 16 - 13) div 2 = 22
}

TEST(ButtonLayout, RightToLeftSwapsLeftAndRightOnly)
{
    auto swapped = CalcButtonLayout(kWide, kGlyph, kText, blGlyphLeft, -1, 4, true);
    EXPECT_EQ(swapped.glyphPos, QPoint(64, 7));
    auto back = CalcButtonLayout(kWide, kGlyph, kText, blGlyphRight, -1, 4, true);
    EXPECT_EQ(back.glyphPos, QPoint(20, 7));
    auto top = CalcButtonLayout(kTall, kGlyph, kText, blGlyphTop, -1, 4, true);
    EXPECT_EQ(top.glyphPos, QPoint(22, 24));
}

TEST(ButtonLayout, CaptionOrGlyphAloneIsCentredWithoutSpacing)
{
    auto caption = CalcButtonLayout(kWide, QSize(0, 0), kText, blGlyphLeft, -1, 4, false);
    EXPECT_EQ(caption.textBounds, QRect(QPoint(30, 9), kText));
    auto glyph = CalcButtonLayout(kWide, kGlyph, QSize(0, 0), blGlyphLeft, -1, 4, false);
    EXPECT_EQ(glyph.glyphPos, QPoint(42, 7));
    // Even -1/-1 turns into a centred block once spacing has become 0.
    auto both = CalcButtonLayout(kWide, kGlyph, QSize(0, 0), blGlyphLeft, -1, -1, false);
    EXPECT_EQ(both.glyphPos, QPoint(42, 7));
}

TEST(ButtonLayout, TruncatesTowardZeroAndFollowsTheClientOrigin)
{
    // A caption wider than the button: (20 - 60 + 1) div 2 = -19, not -20.
    auto crowded = CalcButtonLayout(QRect(0, 0, 20, 30), kGlyph, kText, blGlyphLeft, -1, 4, false);
    EXPECT_EQ(crowded.glyphPos.x(), -19);
    // Odd remainders round up across the axis: (30 - 13 + 1) div 2 = 9.
    auto moved = CalcButtonLayout(kWide.translated(3, 2), kGlyph, kText, blGlyphLeft, -1, 4, false);
    EXPECT_EQ(moved.glyphPos, QPoint(23, 9));
    EXPECT_EQ(moved.textBounds.topLeft(), QPoint(43, 11));
}

} // namespace
