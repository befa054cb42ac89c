// The capture messages answered by real capture windows on the test camera.

#include "tests/camera/AvicapTestSupport.h"

#include "camera/testcam/TestCamera.h"
#include "platform/avicap/VideoWindow.h"

#include <linux/videodev2.h>

#include <QImage>
#include <QPointer>

#include <cstring>
#include <memory>

using namespace avicap_test;

namespace {

struct Windowed : ::testing::Test {
    SimulatedLibrary lib;
    QWidget parent;
    HWND window = nullptr;

    void SetUp() override
    {
        parent.resize(400, 300);
        window = MakeWindow(parent);
        ASSERT_NE(window, nullptr);
    }
    ~Windowed() override { delete window; }

    LRESULT send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window, msg, w, l); }
    camera::Driver& driver() { return *static_cast<avicap::VideoWindow*>(window)->driver(); }
    CAPSTATUS status()
    {
        CAPSTATUS s;
        send(WM_CAP_GET_STATUS, sizeof s, reinterpret_cast<LPARAM>(&s));
        return s;
    }
};

} // namespace

TEST(DriverSlots, TestCameraTakesSlotZeroOnAMachineWithoutCameras)
{
    SimulatedLibrary lib;
    char name[80], version[80];
    ASSERT_EQ(capGetDriverDescriptionA(0, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "Stillwise Testkamera");
    EXPECT_STREQ(version, "(eingebaut)");
    for (WORD slot = 1; slot < 10; ++slot)
        EXPECT_EQ(capGetDriverDescriptionA(slot, name, 80, version, 80), 0) << slot;
    EXPECT_EQ(capGetDriverDescriptionA(0, nullptr, 80, version, 80), 0);
    // A short buffer gets a cut, terminated text.
    char tiny[6];
    ASSERT_EQ(capGetDriverDescriptionA(0, tiny, sizeof tiny, version, 80), 1);
    EXPECT_STREQ(tiny, "Still");
}

TEST(DriverSlots, CutTextsKeepWholeCharacters)
{
    char buffer[4];
    avicap::CopyText("aöb", buffer, 3); // 'a', then the two bytes of ö do not fit
    EXPECT_STREQ(buffer, "a");
    avicap::CopyText("aöb", buffer, 4);
    EXPECT_STREQ(buffer, "aö");
}

TEST(NullWindow, AnswersZeroToEveryMessage)
{
    SimulatedLibrary lib;
    CAPSTATUS s;
    for (UINT msg = WM_CAP_START; msg <= WM_CAP_START + 70; ++msg)
        EXPECT_EQ(SendMessageA(nullptr, msg, sizeof s, reinterpret_cast<LPARAM>(&s)), 0) << msg;
}

TEST_F(Windowed, IsAChildOfItsParentAndKeepsUserData)
{
    EXPECT_EQ(window->parentWidget(), &parent);
    EXPECT_EQ(window->geometry(), QRect(0, 0, 320, 240));
    EXPECT_EQ(send(WM_CAP_GET_USER_DATA), 0);
    EXPECT_EQ(send(WM_CAP_SET_USER_DATA, 0, 0x12345678), 1);
    EXPECT_EQ(send(WM_CAP_GET_USER_DATA), 0x12345678);
    // Unknown messages are not answered.
    EXPECT_EQ(send(WM_CAP_START + 99), 0);
}

TEST_F(Windowed, ConnectsByTheLow16BitsOfTheSlotAndDisconnects)
{
    EXPECT_EQ(send(WM_CAP_GET_VIDEOFORMAT), 0); // nothing connected yet
    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 0x10000), 1);
    EXPECT_TRUE(avicap::LastConnectError().isEmpty());
    EXPECT_EQ(send(WM_CAP_GET_VIDEOFORMAT), 40);
    EXPECT_EQ(send(WM_CAP_DRIVER_DISCONNECT), 1);
    EXPECT_EQ(send(WM_CAP_GET_VIDEOFORMAT), 0);
    EXPECT_EQ(send(WM_CAP_DRIVER_DISCONNECT), 0);

    EXPECT_EQ(send(WM_CAP_DRIVER_CONNECT, 3), 0);
    EXPECT_FALSE(avicap::LastConnectError().isEmpty());
    EXPECT_EQ(send(WM_CAP_GRAB_FRAME), 0);
    EXPECT_EQ(send(WM_CAP_SET_PREVIEW, 1), 0);
}

