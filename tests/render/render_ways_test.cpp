// Which way the renderer takes and what it asks of the device on each, seen
// through a recording device.

#include "render/render_support.h"

using Names = std::vector<std::string>;

namespace {

bool tookHalftoneWay(const gdi::RecordingDC& dc, const DIB& pic)
{
    for (const auto& c : dc.calls())
        if (c.name == "StretchDIBits")
            return c.info != pic.info;
    return false;
}

} // namespace

TEST_F(RenderTest, TheHalftoneWayNeeds24BitsAShallowScreenAndTheWish)
{
    struct Case {
        int bits;
        int screen;
        bool halftone;
        bool expected;
    };
    const Case cases[] = {
        {24, 8, true, true},   {24, 4, true, true},    {24, 1, true, true},   {24, 8, false, false},
        {24, 16, true, false}, {24, 32, true, false},  {8, 8, true, false},   {4, 8, true, false},
        {1, 8, true, false},   {32, 8, true, false},   {16, 8, true, false},
    };
    for (const Case& c : cases) {
        testpic::Picture pic(testpic::makePicture(16, 12, c.bits));
        setScreenBits(c.screen);
        screenProbes = 0;
        gdi::RecordingDC dc;
        renderWhole(&dc, pic, 0, 0, 16, 12, c.halftone);
        EXPECT_EQ(tookHalftoneWay(dc, pic), c.expected) << c.bits << " bits, screen " << c.screen;
        // The screen is asked for 24-bit pictures only, and on every call.
        EXPECT_EQ(screenProbes, c.bits == 24 ? 1 : 0);
    }
}

TEST_F(RenderTest, ADeepScreenDrawsA24BitPictureWithOneDirectStretch)
{
    testpic::Picture pic(newdib(640, 480, 24, nullptr, 0));
    gdi::RecordingDC dc;
    RenderDIB(&dc, 3, 4, 320, 240, pic, 0, 0, 640, 480, false, SRCCOPY, false, nullptr);
    EXPECT_EQ(dc.names(), (Names{"SetStretchBltMode", "GetDeviceCaps", "StretchDIBits"}));
    EXPECT_EQ(dc.calls()[0].args[0], COLORONCOLOR);
    EXPECT_EQ(dc.calls()[1].args[0], RASTERCAPS);
    EXPECT_EQ(dc.calls()[2].args, (std::vector<std::int64_t>{3, 4, 320, 240, 0, 0, 640, 480, DIB_RGB_COLORS, SRCCOPY}));
    EXPECT_EQ(dc.calls()[2].pointer, pic.dib().bits);
    EXPECT_EQ(dc.calls()[2].info, pic.dib().info);
    EXPECT_TRUE(messages.empty());
}

TEST_F(RenderTest, APicturesOwnPaletteIsSelectedRealizedAndTheEntryOnePutBack)
{
    testpic::Picture pic(testpic::makePicture(8, 8, 8));
    ASSERT_EQ(pic.dib().haspalette, 1);
    ASSERT_NE(pic.dib().hpalette, nullptr);
    gdi::RecordingDC dc;
    LogicalPalette before;
    gdi::SelectPalette(&dc, &before, FALSE);
    dc.clear();

    renderWhole(&dc, pic, 0, 0, 8, 8, false, true);
    EXPECT_EQ(dc.names(), (Names{"SelectPalette", "RealizePalette", "SetStretchBltMode", "GetDeviceCaps",
                                 "StretchDIBits", "SelectPalette"}));
    EXPECT_EQ(dc.calls()[0].pointer, pic.dib().hpalette);
    EXPECT_EQ(dc.calls()[0].args[0], FALSE);
    EXPECT_EQ(dc.calls()[5].pointer, &before);

    // Not its own: the caller's palette (here none, which changes nothing).
    dc.clear();
    renderWhole(&dc, pic, 0, 0, 8, 8, false, false);
    EXPECT_EQ(dc.calls()[0].pointer, nullptr);
    EXPECT_EQ(gdi::SelectPalette(&dc, &before, FALSE), &before);
}

