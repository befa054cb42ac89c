// Memory bitmaps and memory contexts: made, written, selected, copied from
// and freed as the classic interface does it.

#include "gdi/picture_support.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

using testpic::Picture;

TEST(GdiBitmaps, APictureCopiedThroughAMemoryBitmapReadsRowsFromTheTop)
{
    Picture pic(testpic::makePicture(10, 6, 4));
    QImage image = testpic::sentinelImage(24, 16);
    gdi::ImageDC dc(image);

    HBITMAP bitmap = gdi::CreateCompatibleBitmap(&dc, 10, 6);
    ASSERT_NE(bitmap, nullptr);
    HDC memory = gdi::CreateCompatibleDC(&dc);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(gdi::SetDIBits(memory, bitmap, 0, 6, pic.dib().bits, pic.dib().info, DIB_RGB_COLORS), 6);
    HGDIOBJ replaced = gdi::SelectObject(memory, bitmap);
    ASSERT_NE(replaced, nullptr);
    // While selected the bitmap can be neither written nor freed.
    EXPECT_EQ(gdi::SetDIBits(memory, bitmap, 0, 6, pic.dib().bits, pic.dib().info, DIB_RGB_COLORS), 0);
    EXPECT_EQ(gdi::DeleteObject(bitmap), 0);

    // The whole bitmap at 200 %, then rows 0..1 from the top alone.
    EXPECT_NE(gdi::StretchBlt(&dc, 2, 2, 20, 12, memory, 0, 0, 10, 6, SRCCOPY), 0);
    EXPECT_EQ(testpic::compareDrawing(image, QRect(2, 2, 20, 12), pic, QRect(0, 0, 10, 6)), "");
    QImage top = testpic::sentinelImage(10, 2);
    gdi::ImageDC topDC(top);
    EXPECT_NE(gdi::StretchBlt(&topDC, 0, 0, 10, 2, memory, 0, 0, 10, 2, SRCCOPY), 0);
    EXPECT_EQ(testpic::compareDrawing(top, QRect(0, 0, 10, 2), pic, QRect(0, 4, 10, 2)), "");

    EXPECT_EQ(gdi::StretchBlt(&dc, 0, 0, 10, 6, memory, 0, 0, 10, 6, 0x00660046), 0);
    EXPECT_EQ(gdi::StretchBlt(&dc, 0, 0, 10, 6, nullptr, 0, 0, 10, 6, SRCCOPY), 0);

    EXPECT_EQ(gdi::SelectObject(memory, replaced), bitmap);
    EXPECT_NE(gdi::DeleteDC(memory), 0);
    EXPECT_NE(gdi::DeleteObject(bitmap), 0);
}

TEST(GdiBitmaps, DescriptionsSizesAndRefusals)
{
    QImage image(8, 8, QImage::Format_RGB32);
    gdi::ImageDC dc(image);
    EXPECT_EQ(gdi::GetDeviceCaps(&dc, RASTERCAPS), RC_STRETCHDIB | RC_DIBTODEV);
    EXPECT_EQ(gdi::GetDeviceCaps(&dc, HORZRES), 8);
    EXPECT_EQ(gdi::GetDeviceCaps(&dc, BITSPIXEL), 32);

    HBITMAP bitmap = gdi::CreateCompatibleBitmap(&dc, 3, 2);
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm;
    EXPECT_EQ(gdi::GetObjectA(bitmap, sizeof(bm), &bm), int(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(gdi::GetObjectA(bitmap, 4, &bm), 0);
    EXPECT_NE(gdi::DeleteObject(bitmap), 0);

    EXPECT_EQ(gdi::CreateCompatibleBitmap(&dc, 0, 5), nullptr);
    EXPECT_EQ(gdi::CreateCompatibleBitmap(&dc, 5, -1), nullptr);
    EXPECT_EQ(gdi::CreateCompatibleBitmap(nullptr, 5, 5), nullptr);
    EXPECT_EQ(gdi::DeleteObject(nullptr), 0);
    EXPECT_EQ(gdi::DeleteDC(nullptr), 0);
    // A context over an image belongs to whoever made it.
    EXPECT_EQ(gdi::DeleteDC(&dc), 0);
    EXPECT_EQ(gdi::GetDeviceCaps(&dc, HORZRES), 8);
}

TEST(GdiBitmaps, AMemoryContextFreedFirstLetsItsBitmapGo)
{
    QImage image(4, 4, QImage::Format_RGB32);
    gdi::ImageDC dc(image);
    HBITMAP bitmap = gdi::CreateCompatibleBitmap(&dc, 4, 4);
    HDC memory = gdi::CreateCompatibleDC(&dc);
    gdi::SelectObject(memory, bitmap);
    // A bitmap can be selected into one context only.
    HDC other = gdi::CreateCompatibleDC(&dc);
    EXPECT_EQ(gdi::SelectObject(other, bitmap), nullptr);
    gdi::DeleteDC(other);
    gdi::DeleteDC(memory);
    EXPECT_EQ(bitmap->selectedInto(), nullptr);
    EXPECT_NE(gdi::DeleteObject(bitmap), 0);
}

TEST(GdiBitmaps, PictureRowsLandOnTheBitmapsBottomRows)
{
    Picture pic(testpic::makePicture(3, 2, 24));
    QImage image(4, 4, QImage::Format_RGB32);
    gdi::ImageDC dc(image);
    HBITMAP bitmap = gdi::CreateCompatibleBitmap(&dc, 4, 4);
    ASSERT_EQ(gdi::SetDIBits(&dc, bitmap, 0, 2, pic.dib().bits, pic.dib().info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(bitmap->image().pixel(0, 3), testpic::expectedColour(pic, 0, 0));
    EXPECT_EQ(bitmap->image().pixel(2, 2), testpic::expectedColour(pic, 2, 1));
    EXPECT_EQ(bitmap->image().pixel(0, 0), 0xff000000u);
    EXPECT_EQ(bitmap->image().pixel(3, 3), 0xff000000u);
    gdi::DeleteObject(bitmap);
}