TEST_F(Windowed, CapsAndStatusFillAtMostTheGivenSize)
{
    CAPDRIVERCAPS caps;
    EXPECT_EQ(send(WM_CAP_DRIVER_GET_CAPS, sizeof caps, reinterpret_cast<LPARAM>(&caps)), 0);
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    ASSERT_EQ(send(WM_CAP_DRIVER_GET_CAPS, sizeof caps, reinterpret_cast<LPARAM>(&caps)), 1);
    EXPECT_EQ(caps.wDeviceIndex, 0u);
    EXPECT_EQ(caps.fHasOverlay, 1);
    EXPECT_EQ(caps.fHasDlgVideoSource, 1);
    EXPECT_EQ(caps.fHasDlgVideoFormat, 1);

    CAPDRIVERCAPS part;
    std::memset(static_cast<void*>(&part), 0xAB, sizeof part);
    ASSERT_EQ(send(WM_CAP_DRIVER_GET_CAPS, 0x10008, reinterpret_cast<LPARAM>(&part)), 1);
    EXPECT_EQ(part.fHasOverlay, 1);
    EXPECT_EQ(static_cast<unsigned>(part.fHasDlgVideoSource), 0xABABABABu);
    EXPECT_EQ(send(WM_CAP_DRIVER_GET_CAPS, sizeof caps, 0), 0);

    CAPSTATUS s = status();
    EXPECT_EQ(s.uiImageWidth, 640u);
    EXPECT_EQ(s.uiImageHeight, 480u);
    EXPECT_EQ(s.fLiveWindow, 0);
    EXPECT_EQ(s.fOverlayWindow, 0);

    CAPSTATUS four;
    std::memset(static_cast<void*>(&four), 0xCD, sizeof four);
    ASSERT_EQ(send(WM_CAP_GET_STATUS, 16, reinterpret_cast<LPARAM>(&four)), 1);
    EXPECT_EQ(four.uiImageWidth, 640u);
    EXPECT_EQ(four.fOverlayWindow, 0);
    EXPECT_EQ(static_cast<unsigned>(four.fScale), 0xCDCDCDCDu);
}

TEST_F(Windowed, FormatSizeAndCopyUseThe16BitSize)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    BITMAPINFOHEADER h;
    std::memset(static_cast<void*>(&h), 0, sizeof h);
    EXPECT_EQ(send(WM_CAP_GET_VIDEOFORMAT, 0x10000 + sizeof h, reinterpret_cast<LPARAM>(&h)), 40);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, BI_RGB);

    BITMAPINFOHEADER none;
    std::memset(static_cast<void*>(&none), 0, sizeof none);
    EXPECT_EQ(send(WM_CAP_GET_VIDEOFORMAT, 0x10000, reinterpret_cast<LPARAM>(&none)), 0);
    EXPECT_EQ(none.biSize, 0u);
    EXPECT_EQ(send(WM_CAP_GET_VIDEOFORMAT, 12, reinterpret_cast<LPARAM>(&none)), 12);
    EXPECT_EQ(none.biWidth, 640);
    EXPECT_EQ(none.biBitCount, 0);

    // The grey format carries a colour table after the header.
    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_GREY, 320, 240, {}}));
    ASSERT_EQ(send(WM_CAP_GET_VIDEOFORMAT), 40 + 256 * 4);
    std::vector<std::uint8_t> block(40 + 256 * 4);
    ASSERT_EQ(send(WM_CAP_GET_VIDEOFORMAT, block.size(), reinterpret_cast<LPARAM>(block.data())), 1064);
    const auto* grey = reinterpret_cast<const BITMAPINFO*>(block.data());
    EXPECT_EQ(grey->bmiHeader.biBitCount, 8);
    EXPECT_EQ(grey->bmiHeader.biWidth, 320);
    EXPECT_EQ(ColorTable(grey)[200].rgbGreen, 200);
}

TEST_F(Windowed, GrabCallsTheFrameCallbackOnceWithTheWholePicture)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    ASSERT_EQ(send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame)), 1);
    ASSERT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    ASSERT_EQ(Log().entries.size(), 1u);
    const auto& e = Log().entries[0];
    EXPECT_EQ(e.window, window);
    EXPECT_TRUE(e.guiThread);
    EXPECT_EQ(e.length, 640u * 480 * 3);
    EXPECT_EQ(e.used, e.length);
    EXPECT_NE(e.data, nullptr);
    SpinFor(100);
    EXPECT_EQ(Log().entries.size(), 1u); // no preview: nothing more

    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_GREY, 1280, 720, {}}));
    ASSERT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    EXPECT_EQ(Log().entries.back().length, 1280u * 720);
}

