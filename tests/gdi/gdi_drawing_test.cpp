// DIB transfers onto image devices: every bit depth, scaling, mirroring,
// source rectangles, clipping and refusals.

#include "gdi/picture_support.h"
#include "platform/gdi/RowKernels.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using testpic::compareDrawing;
using testpic::Picture;
using testpic::stretch;

class EveryDepth : public ::testing::TestWithParam<int> {};

TEST_P(EveryDepth, OneToOneMatchesThePicturePixelForPixel)
{
    // 13 columns: odd, so 1- and 4-bit rows end inside a byte and rows are
    // padded at every depth.
    Picture pic(testpic::makePicture(13, 7, GetParam()));
    ASSERT_NE(pic.dib().bits, nullptr);
    QImage image = testpic::sentinelImage(20, 10);
    gdi::ImageDC dc(image);
    EXPECT_EQ(stretch(&dc, QRect(2, 1, 13, 7), pic, QRect(0, 0, 13, 7)), 7);
    EXPECT_EQ(compareDrawing(image, QRect(2, 1, 13, 7), pic, QRect(0, 0, 13, 7)), "");
}

TEST_P(EveryDepth, EnlargedAndReducedTakeTheSourcePixelUnderEachCentre)
{
    Picture pic(testpic::makePicture(30, 21, GetParam()));
    QImage big = testpic::sentinelImage(64, 44);
    gdi::ImageDC bigDC(big);
    stretch(&bigDC, QRect(1, 1, 60, 42), pic, QRect(0, 0, 30, 21));
    EXPECT_EQ(compareDrawing(big, QRect(1, 1, 60, 42), pic, QRect(0, 0, 30, 21)), "");
    // At 200 % every source pixel covers exactly a 2 x 2 block.
    EXPECT_EQ(big.pixel(1, 1), big.pixel(2, 2));
    EXPECT_EQ(big.pixel(1, 1) | 0xff000000u, testpic::expectedColour(pic, 0, 20));

    QImage small = testpic::sentinelImage(12, 9);
    gdi::ImageDC smallDC(small);
    stretch(&smallDC, QRect(1, 1, 10, 7), pic, QRect(0, 0, 30, 21));
    EXPECT_EQ(compareDrawing(small, QRect(1, 1, 10, 7), pic, QRect(0, 0, 30, 21)), "");
}

INSTANTIATE_TEST_SUITE_P(Gdi, EveryDepth, ::testing::Values(1, 4, 8, 16, 24, 32));

TEST(GdiDrawing, SourceRowsCountUpFromTheBottomRow)
{
    Picture pic(testpic::makePicture(9, 10, 24));
    QImage image = testpic::sentinelImage(9, 3);
    gdi::ImageDC dc(image);
    // Rows 2..4 from the bottom: the device's top row shows memory row 4.
    stretch(&dc, QRect(0, 0, 9, 3), pic, QRect(0, 2, 9, 3));
    EXPECT_EQ(image.pixel(0, 0), testpic::expectedColour(pic, 0, 4));
    EXPECT_EQ(image.pixel(0, 2), testpic::expectedColour(pic, 0, 2));
    EXPECT_EQ(compareDrawing(image, QRect(0, 0, 9, 3), pic, QRect(0, 2, 9, 3)), "");
}

TEST(GdiDrawing, NegativeExtentsMirrorWhenOnlyOneSideIsNegative)
{
    Picture pic(testpic::makePicture(8, 6, 8));
    QImage mirrored = testpic::sentinelImage(10, 8);
    gdi::ImageDC dc(mirrored);
    // From x 9 leftwards: columns 1..8, mirrored.
    stretch(&dc, QRect(9, 1, -8, 6), pic, QRect(0, 0, 8, 6));
    EXPECT_EQ(compareDrawing(mirrored, QRect(1, 1, 8, 6), pic, QRect(0, 0, 8, 6), true, false), "");

    QImage upsideDown = testpic::sentinelImage(10, 8);
    gdi::ImageDC dc2(upsideDown);
    stretch(&dc2, QRect(1, 1, 8, 6), pic, QRect(0, 6, 8, -6));
    EXPECT_EQ(compareDrawing(upsideDown, QRect(1, 1, 8, 6), pic, QRect(0, 0, 8, 6), false, true), "");

    QImage both = testpic::sentinelImage(10, 8);
    gdi::ImageDC dc3(both);
    stretch(&dc3, QRect(9, 1, -8, 6), pic, QRect(8, 0, -8, 6));
    EXPECT_EQ(compareDrawing(both, QRect(1, 1, 8, 6), pic, QRect(0, 0, 8, 6)), "");
}