TEST_F(RenderTest, TheHalftoneWayShrinksByTheLibraryOrLetsTheDeviceStretch)
{
    setScreenBits(8);
    testpic::Picture pic(testpic::makePicture(64, 48, 24));
    ASSERT_NE(pic.dib().haspalette, 1);
    LogicalPalette before;

    struct Case {
        int w, h;
        std::vector<std::int64_t> args;
    };
    const Case cases[] = {
        // Half size: resampled to 32 x 24 and copied one to one from (0, 0).
        {32, 24, {0, 0, 32, 24, 0, 0, 32, 24, DIB_RGB_COLORS, SRCCOPY}},
        // Double size: halftoned at its own size, the device stretches.
        {128, 96, {0, 0, 128, 96, 0, 0, 64, 48, DIB_RGB_COLORS, SRCCOPY}},
        // Narrower but taller still counts as shrinking.
        {32, 144, {0, 0, 32, 144, 0, 0, 32, 144, DIB_RGB_COLORS, SRCCOPY}},
    };
    for (const Case& c : cases) {
        gdi::RecordingDC dc;
        gdi::SelectPalette(&dc, &before, FALSE);
        dc.clear();
        renderWhole(&dc, pic, 0, 0, c.w, c.h, true, true);
        ASSERT_EQ(dc.names(), (Names{"SetStretchBltMode", "SelectPalette", "RealizePalette", "StretchDIBits",
                                     "SelectPalette"}));
        const auto& draw = dc.calls()[3];
        EXPECT_EQ(draw.args, c.args);
        const BITMAPINFOHEADER* info = &draw.header;
        EXPECT_EQ(info->biWidth, c.w < 64 || c.h < 48 ? c.w : 64);
        EXPECT_EQ(info->biBitCount, 8);
        // The picture's palette is selected whatever haspalette says, and
        // the one it replaced put back.
        EXPECT_EQ(dc.calls()[1].pointer, pic.dib().hpalette);
        EXPECT_EQ(dc.calls()[4].pointer, &before);
    }
}

TEST_F(RenderTest, ShrinkingHalftoneOfAPartStartsAtTheMatchingPlace)
{
    setScreenBits(8);
    testpic::Picture pic(testpic::makePicture(64, 48, 24));
    gdi::RecordingDC dc;
    // Columns 10..41, rows 6..29 at half size: resampled to 32 x 24 of the
    // whole; the part starts at (5, 3) of it.
    RenderDIB(&dc, 0, 0, 16, 12, pic, 10, 6, 32, 24, true, SRCCOPY, false, nullptr);
    const auto& draw = dc.calls()[3];
    EXPECT_EQ(draw.args, (std::vector<std::int64_t>{0, 0, 16, 12, 5, 3, 16, 12, DIB_RGB_COLORS, SRCCOPY}));
    const BITMAPINFOHEADER* info = &draw.header;
    EXPECT_EQ(info->biWidth, 32);
    EXPECT_EQ(info->biHeight, 24);
}

