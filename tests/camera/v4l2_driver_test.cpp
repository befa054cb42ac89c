// The V4L2 driver against simulated cameras: slots, format negotiation,
// streaming with conversion, settings, and every way a camera can fail.

#include "tests/camera/AvicapTestSupport.h"

#include "camera/FrameExchange.h"
#include "camera/dialogs/FormatDialog.h"
#include "camera/dialogs/SourceDialog.h"
#include "camera/v4l2/V4l2Driver.h"
#include "camera/v4l2/V4l2Text.h"
#include "platform/avicap/VideoWindow.h"

#include <linux/videodev2.h>

#include <QComboBox>
#include <QElapsedTimer>

#include <cstring>
#include <functional>
#include <thread>

using namespace avicap_test;

namespace {

struct Bgr {
    int b, g, r;
};

// A pixel of a bottom-up BGR frame, counted from the top left.
Bgr pixelAt(const std::vector<std::uint8_t>& frame, int width, int height, int x, int y)
{
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    const std::uint8_t* p = frame.data() + static_cast<std::size_t>(height - 1 - y) * stride + 3 * x;
    return {p[0], p[1], p[2]};
}

// The simulated picture: red, green / blue, white quadrants.
void expectQuadrants(const std::vector<std::uint8_t>& frame, int width, int height, int tolerance)
{
    ASSERT_EQ(frame.size(), (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4 * height);
    auto near = [tolerance](const Bgr& p, int r, int g, int b) {
        return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
    };
    const Bgr tl = pixelAt(frame, width, height, width / 4, height / 4);
    const Bgr tr = pixelAt(frame, width, height, 3 * width / 4, height / 4);
    const Bgr bl = pixelAt(frame, width, height, width / 4, 3 * height / 4);
    const Bgr br = pixelAt(frame, width, height, 3 * width / 4, 3 * height / 4);
    EXPECT_TRUE(near(tl, 255, 0, 0)) << tl.r << "," << tl.g << "," << tl.b;
    EXPECT_TRUE(near(tr, 0, 255, 0)) << tr.r << "," << tr.g << "," << tr.b;
    EXPECT_TRUE(near(bl, 0, 0, 255)) << bl.r << "," << bl.g << "," << bl.b;
    EXPECT_TRUE(near(br, 255, 255, 255)) << br.r << "," << br.g << "," << br.b;
}

struct OnCamera : ::testing::Test {
    SimulatedLibrary lib{{simv4l2::MakeCamera("/dev/video0")}};
    QWidget parent;
    HWND window = nullptr;

    void SetUp() override { window = MakeWindow(parent); }
    ~OnCamera() override { delete window; }

    simv4l2::Camera& camera() { return lib.system.camera(0); }
    LRESULT send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window, msg, w, l); }
    camera::V4l2Driver& driver()
    {
        return *static_cast<camera::V4l2Driver*>(static_cast<avicap::VideoWindow*>(window)->driver());
    }
    BITMAPINFOHEADER format()
    {
        BITMAPINFOHEADER h;
        send(WM_CAP_GET_VIDEOFORMAT, sizeof h, reinterpret_cast<LPARAM>(&h));
        return h;
    }
    CAPSTATUS status()
    {
        CAPSTATUS s;
        send(WM_CAP_GET_STATUS, sizeof s, reinterpret_cast<LPARAM>(&s));
        return s;
    }
    void expectAllReleased()
    {
        EXPECT_EQ(lib.system.openFds(), 0);
        EXPECT_EQ(lib.system.liveMappings(), 0);
    }
};

} // namespace

