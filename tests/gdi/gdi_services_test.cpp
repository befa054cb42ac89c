// The screen's depth, message boxes and the recording device.

#include "dib/Pixmill.h"
#include "gdi/picture_support.h"
#include "platform/gdi/RecordingDC.h"
#include "platform/gdi/Gdi.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include <string>
#include <vector>

TEST(GdiScreen, TheDepthComesFromTheProbeBehindADesktopBitmap)
{
    for (int depth : {8, 16, 32}) {
        gdi::SetScreenDepthProbe([depth] { return depth; });
        EXPECT_EQ(ScreenBitsPerPixel(), depth);
    }
    gdi::SetScreenDepthProbe({});
    // By default the primary screen's depth; without a screen, true colour.
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    EXPECT_EQ(ScreenBitsPerPixel(), screen ? screen->depth() : 24);

    HDC desktop = gdi::GetDC(gdi::GetDesktopWindow());
    EXPECT_EQ(gdi::GetDeviceCaps(desktop, RASTERCAPS), RC_STRETCHDIB | RC_DIBTODEV);
    EXPECT_EQ(gdi::CreateCompatibleBitmap(desktop, 0, 1), nullptr);
    EXPECT_EQ(gdi::ReleaseDC(gdi::GetDesktopWindow(), desktop), 1);
    QImage image(1, 1, QImage::Format_RGB32);
    gdi::ImageDC notDesktop(image);
    EXPECT_EQ(gdi::ReleaseDC(gdi::GetDesktopWindow(), &notDesktop), 0);
}

TEST(GdiMessages, ASinkSeesEveryMessageWithTheDefaultCaption)
{
    std::vector<std::string> seen;
    gdi::SetMessageBoxSink([&](const char* text, const char* caption, UINT type) {
        seen.push_back(std::string(caption) + "|" + text + "|" + std::to_string(type));
        return 7;
    });
    EXPECT_EQ(gdi::MessageBoxA(nullptr, "Konnte Bitmap nicht erzeugen!", nullptr, MB_OK), 7);
    gdi::MessageBoxA(nullptr, "x", "Eigen", MB_OK);
    gdi::SetMessageBoxSink({});
    EXPECT_EQ(seen, (std::vector<std::string>{"Fehler|Konnte Bitmap nicht erzeugen!|0", "Eigen|x|0"}));
}

TEST(GdiRecording, EveryCallIsWrittenDownAndAnyCanBeMadeToFail)
{
    gdi::RecordingDC dc;
    dc.setRasterCaps(RC_DIBTODEV);
    LogicalPalette a, b;
    EXPECT_EQ(gdi::SelectPalette(&dc, &a, FALSE), nullptr);
    EXPECT_EQ(gdi::SelectPalette(&dc, &b, FALSE), &a);
    EXPECT_EQ(gdi::SelectPalette(&dc, nullptr, FALSE), nullptr);
    EXPECT_EQ(gdi::SelectPalette(&dc, &a, FALSE), &b);
    EXPECT_EQ(gdi::GetDeviceCaps(&dc, RASTERCAPS), RC_DIBTODEV);
    EXPECT_EQ(gdi::StretchDIBits(&dc, 1, 2, 3, 4, 5, 6, 7, 8, nullptr, nullptr, DIB_RGB_COLORS, SRCCOPY), 8);
    ASSERT_EQ(dc.calls().size(), 6u);
    EXPECT_EQ(dc.calls()[5].args, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7, 8, 0, SRCCOPY}));

    dc.fail("StretchDIBits");
    dc.fail("CreateCompatibleBitmap");
    dc.fail("SelectPalette");
    EXPECT_EQ(gdi::StretchDIBits(&dc, 1, 2, 3, 4, 5, 6, 7, 8, nullptr, nullptr, DIB_RGB_COLORS, SRCCOPY), GDI_ERROR);
    EXPECT_EQ(gdi::CreateCompatibleBitmap(&dc, 2, 2), nullptr);
    EXPECT_EQ(gdi::SelectPalette(&dc, &b, FALSE), nullptr);

    dc.clear();
    HDC memory = gdi::CreateCompatibleDC(&dc);
    ASSERT_NE(memory, nullptr);
    gdi::RecordingDC other;
    HBITMAP bitmap = gdi::CreateCompatibleBitmap(&other, 2, 2);
    gdi::SetDIBits(memory, bitmap, 0, 2, nullptr, nullptr, DIB_RGB_COLORS);
    HGDIOBJ stock = gdi::SelectObject(memory, bitmap);
    EXPECT_NE(stock, nullptr);
    EXPECT_EQ(gdi::DeleteObject(bitmap), 0);
    EXPECT_EQ(gdi::SelectObject(memory, stock), bitmap);
    gdi::DeleteDC(memory);
    EXPECT_EQ(dc.names(), (std::vector<std::string>{"CreateCompatibleDC", "mem.SetDIBits", "mem.SelectObject",
                                                    "mem.SelectObject", "mem.DeleteDC"}));
    gdi::DeleteObject(bitmap);
    EXPECT_EQ(other.names(), (std::vector<std::string>{"CreateCompatibleBitmap", "DeleteObject"}));
}

TEST(GdiRecording, GivenARealDeviceItDrawsThere)
{
    testpic::Picture pic(testpic::makePicture(5, 4, 8));
    QImage image = testpic::sentinelImage(5, 4);
    gdi::ImageDC target(image);
    gdi::RecordingDC dc(&target);
    EXPECT_EQ(gdi::StretchDIBits(&dc, 0, 0, 5, 4, 0, 0, 5, 4, pic.dib().bits, pic.dib().info, DIB_RGB_COLORS,
                                 SRCCOPY),
              4);
    EXPECT_EQ(testpic::compareDrawing(image, QRect(0, 0, 5, 4), pic, QRect(0, 0, 5, 4)), "");
}