TEST(GdiDrawing, WhatLiesOutsideThePictureOrTheClipIsLeftAlone)
{
    Picture pic(testpic::makePicture(10, 10, 24));
    QImage image = testpic::sentinelImage(30, 30);
    gdi::ImageDC dc(image);
    // Source columns -5..14 one to one: only the picture's 10 columns land.
    stretch(&dc, QRect(0, 0, 20, 10), pic, QRect(-5, 0, 20, 10));
    EXPECT_EQ(compareDrawing(image, QRect(5, 0, 10, 10), pic, QRect(0, 0, 10, 10)), "");

    QImage clipped = testpic::sentinelImage(30, 30);
    gdi::ImageDC clipDC(clipped);
    clipDC.setClipRect(QRect(3, 3, 4, 4));
    stretch(&clipDC, QRect(-100, -100, 1000, 1000), pic, QRect(0, 0, 10, 10));
    EXPECT_EQ(clipped.pixel(2, 3), testpic::kSentinel);
    EXPECT_EQ(clipped.pixel(7, 6), testpic::kSentinel);
    EXPECT_NE(clipped.pixel(3, 3), testpic::kSentinel);
    EXPECT_NE(clipped.pixel(6, 6), testpic::kSentinel);

    // Entirely off the device, and a huge zoom: nothing breaks.
    QImage untouched = testpic::sentinelImage(8, 8);
    gdi::ImageDC offDC(untouched);
    EXPECT_EQ(stretch(&offDC, QRect(50, 50, 10, 10), pic, QRect(0, 0, 10, 10)), 10);
    stretch(&offDC, QRect(-2000000000, 0, 2000000000, 100000000), pic, QRect(0, 0, 10, 10));
    EXPECT_EQ(untouched.pixel(0, 0), testpic::kSentinel);
}

TEST(GdiDrawing, EmptyRectanglesDrawNothingAndRefusalsAnswerGdiError)
{
    Picture pic(testpic::makePicture(4, 4, 24));
    QImage image = testpic::sentinelImage(4, 4);
    gdi::ImageDC dc(image);
    EXPECT_EQ(stretch(&dc, QRect(0, 0, 0, 4), pic, QRect(0, 0, 4, 4)), 0);
    EXPECT_EQ(stretch(&dc, QRect(0, 0, 4, 4), pic, QRect(0, 0, 4, 0)), 0);
    EXPECT_EQ(image.pixel(0, 0), testpic::kSentinel);

    EXPECT_EQ(gdi::StretchDIBits(&dc, 0, 0, 4, 4, 0, 0, 4, 4, nullptr, pic.dib().info, DIB_RGB_COLORS, SRCCOPY),
              GDI_ERROR);
    EXPECT_EQ(gdi::StretchDIBits(&dc, 0, 0, 4, 4, 0, 0, 4, 4, pic.dib().bits, pic.dib().info, 1, SRCCOPY),
              GDI_ERROR);
    EXPECT_EQ(gdi::StretchDIBits(&dc, 0, 0, 4, 4, 0, 0, 4, 4, pic.dib().bits, pic.dib().info, DIB_RGB_COLORS,
                                 0x00660046 /* SRCINVERT */),
              GDI_ERROR);
    BITMAPINFO compressed = *pic.dib().info;
    compressed.bmiHeader.biCompression = 1;
    EXPECT_EQ(gdi::StretchDIBits(&dc, 0, 0, 4, 4, 0, 0, 4, 4, pic.dib().bits, &compressed, DIB_RGB_COLORS, SRCCOPY),
              GDI_ERROR);
    BITMAPINFO twoBits = *pic.dib().info;
    twoBits.bmiHeader.biBitCount = 2;
    EXPECT_EQ(gdi::StretchDIBits(&dc, 0, 0, 4, 4, 0, 0, 4, 4, pic.dib().bits, &twoBits, DIB_RGB_COLORS, SRCCOPY),
              GDI_ERROR);
    EXPECT_EQ(gdi::StretchDIBits(nullptr, 0, 0, 4, 4, 0, 0, 4, 4, pic.dib().bits, pic.dib().info, DIB_RGB_COLORS,
                                 SRCCOPY),
              GDI_ERROR);
    EXPECT_EQ(image.pixel(0, 0), testpic::kSentinel);
}