TEST_F(RenderTest, AFailedDirectStretchFallsBackToAResampledCopy)
{
    testpic::Picture pic(testpic::makePicture(40, 30, 4));
    gdi::RecordingDC dc;
    dc.fail("StretchDIBits");
    renderWhole(&dc, pic, 5, 6, 80, 60);
    EXPECT_EQ(dc.names(), (Names{"SelectPalette", "RealizePalette", "SetStretchBltMode", "GetDeviceCaps",
                                 "StretchDIBits", "SetDIBitsToDevice", "SelectPalette"}));
    const auto& copy = dc.calls()[5];
    EXPECT_EQ(copy.args, (std::vector<std::int64_t>{5, 6, 80, 60, 0, 0, 0, 60, DIB_RGB_COLORS}));
    const BITMAPINFOHEADER* info = &copy.header;
    EXPECT_EQ(info->biWidth, 80);
    EXPECT_EQ(info->biBitCount, 4);
    EXPECT_EQ(info->biClrUsed, 16u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(RenderTest, WithoutBothTransfersTheMemoryBitmapIsUsed)
{
    testpic::Picture pic(testpic::makePicture(40, 30, 24));
    gdi::RecordingDC dc;
    dc.setRasterCaps(RC_STRETCHDIB);
    dc.fail("StretchDIBits");
    renderWhole(&dc, pic, 1, 2, 80, 60);
    EXPECT_EQ(dc.names(), (Names{"SetStretchBltMode", "GetDeviceCaps", "StretchDIBits", "CreateCompatibleBitmap",
                                 "CreateCompatibleDC", "mem.SetDIBits", "mem.SelectObject", "StretchBlt",
                                 "mem.SelectObject", "mem.DeleteDC", "DeleteObject"}));
    EXPECT_EQ(dc.calls()[3].args, (std::vector<std::int64_t>{40, 30}));
    EXPECT_EQ(dc.calls()[5].args, (std::vector<std::int64_t>{0, 30, DIB_RGB_COLORS}));
    EXPECT_EQ(dc.calls()[7].args, (std::vector<std::int64_t>{1, 2, 80, 60, 0, 0, 40, 30, SRCCOPY}));
    EXPECT_TRUE(messages.empty());

    // A failing resampled copy leads there too.
    gdi::RecordingDC second;
    second.setRasterCaps(RC_DIBTODEV);
    second.fail("SetDIBitsToDevice");
    renderWhole(&second, pic, 1, 2, 80, 60);
    EXPECT_EQ(second.names()[2], "SetDIBitsToDevice");
    EXPECT_EQ(second.names()[3], "CreateCompatibleBitmap");
}

TEST_F(RenderTest, EachFailureOfTheMemoryBitmapWayIsToldAndCleanedUp)
{
    testpic::Picture pic(testpic::makePicture(10, 10, 8));
    {
        gdi::RecordingDC dc;
        dc.setRasterCaps(0);
        dc.fail("CreateCompatibleBitmap");
        renderWhole(&dc, pic, 0, 0, 10, 10);
        EXPECT_EQ(dc.names(), (Names{"SelectPalette", "RealizePalette", "SetStretchBltMode", "GetDeviceCaps",
                                     "CreateCompatibleBitmap", "SelectPalette"}));
        EXPECT_EQ(messages, (std::vector<std::string>{"Konnte Bitmap nicht erzeugen!"}));
        EXPECT_EQ(captions, (std::vector<std::string>{"Fehler"}));
    }
    messages.clear();
    {
        gdi::RecordingDC dc;
        dc.setRasterCaps(0);
        dc.fail("SetDIBits");
        renderWhole(&dc, pic, 0, 0, 10, 10);
        EXPECT_EQ(dc.names(), (Names{"SelectPalette", "RealizePalette", "SetStretchBltMode", "GetDeviceCaps",
                                     "CreateCompatibleBitmap", "CreateCompatibleDC", "mem.SetDIBits", "mem.DeleteDC",
                                     "DeleteObject", "SelectPalette"}));
        EXPECT_EQ(messages, (std::vector<std::string>{"Das Gerät unterstützt die Funtkion setdibits nicht!"}));
    }
    messages.clear();
    {
        gdi::RecordingDC dc;
        dc.setRasterCaps(0);
        dc.fail("StretchBlt");
        renderWhole(&dc, pic, 0, 0, 10, 10);
        EXPECT_EQ(dc.names(), (Names{"SelectPalette", "RealizePalette", "SetStretchBltMode", "GetDeviceCaps",
                                     "CreateCompatibleBitmap", "CreateCompatibleDC", "mem.SetDIBits",
                                     "mem.SelectObject", "StretchBlt", "mem.SelectObject", "mem.DeleteDC",
                                     "DeleteObject", "SelectPalette"}));
        EXPECT_EQ(messages, (std::vector<std::string>{"Das Gerät unterstützt die Funktion StretchBlt nicht!"}));
    }
    messages.clear();
    {
        // A memory context that cannot be made ends in the SetDIBits message,
        // without a crash.
        gdi::RecordingDC dc;
        dc.setRasterCaps(0);
        dc.fail("CreateCompatibleDC");
        renderWhole(&dc, pic, 0, 0, 10, 10);
        EXPECT_EQ(messages, (std::vector<std::string>{"Das Gerät unterstützt die Funtkion setdibits nicht!"}));
    }
}

TEST_F(RenderTest, EmptyOrFailedRequestsLeaveTheDeviceAlone)
{
    testpic::Picture pic(testpic::makePicture(10, 10, 24));
    gdi::RecordingDC dc;
    // Zero-wide source that needs clipping, a source beside the picture, a
    // zero target, a picture the library failed to make.
    RenderDIB(&dc, 0, 0, 10, 10, pic, 20, 0, 0, 10, false, SRCCOPY, false, nullptr);
    RenderDIB(&dc, 0, 0, 10, 10, pic, 0, -3, 10, 0, false, SRCCOPY, false, nullptr);
    RenderDIB(&dc, 0, 0, 10, 10, pic, 15, 0, 5, 10, false, SRCCOPY, false, nullptr);
    RenderDIB(&dc, 0, 0, 0, 10, pic, 0, 0, 10, 10, false, SRCCOPY, false, nullptr);
    RenderDIB(&dc, 0, 0, 10, 10, DIB{}, 0, 0, 10, 10, false, SRCCOPY, false, nullptr);
    EXPECT_TRUE(dc.calls().empty());

    // Zero-wide source with halftoning on a shallow screen: nothing either.
    setScreenBits(8);
    RenderDIB(&dc, 0, 0, 10, 10, pic, 11, 0, 0, 10, true, SRCCOPY, false, nullptr);
    EXPECT_TRUE(dc.calls().empty());

    // A one-pixel target on the resampled-copy way is not drawn, and not
    // passed on to the memory bitmap either.
    setScreenBits(32);
    dc.setRasterCaps(RC_DIBTODEV);
    renderWhole(&dc, pic, 0, 0, 1, 10);
    renderWhole(&dc, pic, 0, 0, 10, 1);
    EXPECT_EQ(dc.names(), (Names{"SetStretchBltMode", "GetDeviceCaps", "SetStretchBltMode", "GetDeviceCaps"}));
    EXPECT_TRUE(messages.empty());
}