TEST_F(Windowed, PreviewDeliversOnTheGuiThreadAtMostOncePerInterval)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEWRATE, 0x10000 + 100);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    EXPECT_EQ(status().fLiveWindow, 1);
    SpinFor(1000);
    const auto& entries = Log().entries;
    // The upper bound is the rule: one frame per interval on average, and
    // never two in quick succession; the lower one only shows frames flow
    // (a loaded test machine may lose some).
    EXPECT_GE(entries.size(), 4u);
    EXPECT_LE(entries.size(), 11u);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        EXPECT_TRUE(entries[i].guiThread);
        EXPECT_GE(entries[i].atNs - entries[i - 1].atNs, 49'000'000) << i;
    }
    if (entries.size() > 1) {
        const auto span = static_cast<std::int64_t>(entries.size() - 1) * 100'000'000 - 51'000'000;
        EXPECT_GE(entries.back().atNs - entries.front().atNs, span) << entries.size();
    }
    EXPECT_GE(status().dwCurrentVideoFrame, entries.size());

    // At the camera's own rate nearly every frame goes out.
    Log().entries.clear();
    send(WM_CAP_SET_PREVIEWRATE, 33);
    SpinFor(1000);
    EXPECT_GE(Log().entries.size(), 12u);
    EXPECT_LE(Log().entries.size(), 31u);

    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 0), 1);
    EXPECT_EQ(status().fLiveWindow, 0);
    const std::size_t count = Log().entries.size();
    SpinFor(150);
    EXPECT_EQ(Log().entries.size(), count);
}

TEST_F(Windowed, ClearedCallbackStopsFramesAtOnce)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEWRATE, 33);
    send(WM_CAP_SET_PREVIEW, 1);
    ASSERT_TRUE(SpinUntil([] { return Log().entries.size() >= 3; }));
    send(WM_CAP_SET_CALLBACK_FRAME, 0, 0);
    const std::size_t count = Log().entries.size();
    SpinFor(200);
    EXPECT_EQ(Log().entries.size(), count);
    EXPECT_EQ(status().fLiveWindow, 1);
    // Status, stream and wave callbacks are stored but our drivers never
    // stream to a file, so only the frame callback is ever called here.
    EXPECT_EQ(send(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, reinterpret_cast<LPARAM>(&RecordFrame)), 1);
    SpinFor(100);
    EXPECT_EQ(Log().entries.size(), count);
}

TEST_F(Windowed, OverlayShowsFramesWithoutCallbacksAndExcludesPreview)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    send(WM_CAP_SET_PREVIEW, 1);
    ASSERT_EQ(send(WM_CAP_SET_OVERLAY, 1), 1);
    CAPSTATUS s = status();
    EXPECT_EQ(s.fOverlayWindow, 1);
    EXPECT_EQ(s.fLiveWindow, 0);
    Log().entries.clear();
    SpinFor(200);
    EXPECT_TRUE(Log().entries.empty());
    EXPECT_GT(status().dwCurrentVideoFrame, 2u);
    send(WM_CAP_SET_PREVIEW, 1);
    EXPECT_EQ(status().fOverlayWindow, 0);
}

TEST_F(Windowed, ShowsTheLatestFrameScaledWhenAsked)
{
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1);
    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_BGR24, 320, 240, {}}));
    window->resize(640, 480);
    QImage blank = window->grab().toImage();
    EXPECT_EQ(blank.pixelColor(10, 10), QColor(Qt::black));

    ASSERT_EQ(send(WM_CAP_GRAB_FRAME), 1);
    QImage shown = window->grab().toImage();
    // Unscaled: the picture in the top-left quarter, black beside it. The
    // top row of the scene is the first colour bar (near white).
    EXPECT_GT(qGray(shown.pixel(5, 5)), 150);
    EXPECT_EQ(shown.pixelColor(600, 400), QColor(Qt::black));

    ASSERT_EQ(send(WM_CAP_SET_SCALE, 1), 1);
    EXPECT_EQ(status().fScale, 1);
    shown = window->grab().toImage();
    EXPECT_NE(shown.pixelColor(600, 400), QColor(Qt::black)); // the grey ramp, stretched
    EXPECT_GT(qGray(shown.pixel(630, 470)), 150);             // its bright end at the right
}