TEST(V4l2Slots, CapturingNodesFirstInOrderThenTheTestCamera)
{
    simv4l2::Camera meta = simv4l2::MakeCamera("/dev/video1");
    meta.deviceCaps = V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING;
    simv4l2::Camera second = simv4l2::MakeCamera("/dev/video2");
    second.card = "Zweite Kamera";
    second.version = (5u << 16) | (10u << 8) | 7u;
    simv4l2::Camera locked = simv4l2::MakeCamera("/dev/video3");
    locked.card = "Gesperrte Kamera";
    locked.openErrno = EACCES;
    SimulatedLibrary lib({simv4l2::MakeCamera("/dev/video0"), meta, second, locked});

    char name[80], version[80];
    ASSERT_EQ(capGetDriverDescriptionA(0, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "Simulierte Kamera");
    EXPECT_STREQ(version, "(/dev/video0)");
    ASSERT_EQ(capGetDriverDescriptionA(1, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "Zweite Kamera");
    EXPECT_STREQ(version, "(/dev/video2)");
    // A node the user may not open keeps its slot, so connecting can say why.
    ASSERT_EQ(capGetDriverDescriptionA(2, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "Gesperrte Kamera");
    ASSERT_EQ(capGetDriverDescriptionA(3, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "Stillwise Testkamera");
    EXPECT_EQ(capGetDriverDescriptionA(4, name, 80, version, 80), 0);
    EXPECT_EQ(lib.system.openFds(), 0);
}

TEST(V4l2Slots, TenSlotsAtMostAndTheLastForTheTestCamera)
{
    std::vector<simv4l2::Camera> many;
    for (int i = 0; i < 12; ++i)
        many.push_back(simv4l2::MakeCamera("/dev/video" + std::to_string(i)));
    SimulatedLibrary lib(many);
    char name[80], version[80];
    ASSERT_EQ(capGetDriverDescriptionA(8, name, 80, version, 80), 1);
    EXPECT_STREQ(version, "(/dev/video8)");
    ASSERT_EQ(capGetDriverDescriptionA(9, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "Stillwise Testkamera");
    EXPECT_EQ(capGetDriverDescriptionA(10, name, 80, version, 80), 0);
}

TEST_F(OnCamera, NegotiatesBgrAtTheCurrentSize)
{
    camera().current.width = 1280;
    camera().current.height = 720;
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    const BITMAPINFOHEADER h = format();
    EXPECT_EQ(h.biWidth, 1280);
    EXPECT_EQ(h.biHeight, 720);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, BI_RGB);
    const std::uint32_t chosen = driver().deviceFormat().fmt.pix.pixelformat;
    EXPECT_TRUE(chosen == V4L2_PIX_FMT_YUYV || chosen == V4L2_PIX_FMT_MJPEG);
    EXPECT_EQ(lib.system.openFds(), 1);
    EXPECT_EQ(lib.system.liveMappings(), camera::V4l2Driver::BufferCount);
    CAPDRIVERCAPS caps;
    send(WM_CAP_DRIVER_GET_CAPS, sizeof caps, reinterpret_cast<LPARAM>(&caps));
    EXPECT_EQ(caps.fHasOverlay, 0);
    EXPECT_EQ(send(WM_CAP_SET_OVERLAY, 1), 0);
    send(WM_CAP_DRIVER_DISCONNECT);
    expectAllReleased();
}

TEST_F(OnCamera, WithoutACurrentSizeAsksFor640x480)
{
    camera().current.width = 0;
    camera().current.height = 0;
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    EXPECT_EQ(format().biWidth, 640);
    EXPECT_EQ(format().biHeight, 480);
}

TEST_F(OnCamera, PreviewStreamsConvertedFramesAndRequeuesBuffers)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_YUYV, 320, 240, {1, 30}}));
    Log().keepBytes = true;
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    // Far more frames than buffers: each one went back to the device.
    ASSERT_TRUE(SpinUntil([] { return Log().entries.size() >= 30; }));
    send(WM_CAP_SET_PREVIEW, 0);
    for (const auto& e : Log().entries) {
        EXPECT_TRUE(e.guiThread);
        EXPECT_EQ(e.length, 320u * 240 * 3);
    }
    expectQuadrants(Log().entries.back().bytes, 320, 240, 12);
    EXPECT_FALSE(driver().streaming());
    EXPECT_EQ(lib.messages.size(), 0u);
}

