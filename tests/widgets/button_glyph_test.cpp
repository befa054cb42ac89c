#include "widgets/ButtonGlyph.h"
#include "widgets/GlyphCache.h"
#include "widget_test_support.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using widget_test::GlyphStrip;
using widget_test::kGrey;
using widget_test::kOlive;
using widget_test::kRed;

const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
const GlyphColours kColours{qRgb(10, 20, 30), qRgb(250, 240, 230), qRgb(60, 70, 80)};

QRgb SlotPixel(const TButtonGlyph& g, TButtonState state, int x, int y)
{
    return g.ImageList()->Image(g.ImageIndex(state)).pixel(x, y);
}

TEST(ButtonGlyph, ImageCountFollowsTheBitmapsShape)
{
    TButtonGlyph g;
    g.SetGlyph(QImage(64, 16, QImage::Format_RGB32));
    EXPECT_EQ(g.NumGlyphs(), 4);
    g.SetGlyph(QImage(96, 16, QImage::Format_RGB32)); // six would be too many: one
    EXPECT_EQ(g.NumGlyphs(), 1);
    g.SetNumGlyphs(3);
    g.SetGlyph(QImage(50, 16, QImage::Format_RGB32)); // no whole multiple: kept
    EXPECT_EQ(g.NumGlyphs(), 3);
    EXPECT_EQ(g.ImageSize(), QSize(16, 16));
    g.SetNumGlyphs(0);
    EXPECT_EQ(g.NumGlyphs(), 1);
}

TEST(ButtonGlyph, TransparentColourIsBottomLeftOrWhiteForOneBit)
{
    TButtonGlyph g;
    g.SetGlyph(GlyphStrip(2));
    EXPECT_EQ(g.TransparentColor() | 0xff000000u, kOlive);
    QImage mono(16, 16, QImage::Format_Mono);
    mono.fill(0);
    g.SetGlyph(mono);
    EXPECT_EQ(g.TransparentColor(), kWhite);
}

TEST(ButtonGlyph, StateImagesComeFromTheirOwnImageOrTheFirst)
{
    TButtonGlyph two;
    two.SetGlyph(GlyphStrip(2));
    const int up = two.CreateButtonGlyph(bsUp, kColours);
    EXPECT_EQ(two.CreateButtonGlyph(bsDown, kColours), up); // fewer than three: the up image
    EXPECT_EQ(two.ImageIndex(bsDown), -1);
    two.CreateButtonGlyph(bsExclusive, kColours);
    EXPECT_EQ(SlotPixel(two, bsExclusive, 5, 5), kRed | 0xff000000u);
    // The olive bottom-left pixel is left out.
    EXPECT_EQ(qAlpha(SlotPixel(two, bsUp, 0, 15)), 0);
    EXPECT_EQ(qAlpha(SlotPixel(two, bsUp, 1, 15)), 255);

    TButtonGlyph three;
    three.SetGlyph(GlyphStrip(3));
    three.CreateButtonGlyph(bsDown, kColours);
    EXPECT_NE(three.ImageIndex(bsDown), -1);
    EXPECT_EQ(SlotPixel(three, bsDown, 5, 5), qRgb(0, 0, 255));
}

TEST(ButtonGlyph, DisabledImageOfTwoOrMoreIsRecoloured)
{
    QImage strip = GlyphStrip(2);
    strip.setPixel(16 + 1, 1, kWhite);
    strip.setPixel(16 + 2, 1, kOlive);
    strip.setPixel(16 + 3, 1, kRed);
    TButtonGlyph g;
    g.SetGlyph(strip);
    g.CreateButtonGlyph(bsDisabled, kColours);
    EXPECT_EQ(SlotPixel(g, bsDisabled, 5, 5), kColours.shadow | 0xff000000u); // grey
    EXPECT_EQ(SlotPixel(g, bsDisabled, 1, 1), kColours.highlight | 0xff000000u); // white
    EXPECT_EQ(SlotPixel(g, bsDisabled, 3, 1), kRed);
    // Transparent colour became the face, which the mask then leaves out.
    EXPECT_EQ(qAlpha(SlotPixel(g, bsDisabled, 2, 1)), 0);
    EXPECT_EQ(qAlpha(SlotPixel(g, bsDisabled, 0, 15)), 0);
}