TEST_F(Windowed, DestroyingTheParentDisconnectsCleanly)
{
    auto* owner = new QWidget;
    QPointer<QWidget> child = MakeWindow(*owner);
    HWND w = static_cast<HWND>(child.data());
    ASSERT_EQ(SendMessageA(w, WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    SendMessageA(w, WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    SendMessageA(w, WM_CAP_SET_PREVIEWRATE, 33, 0);
    SendMessageA(w, WM_CAP_SET_PREVIEW, 1, 0);
    ASSERT_TRUE(SpinUntil([] { return !Log().entries.empty(); }));
    delete owner;
    EXPECT_TRUE(child.isNull());
    const std::size_t count = Log().entries.size();
    SpinFor(150);
    EXPECT_EQ(Log().entries.size(), count);
}

namespace {

HWND deleting = nullptr;
LRESULT DeleteFromCallback(HWND window, VIDEOHDR*)
{
    delete window;
    deleting = nullptr;
    return 1;
}

} // namespace

TEST(CallbackReentry, AWindowDeletedInsideItsFrameCallbackIsNotTouchedAgain)
{
    SimulatedLibrary lib;
    QWidget parent;
    deleting = MakeWindow(parent);
    ASSERT_EQ(SendMessageA(deleting, WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    SendMessageA(deleting, WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&DeleteFromCallback));
    EXPECT_EQ(SendMessageA(deleting, WM_CAP_GRAB_FRAME, 0, 0), 0);
    EXPECT_EQ(deleting, nullptr);
    EXPECT_TRUE(parent.children().isEmpty());
}

namespace {

// A camera whose frames come when the test sends them: 4 x 2 pixels at 24
// bits, 24 bytes a frame.
class PushCamera final : public camera::Driver {
public:
    PushCamera()
    {
        BITMAPINFOHEADER h;
        h.biWidth = 4;
        h.biHeight = 2;
        h.biBitCount = 24;
        format_.resize(sizeof h);
        std::memcpy(format_.data(), &h, sizeof h);
    }
    const std::vector<std::uint8_t>& format() const override { return format_; }
    bool hasOverlay() const override { return false; }
    bool start(camera::FrameSink* sink) override
    {
        sink_ = sink;
        return true;
    }
    void stop() override { sink_ = nullptr; }
    bool streaming() const override { return sink_ != nullptr; }
    bool takeFrame(camera::Frame& frame) override
    {
        if (ready_ == 0)
            return false;
        frame.bytes.assign(ready_, 0x40);
        ready_ = 0;
        return true;
    }
    bool grab(camera::Frame&) override { return false; }
    camera::ControlSet* controls() override { return nullptr; }
    camera::FormatSet* formats() override { return nullptr; }

    // One frame of `bytes` bytes arrives.
    void send(std::size_t bytes = 24)
    {
        ready_ = bytes;
        if (sink_ != nullptr)
            sink_->frameReady();
    }

private:
    std::vector<std::uint8_t> format_;
    camera::FrameSink* sink_ = nullptr;
    std::size_t ready_ = 0;
};

} // namespace

TEST(CaptureWindowStatus, CountsFramesReplacedBeforeTheirTurnAndFramesOfAnotherSizeAsDropped)
{
    App();
    PushCamera* camera = nullptr;
    QWidget parent;
    avicap::VideoWindow window(
        [&camera](int) {
            auto made = std::make_unique<PushCamera>();
            camera = made.get();
            return made;
        },
        &parent);
    auto status = [&window] {
        CAPSTATUS s;
        window.message(WM_CAP_GET_STATUS, sizeof s, reinterpret_cast<LPARAM>(&s));
        return s;
    };
    ASSERT_EQ(window.message(WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    // One frame a minute: the first goes out at once, the others wait.
    window.message(WM_CAP_SET_PREVIEWRATE, 60000, 0);
    ASSERT_EQ(window.message(WM_CAP_SET_PREVIEW, 1, 0), 1);

    camera->send(); // handed out
    EXPECT_EQ(status().dwCurrentVideoFrame, 1u);
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 0u);
    camera->send(); // waits for its turn
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 0u);
    camera->send(); // replaces the waiting one
    camera->send(); // and again
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 2u);
    camera->send(5); // not a frame of the format, and it replaced the waiting one
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 4u);
    camera->send(); // nothing waited: only waits itself
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 4u);
    EXPECT_EQ(status().dwCurrentVideoFrame, 1u);

    // A new connection starts counting afresh.
    ASSERT_EQ(window.message(WM_CAP_DRIVER_DISCONNECT, 0, 0), 1);
    ASSERT_EQ(window.message(WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    EXPECT_EQ(status().dwCurrentVideoFramesDropped, 0u);
    EXPECT_EQ(status().dwCurrentVideoFrame, 0u);
}