TEST_F(OnCamera, ConvertsYuyvAndMjpegIntoBottomUpBgr)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    Log().keepBytes = true;
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));

    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_YUYV, 640, 480, {}}));
    ASSERT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    expectQuadrants(Log().entries.back().bytes, 640, 480, 12);

    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_MJPEG, 320, 240, {}}));
    EXPECT_EQ(format().biWidth, 320);
    ASSERT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    expectQuadrants(Log().entries.back().bytes, 320, 240, 24);
    EXPECT_EQ(Log().entries.size(), 2u);
    EXPECT_FALSE(driver().streaming()); // a grab alone leaves no stream behind
}

TEST_F(OnCamera, SourceSettingsReadSetAndResetTheDevicesControls)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    camera::ControlSet& controls = *driver().controls();
    const auto all = controls.list();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].name, QStringLiteral("Helligkeit"));
    EXPECT_EQ(all[0].kind, camera::ControlInfo::Kind::Integer);
    EXPECT_EQ(all[0].maximum, 255);
    EXPECT_EQ(all[0].value, 128);
    EXPECT_EQ(all[2].kind, camera::ControlInfo::Kind::Boolean);
    EXPECT_EQ(all[3].name, QStringLiteral("Netzfrequenz"));
    ASSERT_EQ(all[3].items.size(), 3u);
    EXPECT_EQ(all[3].items[1].second, QStringLiteral("50 Hz"));

    EXPECT_TRUE(controls.set(V4L2_CID_BRIGHTNESS, 200));
    EXPECT_TRUE(controls.set(V4L2_CID_POWER_LINE_FREQUENCY, 2));
    EXPECT_FALSE(controls.set(V4L2_CID_BRIGHTNESS, 999));
    EXPECT_EQ(camera().controls[0].value, 200);
    controls.reset();
    EXPECT_EQ(camera().controls[0].value, 128);
    EXPECT_EQ(camera().controls[3].value, 1);
}

TEST_F(OnCamera, FormatsListAndApplyWhileStreaming)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    camera::FormatSet& formats = *driver().formats();
    const auto all = formats.list();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].fourcc, static_cast<std::uint32_t>(V4L2_PIX_FMT_YUYV));
    ASSERT_EQ(all[1].sizes.size(), 3u);
    EXPECT_EQ(all[1].sizes[2].width, 1280);
    ASSERT_EQ(all[1].sizes[2].intervals.size(), 2u);
    EXPECT_EQ(all[1].sizes[2].intervals[1], (camera::FrameInterval{1, 15}));

    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    send(WM_CAP_SET_PREVIEW, 1);
    ASSERT_TRUE(SpinUntil([] { return Log().entries.size() >= 3; }));
    ASSERT_TRUE(formats.apply({V4L2_PIX_FMT_YUYV, 1280, 720, {1, 15}}));
    EXPECT_EQ(formats.current(), (camera::FormatSetting{V4L2_PIX_FMT_YUYV, 1280, 720, {1, 15}}));
    EXPECT_TRUE(driver().streaming());
    Log().entries.clear();
    ASSERT_TRUE(SpinUntil([] { return Log().entries.size() >= 3; }));
    for (const auto& e : Log().entries)
        EXPECT_EQ(e.length, 1280u * 720 * 3); // no frame of the old size slips through
    EXPECT_EQ(status().uiImageWidth, 1280u);

    // A size the device does not have: refused, the old format stays.
    EXPECT_FALSE(formats.apply({V4L2_PIX_FMT_YUYV, 800, 600, {}}));
    EXPECT_EQ(format().biWidth, 1280);
    EXPECT_TRUE(driver().streaming());
    send(WM_CAP_SET_PREVIEW, 0);
    EXPECT_EQ(lib.system.liveMappings(), camera::V4l2Driver::BufferCount);
}

