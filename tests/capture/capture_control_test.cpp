// The capture control's rules, driven through a scripted capture library.

#include "scripted_library.h"

#include <gtest/gtest.h>

#include <algorithm>

using scripted::Library;

namespace {

class CaptureControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib.script.drivers[0] = {"Testkamera", "1.0"};
        lib.script.drivers[3] = {"USB Kamera", "uvcvideo 6.1.0 /dev/video0"};
        video.setObjectName("Video1");
        video.SetOnStatus([this](QObject* sender) {
            EXPECT_EQ(sender, &video);
            ++statusEvents;
        });
    }

    std::size_t count(UINT msg) const
    {
        return static_cast<std::size_t>(std::count_if(lib.script.log.begin(), lib.script.log.end(),
                                                      [msg](const scripted::Message& m) { return m.msg == msg; }));
    }
    const scripted::Message* last(UINT msg) const
    {
        for (auto it = lib.script.log.rbegin(); it != lib.script.log.rend(); ++it)
            if (it->msg == msg)
                return &*it;
        return nullptr;
    }
    scripted::Window* window() const { return static_cast<scripted::Window*>(video.CaptureWindowHandle()); }

    QApplication& qapp = scripted::app(); // before any widget
    Library lib;
    scripted::ErrorLog errors;
    TVideo video;
    int statusEvents = 0;
};

} // namespace

TEST_F(CaptureControl, DriverListHasTenEntriesInSlotOrder)
{
    const QStringList list = GetDriverList();
    ASSERT_EQ(list.size(), 10);
    EXPECT_EQ(list[0], "Testkamera 1.0");
    EXPECT_EQ(list[3], "USB Kamera uvcvideo 6.1.0 /dev/video0");
    for (int i : {1, 2, 4, 5, 6, 7, 8, 9})
        EXPECT_TRUE(list[i].isEmpty()) << i;
}

TEST_F(CaptureControl, OpeningSendsItsStepsInOrder)
{
    video.SetOnFrame([](QObject*, PVIDEOHDR) {});
    video.SetOnStatusCallback([](QObject*, int, const QString&) {});
    video.resize(1, 1);
    video.SetDriverIndex(3);
    EXPECT_EQ(video.DriverName(), "USB Kamera");
    video.SetDriverOpen(true);
    ASSERT_TRUE(video.DriverOpen());
    EXPECT_EQ(lib.lastTitle, "Video1");
    EXPECT_EQ(lib.lastStyle, 0x50000000u);
    EXPECT_EQ(lib.lastId, 5001);
    EXPECT_EQ(lib.messages(), (std::vector<UINT>{WM_CAP_SET_USER_DATA, WM_CAP_SET_CALLBACK_STATUSA,
                                                 WM_CAP_SET_CALLBACK_FRAME, WM_CAP_DRIVER_CONNECT,
                                                 WM_CAP_SET_SCALE, WM_CAP_SET_PREVIEWRATE, WM_CAP_GET_STATUS}));
    EXPECT_EQ(last(WM_CAP_DRIVER_CONNECT)->wParam, 3u);
    EXPECT_EQ(last(WM_CAP_SET_PREVIEWRATE)->wParam, 33u);
    EXPECT_EQ(statusEvents, 1);
    EXPECT_FALSE(video.VideoPreview()); // opening does not start preview
    // The capture window sits in the corner at the image size.
    EXPECT_EQ(window()->geometry(), QRect(0, 0, 640, 480));
    EXPECT_TRUE(errors.texts.empty());
}

TEST_F(CaptureControl, SelectingADriverClosesItUnlessTheSlotIsTheSame)
{
    video.SetDriverIndex(0);
    video.SetVideoPreview(true);
    ASSERT_TRUE(video.DriverOpen());
    ASSERT_TRUE(video.VideoPreview());
    video.SetDriverIndex(0);
    EXPECT_TRUE(video.DriverOpen());

    video.SetDriverIndex(3);
    EXPECT_FALSE(video.DriverOpen());
    EXPECT_FALSE(video.VideoPreview());
    EXPECT_EQ(lib.script.windowsAlive, 0);
    EXPECT_EQ(video.DriverName(), "USB Kamera");

    video.SetDriverIndex(12);
    EXPECT_EQ(video.DriverIndex(), -1);
    EXPECT_TRUE(video.DriverName().isEmpty());
    video.SetDriverIndex(5); // an empty slot
    EXPECT_EQ(video.DriverIndex(), -1);
    video.SetDriverIndex(65536); // must not wrap round to slot 0
    EXPECT_EQ(video.DriverIndex(), -1);

    video.SetDriverIndex(0);
    video.SetDriverIndex(-5); // stored as it is; the name stays
    EXPECT_EQ(video.DriverIndex(), -5);
    EXPECT_EQ(video.DriverName(), "Testkamera");
    video.SetDriverOpen(true);
    EXPECT_FALSE(video.DriverOpen());
    ASSERT_EQ(errors.texts.size(), 1u);
    EXPECT_EQ(errors.texts[0], "Kann Treiber nicht mit Fenster verbinden");
    EXPECT_EQ(lib.script.windowsAlive, 0);
}

