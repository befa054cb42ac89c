// What the renderer really puts on an image device, on each way.

#include "render/render_support.h"

#include <algorithm>

using testpic::compareDrawing;
using testpic::Picture;

class RenderOutput : public RenderTest, public ::testing::WithParamInterface<int> {};

TEST_P(RenderOutput, EveryZoomMatchesNearestNeighbourSampling)
{
    Picture pic(testpic::makePicture(30, 21, GetParam()));
    for (int zoom : {100, 200, 33}) {
        const int w = 30 * zoom / 100, h = 21 * zoom / 100;
        QImage image = testpic::sentinelImage(w + 4, h + 4);
        gdi::ImageDC dc(image);
        renderWhole(&dc, pic, 2, 3, w, h);
        EXPECT_EQ(compareDrawing(image, QRect(2, 3, w, h), pic, QRect(0, 0, 30, 21)), "") << zoom << " %";
    }
    EXPECT_TRUE(messages.empty());
}

TEST_P(RenderOutput, TheResampledCopyMatchesFirstAndLastPixels)
{
    Picture pic(testpic::makePicture(4, 3, GetParam()));
    QImage image = testpic::sentinelImage(7, 5);
    gdi::ImageDC target(image);
    gdi::RecordingDC dc(&target);
    dc.setRasterCaps(RC_DIBTODEV);
    renderWhole(&dc, pic, 0, 0, 7, 5);
    const auto names = dc.names();
    ASSERT_NE(std::find(names.begin(), names.end(), "SetDIBitsToDevice"), names.end());
    ASSERT_EQ(std::find(names.begin(), names.end(), "CreateCompatibleBitmap"), names.end());
    // Columns 0,0,1,1,2,2,3; rows from the top 0,0,1,1,2 of the picture's top.
    const int columns[] = {0, 0, 1, 1, 2, 2, 3};
    const int rowsFromBottom[] = {0, 0, 1, 1, 2};
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(image.pixel(x, 4 - y), testpic::expectedColour(pic, columns[x], rowsFromBottom[y]))
                << x << "," << y;
}

TEST_P(RenderOutput, TheMemoryBitmapShowsWhatTheDirectWayShows)
{
    Picture pic(testpic::makePicture(30, 21, GetParam()));
    // A part of the picture, so that the row order of the bitmap matters.
    auto draw = [&](int caps, bool failDirect) {
        QImage image = testpic::sentinelImage(70, 50);
        gdi::ImageDC target(image);
        gdi::RecordingDC dc(&target);
        dc.setRasterCaps(caps);
        if (failDirect)
            dc.fail("StretchDIBits");
        RenderDIB(&dc, 1, 2, 60, 40, pic, 4, 3, 15, 10, false, SRCCOPY, false, nullptr);
        return image;
    };
    const QImage direct = draw(RC_STRETCHDIB | RC_DIBTODEV, false);
    EXPECT_EQ(compareDrawing(direct, QRect(1, 2, 60, 40), pic, QRect(4, 3, 15, 10)), "");
    EXPECT_EQ(draw(RC_STRETCHDIB, true), direct);
    EXPECT_EQ(draw(0, false), direct);
    EXPECT_TRUE(messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Render, RenderOutput, ::testing::Values(1, 4, 8, 24));

TEST_F(RenderTest, ThePicturesFirstRowIsTheBottomOfTheImage)
{
    Picture pic(newdib(4, 3, 24, nullptr, 0));
    for (int x = 0; x < 4; ++x) {
        setpixel(pic, x, 0, 0xff0000); // red, memory row 0
        setpixel(pic, x, 1, 0x00ff00);
        setpixel(pic, x, 2, 0x0000ff); // blue, the last row
    }
    for (int caps : {RC_STRETCHDIB, RC_DIBTODEV, 0}) {
        QImage image = testpic::sentinelImage(4, 3);
        gdi::ImageDC target(image);
        gdi::RecordingDC dc(&target);
        dc.setRasterCaps(caps);
        renderWhole(&dc, pic, 0, 0, 4, 3);
        EXPECT_EQ(image.pixel(1, 2), qRgb(255, 0, 0)) << caps;
        EXPECT_EQ(image.pixel(1, 1), qRgb(0, 255, 0)) << caps;
        EXPECT_EQ(image.pixel(1, 0), qRgb(0, 0, 255)) << caps;
    }
}

TEST_F(RenderTest, APartlyOutsideSourceDrawsOnlyThePicture)
{
    Picture pic(testpic::makePicture(20, 10, 24));
    QImage image = testpic::sentinelImage(60, 30);
    gdi::ImageDC dc(image);
    // Source (-5, -5, 30 x 20) at 200 %: clipped to the picture and placed
    // 10 right, the lost bottom rows cut from the target's bottom.
    RenderDIB(&dc, 0, 0, 60, 40, pic, -5, -5, 30, 20, false, SRCCOPY, false, nullptr);
    // Right: 60 * 25 / 30 = 50 wide, source 25. Bottom: 15 * 40 / 20 = 30
    // high, source 15. Top: 30 * 10 / 15 = 20, DestY + 10. Left: 20 * 50 /
    // 25 = 40, DestX + 10.
    EXPECT_EQ(compareDrawing(image, QRect(10, 10, 40, 20), pic, QRect(0, 0, 20, 10)), "");
}

TEST_F(RenderTest, AShallowScreenShowsAHalftonedPicture)
{
    setScreenBits(8);
    Picture pic(testpic::makePicture(40, 30, 24));
    for (int zoom : {50, 100, 200}) {
        const int w = 40 * zoom / 100, h = 30 * zoom / 100;
        QImage image = testpic::sentinelImage(w, h);
        gdi::ImageDC dc(image);
        renderWhole(&dc, pic, 0, 0, w, h, true);
        // Every pixel drawn, in colours of the halftone palette.
        const LogicalPalette* palette = pic.dib().hpalette;
        ASSERT_NE(palette, nullptr);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = image.pixel(x, y);
                bool inPalette = false;
                for (const RGBQUAD& e : palette->entries)
                    inPalette |= qRgb(e.rgbRed, e.rgbGreen, e.rgbBlue) == c;
                ASSERT_TRUE(inPalette) << zoom << " % at " << x << "," << y;
            }
    }
}