TEST(GdiDrawing, SetDIBitsToDeviceCopiesOneToOneFromTheRowsItIsGiven)
{
    Picture pic(testpic::makePicture(6, 8, 8));
    QImage image = testpic::sentinelImage(8, 10);
    gdi::ImageDC dc(image);
    EXPECT_EQ(gdi::SetDIBitsToDevice(&dc, 1, 1, 6, 8, 0, 0, 0, 8, pic.dib().bits, pic.dib().info, DIB_RGB_COLORS), 8);
    EXPECT_EQ(compareDrawing(image, QRect(1, 1, 6, 8), pic, QRect(0, 0, 6, 8)), "");

    // A band: only memory rows 2..4 are in the buffer given.
    QImage band = testpic::sentinelImage(8, 10);
    gdi::ImageDC bandDC(band);
    const std::uint8_t* rows = pic.dib().bits + 2 * pic.dib().rowbytes;
    EXPECT_EQ(gdi::SetDIBitsToDevice(&bandDC, 1, 1, 6, 8, 0, 0, 2, 3, rows, pic.dib().info, DIB_RGB_COLORS), 3);
    // Memory rows 2..4 are device rows 1 + (7 - 4) .. 1 + (7 - 2).
    for (int y = 0; y < 10; ++y) {
        const bool inBand = y >= 4 && y <= 6;
        EXPECT_EQ(band.pixel(3, y) == testpic::kSentinel, !inBand) << y;
        if (inBand) {
            EXPECT_EQ(band.pixel(3, y), testpic::expectedColour(pic, 2, 8 - y));
        }
    }
    EXPECT_EQ(gdi::SetDIBitsToDevice(&dc, 0, 0, 6, 8, 0, 0, 0, 8, nullptr, pic.dib().info, DIB_RGB_COLORS), 0);
}

TEST(GdiDrawing, ImagesOfOtherFormatsAreDrawnThroughAPainter)
{
    Picture pic(testpic::makePicture(11, 9, 24));
    QImage image = testpic::sentinelImage(15, 12, QImage::Format_RGB888);
    gdi::ImageDC dc(image);
    stretch(&dc, QRect(2, 1, 11, 9), pic, QRect(0, 0, 11, 9));
    EXPECT_EQ(compareDrawing(image.convertToFormat(QImage::Format_RGB32), QRect(2, 1, 11, 9), pic,
                             QRect(0, 0, 11, 9)),
              "");
}

TEST(GdiRowKernels, EveryPathConvertsLikeThePlainLoop)
{
    std::mt19937 random(7);
    std::vector<std::uint8_t> from(3 * 300 + 64);
    for (auto& b : from)
        b = static_cast<std::uint8_t>(random());
    const gdi::RowPath original = gdi::CurrentRowPath();
    for (gdi::RowPath path : {gdi::RowPath::SSSE3, gdi::RowPath::AVX2}) {
        if (!gdi::RowPathSupported(path))
            continue;
        for (std::size_t count : {0u, 1u, 5u, 15u, 16u, 17u, 33u, 34u, 35u, 63u, 100u, 300u}) {
            // The byte after the last pixel is a guard: the kernel must not
            // read past the pixels it is given into a fault, nor write more.
            std::vector<std::uint32_t> want(count + 1, 0xdeadbeef), got(count + 1, 0xdeadbeef);
            gdi::Bgr24RowPlain(from.data() + 1, want.data(), count);
            ASSERT_TRUE(gdi::SetRowPath(path));
            gdi::Bgr24Row()(from.data() + 1, got.data(), count);
            EXPECT_EQ(got, want) << "count " << count;
            // Ending exactly at the end of an allocation (ASan checks reads).
            std::vector<std::uint8_t> exact(from.begin() + 1, from.begin() + 1 + std::ptrdiff_t(count * 3));
            std::vector<std::uint32_t> out(count);
            gdi::Bgr24Row()(exact.data(), out.data(), count);
            EXPECT_TRUE(std::equal(out.begin(), out.end(), want.begin()));
        }
        // A whole drawing through the path, wider than one block.
        Picture pic(testpic::makePicture(77, 3, 24));
        QImage image = testpic::sentinelImage(77, 3);
        gdi::ImageDC dc(image);
        stretch(&dc, QRect(0, 0, 77, 3), pic, QRect(0, 0, 77, 3));
        EXPECT_EQ(compareDrawing(image, QRect(0, 0, 77, 3), pic, QRect(0, 0, 77, 3)), "");
    }
    gdi::SetRowPath(original);
}