TEST_F(OnCamera, UnpluggedMidStreamEndsPreviewWithOneMessageAndReleasesAll)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    camera().failAfterFrames = 5;
    camera().failErrno = ENODEV;
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    ASSERT_TRUE(SpinUntil([this] { return !lib.messages.empty(); }));
    SpinFor(200);
    ASSERT_EQ(lib.messages.size(), 1u);
    EXPECT_EQ(lib.messages[0], QStringLiteral("Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet."));
    EXPECT_EQ(status().fLiveWindow, 0);
    EXPECT_LE(Log().entries.size(), 5u);
    expectAllReleased(); // the lost device is given back at once

    // Asking for preview again finds no camera and stays quiet.
    EXPECT_EQ(send(WM_CAP_SET_PREVIEW, 1), 0);
    EXPECT_EQ(lib.messages.size(), 1u);

    // Plugged in again: the driver reconnects.
    simv4l2::Camera fresh = simv4l2::MakeCamera("/dev/video0");
    lib.system.setCamera(0, fresh);
    send(WM_CAP_DRIVER_DISCONNECT);
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    Log().entries.clear();
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    EXPECT_TRUE(SpinUntil([] { return Log().entries.size() >= 3; }));
    send(WM_CAP_DRIVER_DISCONNECT);
    expectAllReleased();
}

// One rule tells a vanished camera from one that reports an error, for
// every way the kernel says it: the user reads the same words for each.
TEST_F(OnCamera, EveryWayOfVanishingReadsAsUnplugged)
{
    for (int error : {ENXIO, ENOENT, EBADF}) {
        lib.system.setCamera(0, simv4l2::MakeCamera("/dev/video0"));
        ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
        camera().failAfterFrames = 2;
        camera().failErrno = error;
        lib.messages.clear();
        send(WM_CAP_SET_PREVIEW, 1);
        ASSERT_TRUE(SpinUntil([this] { return !lib.messages.empty(); })) << error;
        EXPECT_EQ(lib.messages[0], QStringLiteral("Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet."))
            << error;
        send(WM_CAP_DRIVER_DISCONNECT);
        expectAllReleased();
    }
}

TEST_F(OnCamera, AnIoErrorMidStreamIsReportedOnceAsAnError)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    camera().failAfterFrames = 2; // and every frame after: no restart mends it
    camera().failErrno = EIO;
    send(WM_CAP_SET_PREVIEW, 1);
    ASSERT_TRUE(SpinUntil([this] { return !lib.messages.empty(); }));
    SpinFor(100);
    ASSERT_EQ(lib.messages.size(), 1u);
    EXPECT_TRUE(lib.messages[0].startsWith(QStringLiteral("Die Kamera meldet einen Fehler")));
    EXPECT_EQ(lib.messages[0],
              QStringLiteral("Die Kamera meldet einen Fehler (Übertragungsfehler). Die Vorschau wurde beendet."));
    EXPECT_EQ(status().fLiveWindow, 0);
    EXPECT_EQ(lib.system.streamOns(0), 3); // the start and two restarts
    expectAllReleased();
}

// A stream that breaks under us goes on after a restart: the way a vb2
// queue breaks after a driver error (EIO until it is streamed anew), and
// the way a v4l2loopback node forgets our buffers when another reader lets
// go (EINVAL until they are mapped anew), each more than once.
TEST_F(OnCamera, AStreamThatBreaksUnderUsIsStartedAnew)
{
    camera().marksMappings = true;
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    const std::function<void()> breaks[] = {
        [this] { lib.system.otherReaderLetsGo(0); },
        [this] { lib.system.breakQueue(0, EIO); },
        [this] { lib.system.otherReaderLetsGo(0); },
        [this] { lib.system.breakQueue(0, EIO); },
    };
    int streamOns = 1;
    for (const auto& breakIt : breaks) {
        const std::size_t before = Log().entries.size();
        ASSERT_TRUE(SpinUntil([before] { return Log().entries.size() >= before + 3; }));
        breakIt();
        const std::size_t broken = Log().entries.size();
        ASSERT_TRUE(SpinUntil([this, broken] { return Log().entries.size() >= broken + 3 || !lib.messages.empty(); }));
        EXPECT_TRUE(lib.messages.empty()) << lib.messages[0].toStdString();
        EXPECT_EQ(lib.system.streamOns(0), ++streamOns);
    }
    EXPECT_EQ(status().fLiveWindow, 1);
    send(WM_CAP_DRIVER_DISCONNECT);
    expectAllReleased();
}