TEST_F(CaptureControl, SelectingByName)
{
    video.SetDriverName("USB Kamera");
    EXPECT_EQ(video.DriverIndex(), 3);
    video.SetDriverName("usb kamera"); // exact, case-sensitive
    EXPECT_EQ(video.DriverIndex(), -1);
    EXPECT_TRUE(video.DriverName().isEmpty());
}

TEST_F(CaptureControl, PreviewWithoutDriverFailsOnceAndReportsStatusTwice)
{
    video.SetVideoPreview(true);
    EXPECT_EQ(errors.texts, (std::vector<QString>{"Kein Videocapturetreiber ausgewählt"}));
    EXPECT_EQ(statusEvents, 2);
    EXPECT_FALSE(video.VideoPreview());

    errors.texts.clear();
    video.SetVideoOverlay(true);
    EXPECT_EQ(errors.texts, (std::vector<QString>{"Treiber kann kein Overlay"}));
}

TEST_F(CaptureControl, FailuresOfCreateAndConnect)
{
    video.SetDriverIndex(0);
    lib.script.failCreate = true;
    video.SetDriverOpen(true);
    EXPECT_EQ(errors.texts, (std::vector<QString>{"Kann Capture Window nicht erzeugen"}));
    EXPECT_EQ(statusEvents, 1);

    lib.script.failCreate = false;
    lib.script.connects[0] = false;
    errors.texts.clear();
    errors.details.clear();
    avicap::SetLastConnectError("Keine Berechtigung für /dev/video0.");
    video.SetVideoPreview(true);
    avicap::SetLastConnectError(QString());
    EXPECT_EQ(errors.texts, (std::vector<QString>{"Kann Treiber nicht mit Fenster verbinden"}));
    EXPECT_EQ(errors.details, (std::vector<QString>{"Keine Berechtigung für /dev/video0."})); // the library's reason
    EXPECT_FALSE(video.DriverOpen());
    EXPECT_EQ(lib.script.windowsAlive, 0);

    // The same driver opens once it answers again.
    lib.script.connects.erase(0);
    video.SetVideoPreview(true);
    EXPECT_TRUE(video.VideoPreview());
}

TEST_F(CaptureControl, RatesAndClampedSettings)
{
    EXPECT_EQ(TVideo::PreviewIntervalMs(30), 33);
    EXPECT_EQ(TVideo::PreviewIntervalMs(25), 40);
    EXPECT_EQ(TVideo::PreviewIntervalMs(16), 62); // 62.5 to the even neighbour
    EXPECT_EQ(TVideo::PreviewIntervalMs(15), 67);
    EXPECT_EQ(TVideo::PreviewIntervalMs(1), 1000);

    video.SetDriverIndex(0);
    video.SetDriverOpen(true);
    video.SetPreviewRate(0);
    EXPECT_EQ(video.PreviewRate(), 1);
    EXPECT_EQ(last(WM_CAP_SET_PREVIEWRATE)->wParam, 1000u);
    video.SetPreviewRate(45);
    EXPECT_EQ(video.PreviewRate(), 30);
    EXPECT_EQ(last(WM_CAP_SET_PREVIEWRATE)->wParam, 33u);
    const std::size_t sent = count(WM_CAP_SET_PREVIEWRATE);
    video.SetPreviewRate(30);
    EXPECT_EQ(count(WM_CAP_SET_PREVIEWRATE), sent);

    EXPECT_EQ(video.MicroSecPerFrame(), 66667u);
    EXPECT_EQ(video.FrameRate(), 15);
    video.SetMicroSecPerFrame(40000);
    EXPECT_EQ(video.FrameRate(), 25);
    video.SetMicroSecPerFrame(20000);
    EXPECT_EQ(video.MicroSecPerFrame(), 33333u);
    video.SetFrameRate(60);
    EXPECT_EQ(video.MicroSecPerFrame(), 16667u);
    video.SetFrameRate(0);
    EXPECT_EQ(video.MicroSecPerFrame(), 100000u);

    video.SetCapIndexSize(1);
    EXPECT_EQ(video.CapIndexSize(), 1800u);
    video.SetCapIndexSize(400000);
    EXPECT_EQ(video.CapIndexSize(), 324000u);
    video.SetCapIndexSize(0);
    EXPECT_EQ(video.CapIndexSize(), 0u);
}