TEST(ButtonGlyph, DisabledImageOfOneIsEmbossedFromItsBlackPixels)
{
    QImage one(8, 8, QImage::Format_RGB32);
    one.fill(kOlive);
    one.setPixel(2, 2, kBlack);
    one.setPixel(5, 2, kRed); // not black: not embossed
    one.setPixel(7, 7, kBlack); // its relief would fall outside
    TButtonGlyph g;
    g.SetGlyph(one);
    ASSERT_EQ(g.NumGlyphs(), 1);
    g.CreateButtonGlyph(bsDisabled, kColours);
    EXPECT_EQ(SlotPixel(g, bsDisabled, 2, 2), kColours.shadow | 0xff000000u);
    EXPECT_EQ(SlotPixel(g, bsDisabled, 3, 3), kColours.highlight | 0xff000000u);
    EXPECT_EQ(SlotPixel(g, bsDisabled, 7, 7), kColours.shadow | 0xff000000u);
    EXPECT_EQ(qAlpha(SlotPixel(g, bsDisabled, 5, 2)), 0); // face, masked
    EXPECT_EQ(qAlpha(SlotPixel(g, bsDisabled, 0, 0)), 0);
}

TEST(ButtonGlyph, SlotsAreSharedReleasedAndReused)
{
    ASSERT_EQ(GlyphCache::Existing() ? GlyphCache::Existing()->ListCount() : 0, 0);
    auto a = std::make_unique<TButtonGlyph>();
    auto b = std::make_unique<TButtonGlyph>();
    a->SetGlyph(GlyphStrip(2));
    b->SetGlyph(GlyphStrip(2));
    EXPECT_EQ(a->CreateButtonGlyph(bsUp, kColours), 0);
    EXPECT_EQ(a->CreateButtonGlyph(bsDisabled, kColours), 1);
    EXPECT_EQ(b->CreateButtonGlyph(bsUp, kColours), 2);
    ASSERT_EQ(a->ImageList(), b->ImageList()); // one list per image size
    const GlyphImageList* list = a->ImageList();
    EXPECT_EQ(list->Count(), 3);

    // A glyph of another size gets a list of its own.
    TButtonGlyph other;
    other.SetGlyph(GlyphStrip(2, 18));
    other.CreateButtonGlyph(bsUp, kColours);
    EXPECT_NE(other.ImageList(), list);
    EXPECT_EQ(GlyphCache::Existing()->ListCount(), 2);

    // A new bitmap releases the old images; the list stays for b.
    a->SetGlyph(GlyphStrip(2));
    EXPECT_EQ(a->ImageIndex(bsUp), -1);
    EXPECT_EQ(a->ImageList(), nullptr);
    EXPECT_EQ(list->Count(), 1);
    EXPECT_EQ(list->SlotCount(), 3);
    EXPECT_FALSE(list->IsUsed(0));
    EXPECT_TRUE(list->IsUsed(2));

    // Freed slots are taken first, lowest first.
    EXPECT_EQ(a->CreateButtonGlyph(bsDisabled, kColours), 0);
    EXPECT_EQ(a->CreateButtonGlyph(bsUp, kColours), 1);
    EXPECT_EQ(list->SlotCount(), 3);

    // Changing the number of images releases too.
    a->SetNumGlyphs(1);
    EXPECT_EQ(list->Count(), 1);

    // The last user gone, the list goes; with no lists left the cache goes
    // with the next glyph that is destroyed.
    b.reset();
    EXPECT_EQ(GlyphCache::Existing()->ListCount(), 1);
    a.reset();
    ASSERT_NE(GlyphCache::Existing(), nullptr); // `other` still holds a list
    other.Invalidate();
    EXPECT_EQ(GlyphCache::Existing()->ListCount(), 0);
}

TEST(ButtonGlyph, CacheIsDestroyedWithTheLastGlyphThatFindsItEmpty)
{
    {
        TButtonGlyph g;
        g.SetGlyph(GlyphStrip(2));
        g.CreateButtonGlyph(bsUp, kColours);
        EXPECT_NE(GlyphCache::Existing(), nullptr);
    }
    EXPECT_EQ(GlyphCache::Existing(), nullptr);
    // An empty glyph draws nothing and makes no list.
    TButtonGlyph empty;
    EXPECT_EQ(empty.CreateButtonGlyph(bsUp, kColours), -1);
    EXPECT_EQ(GlyphCache::Existing()->ListCount(), 0);
}

} // namespace