// A buffer the camera does not take back at once is offered again; one it
// never takes back ends the preview with one message.
TEST_F(OnCamera, ABufferTheCameraRefusesForAMomentIsQueuedAgain)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    for (const int error : {EAGAIN, EINTR, EAGAIN}) {
        const std::size_t before = Log().entries.size();
        ASSERT_TRUE(SpinUntil([before] { return Log().entries.size() >= before + 2; }));
        lib.system.refuseQueueing(0, 3, error);
        const std::size_t refused = Log().entries.size();
        ASSERT_TRUE(
            SpinUntil([this, refused] { return Log().entries.size() >= refused + 5 || !lib.messages.empty(); }));
        EXPECT_TRUE(lib.messages.empty()) << error;
    }
    EXPECT_EQ(lib.system.streamOns(0), 1);

    lib.system.refuseQueueing(0, 1000000, EAGAIN);
    ASSERT_TRUE(SpinUntil([this] { return !lib.messages.empty(); }));
    SpinFor(100);
    EXPECT_EQ(lib.messages.size(), 1u);
    EXPECT_EQ(status().fLiveWindow, 0);
    expectAllReleased();
}

// A grab while the camera streams holds up the GUI thread only for a few
// frame intervals at the camera's rate, or a quarter of a second where
// that is less; a slow camera still gets its frame grabbed.
TEST_F(OnCamera, AGrabWhileStreamingWaitsOnlyAFewFrameIntervals)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    ASSERT_TRUE(SpinUntil([] { return Log().entries.size() >= 2; }));

    // At 30 frames/s the camera stops sending.
    lib.system.setPace(0, {1, 30}, std::chrono::seconds(10));
    SpinFor(50);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(send(WM_CAP_GRAB_FRAME), 0);
    EXPECT_GE(clock.elapsed(), 200);
    EXPECT_LT(clock.elapsed(), 1000);

    // At 2 frames/s a frame comes within an interval, and is waited for.
    lib.system.setPace(0, {1, 2}, std::chrono::milliseconds(500));
    SpinFor(50);
    EXPECT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    EXPECT_TRUE(driver().streaming());
}

TEST_F(OnCamera, BusyLockedOrUnconvertibleCamerasDoNotConnect)
{
    camera().openErrno = EBUSY;
    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 0);
    EXPECT_TRUE(avicap::LastConnectError().contains(QStringLiteral("anderen Programm")));

    camera().openErrno = 0;
    camera().setFormatErrno = EBUSY;
    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 0);
    EXPECT_TRUE(avicap::LastConnectError().contains(QStringLiteral("anderen Programm")));

    camera().setFormatErrno = 0;
    camera().openErrno = EACCES;
    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 0);
    EXPECT_TRUE(avicap::LastConnectError().contains(QStringLiteral("Gruppe „video“")));

    camera().openErrno = 0;
    camera().formats = {V4L2_PIX_FMT_H264};
    camera().current.pixelformat = V4L2_PIX_FMT_H264;
    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 0);
    EXPECT_TRUE(avicap::LastConnectError().contains(QStringLiteral("24-Bit")));
    expectAllReleased();
    EXPECT_TRUE(lib.messages.empty()); // the capture control tells the user, not the library

    // Once the camera is free again the same window connects.
    camera().formats = {V4L2_PIX_FMT_YUYV};
    camera().current.pixelformat = V4L2_PIX_FMT_YUYV;
    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    EXPECT_TRUE(avicap::LastConnectError().isEmpty());
}