TEST_F(CaptureControl, ProportionalFitKeepsTheCorner)
{
    video.show(); // a hidden widget hears of size changes only when shown
    video.SetDriverIndex(0);
    video.resize(200, 100);
    video.SetDriverOpen(true);
    video.SetPreviewScaleToWindow(true);
    EXPECT_EQ(last(WM_CAP_SET_SCALE)->wParam, 1u);
    EXPECT_EQ(window()->geometry(), QRect(0, 0, 200, 100));
    video.SetPreviewScaleProportional(true);
    EXPECT_EQ(window()->geometry(), QRect(0, 0, 133, 100));
    video.resize(100, 200);
    EXPECT_EQ(window()->geometry(), QRect(0, 0, 100, 75));

    // Degenerate sizes fill the control and never go negative.
    video.resize(100, 0);
    EXPECT_EQ(window()->geometry().size(), QSize(100, 0));
    lib.script.imageHeight = 0;
    video.SetPreviewScaleProportional(false);
    video.SetDriverOpen(false);
    video.SetDriverOpen(true);
    video.SetPreviewScaleProportional(true);
    video.resize(50, 40);
    EXPECT_EQ(window()->geometry(), QRect(0, 0, 50, 40));
}

TEST_F(CaptureControl, FrameEventsFollowTheHandler)
{
    video.SetDriverIndex(0);
    video.SetVideoPreview(true);
    ASSERT_NE(window(), nullptr);
    EXPECT_EQ(window()->frame, nullptr); // no handler, no callback

    int frames = 0;
    VIDEOHDR header;
    video.SetOnFrame([&](QObject* sender, PVIDEOHDR h) {
        EXPECT_EQ(sender, &video);
        EXPECT_EQ(h, &header);
        ++frames;
    });
    ASSERT_NE(window()->frame, nullptr);
    EXPECT_EQ(window()->deliver(&header), 1);
    EXPECT_EQ(frames, 1);

    video.SetOnFrame({});
    EXPECT_EQ(window()->frame, nullptr);

    // Format queries go to the window; closed they answer 0.
    lib.script.format.assign(52, 7);
    EXPECT_EQ(video.GetVideoFormatSize(), 52u);
    std::uint8_t block[52] = {};
    EXPECT_EQ(video.GetVideoFormat(reinterpret_cast<BITMAPINFO*>(block), 52), 52u);
    EXPECT_EQ(block[51], 7);
    video.SetDriverOpen(false);
    EXPECT_FALSE(video.VideoPreview()); // whatever the kept status says
    EXPECT_EQ(video.GetVideoFormatSize(), 0u);
    EXPECT_EQ(video.ShowSourceDialog(), 0);
}

TEST_F(CaptureControl, OverlayOpensForCapabilitiesThenGrabs)
{
    lib.script.hasOverlay = true;
    video.SetDriverIndex(0);
    int grabbed = 0;
    video.SetOnFrame([&](QObject*, PVIDEOHDR) { ++grabbed; });
    video.SetVideoOverlay(true);
    EXPECT_EQ(lib.script.windowsCreated, 2); // once for the capabilities, once to stay
    EXPECT_EQ(count(WM_CAP_DRIVER_GET_CAPS), 1u);
    EXPECT_EQ(count(WM_CAP_DRIVER_DISCONNECT), 1u);
    EXPECT_EQ(grabbed, 1);
    EXPECT_TRUE(video.VideoOverlay());

    // Capabilities are cached until the slot changes.
    video.SetVideoOverlay(false);
    video.SetVideoOverlay(true);
    EXPECT_EQ(count(WM_CAP_DRIVER_GET_CAPS), 1u);
    EXPECT_TRUE(errors.texts.empty());
}