TEST_F(OnCamera, StartStopAndDestructionLeaveNothingBehind)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    for (int i = 0; i < 20; ++i) {
        send(WM_CAP_SET_PREVIEW, 1);
        if (i % 3 == 0)
            SpinFor(10);
        send(WM_CAP_SET_PREVIEW, 0);
    }
    EXPECT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    send(WM_CAP_SET_PREVIEW, 1);
    SpinFor(20);
    delete window; // while streaming
    window = nullptr;
    expectAllReleased();
}

TEST_F(OnCamera, DialogsDriveTheDevice)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    {
        camera::SourceDialog dialog(*driver().controls(), nullptr);
        auto* mains = dialog.findChild<QComboBox*>();
        ASSERT_NE(mains, nullptr);
        EXPECT_EQ(mains->currentText(), QStringLiteral("50 Hz"));
        mains->setCurrentIndex(2);
        emit mains->activated(2);
        EXPECT_EQ(camera().controls[3].value, 2);
    }
    // A format the device refuses keeps the dialog open with a message and
    // leaves the old format working.
    const camera::FormatSetting before = driver().formats()->current();
    camera::FormatDialog dialog(*driver().formats(), nullptr);
    const auto boxes = dialog.findChildren<QComboBox*>();
    ASSERT_EQ(boxes.size(), 3);
    boxes[1]->setCurrentIndex(0); // 320 x 240
    camera().setFormatErrno = EIO;
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(lib.messages.size(), 1u);
    EXPECT_TRUE(lib.messages[0].contains(QStringLiteral("nimmt dieses Bildformat nicht an")));
    EXPECT_EQ(driver().formats()->current(), before);
    camera().setFormatErrno = 0;
    EXPECT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(format().biWidth, 320);
}

// The causes a user meets most are told in German whatever language the
// system speaks; the rest as the system says them.
TEST(DeviceErrorText, CommonCausesInGermanTheRestAsTheSystemSaysThem)
{
    const std::pair<int, const char*> own[] = {
        {EBUSY, "das Gerät ist belegt"},
        {EACCES, "kein Zugriff auf das Gerät"},
        {EPERM, "kein Zugriff auf das Gerät"},
        {ENOTTY, "das Gerät kann das nicht"},
        {EINVAL, "das Gerät weist die Anfrage zurück"},
        {ENOMEM, "nicht genug Speicher"},
        {EAGAIN, "das Gerät ist gerade nicht bereit"},
        {EIO, "Übertragungsfehler"},
        {ENODEV, "das Gerät ist nicht mehr da"},
        {ENOENT, "das Gerät ist nicht mehr da"},
    };
    for (const auto& [error, text] : own)
        EXPECT_EQ(camera::DeviceErrorText(error), QString::fromUtf8(text)) << error;
    EXPECT_EQ(camera::DeviceErrorText(EXDEV), QString::fromLocal8Bit(std::strerror(EXDEV)));

    // Where the words appear: a camera that cannot be opened.
    EXPECT_EQ(camera::ConnectErrorText(ENOMEM, "/dev/video3"),
              QStringLiteral("Die Kamera /dev/video3 lässt sich nicht öffnen (nicht genug Speicher)."));
}

TEST(FrameExchange, TheLatestFrameWinsAndOneNoticeCoversAll)
{
    camera::FrameExchange exchange;
    camera::Frame f;
    f.bytes = {1};
    EXPECT_TRUE(exchange.publish(f));
    f.bytes = {2};
    EXPECT_FALSE(exchange.publish(f)); // the receiver has been told already
    camera::Frame got;
    ASSERT_TRUE(exchange.take(got));
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>{2});
    EXPECT_FALSE(exchange.take(got));
    f.bytes = {3};
    EXPECT_TRUE(exchange.publish(f));

    // takeNext wants a frame made after the call.
    EXPECT_FALSE(exchange.takeNext(got, std::chrono::milliseconds(20)));
    std::thread later([&exchange] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        camera::Frame n;
        n.bytes = {4};
        exchange.publish(n);
    });
    EXPECT_TRUE(exchange.takeNext(got, std::chrono::milliseconds(2000)));
    later.join();
    EXPECT_EQ(got.bytes, std::vector<std::uint8_t>{4});
}
