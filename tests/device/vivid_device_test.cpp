// The capture library on a real V4L2 camera: the kernel's vivid test driver,
// which tests/device/run-in-vm.sh loads in a virtual machine. On a machine
// without vivid every test is skipped.

#include "tests/camera/AvicapTestSupport.h"

#include "camera/v4l2/V4l2Driver.h"
#include "platform/avicap/VideoWindow.h"
#include "camera/Notices.h"
#include "platform/avicap/CaptureApi.h"

#include <linux/videodev2.h>

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

using avicap_test::App;
using avicap_test::SpinFor;
using avicap_test::SpinUntil;

struct Seen {
    std::vector<std::vector<std::uint8_t>> frames;
    std::vector<QString> messages;
};

Seen& seen()
{
    static Seen s;
    return s;
}

LRESULT keepFrame(HWND, VIDEOHDR* header)
{
    seen().frames.emplace_back(header->lpData, header->lpData + header->dwBufferLength);
    return 1;
}

bool vividInSlotZero()
{
    char name[80], version[80];
    return capGetDriverDescriptionA(0, name, 80, version, 80) != 0 && std::strcmp(name, "vivid") == 0;
}

double meanAbsDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / static_cast<double>(a.size());
}

class Vivid : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        App();
        camera::SetMessageSink([](const QString& text) { seen().messages.push_back(text); });
    }

    void SetUp() override
    {
        if (!vividInSlotZero())
            GTEST_SKIP() << "no vivid camera in slot 0";
        parent_ = std::make_unique<QWidget>();
        window_ = capCreateCaptureWindowA("Video1", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, parent_.get(), 5001);
        ASSERT_NE(window_, nullptr);
        ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1) << avicap::LastConnectError().toStdString();
        send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&keepFrame));
        seen() = Seen{};
    }

    void TearDown() override
    {
        delete window_;
        window_ = nullptr;
    }

    LRESULT send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window_, msg, w, l); }
    camera::Driver& driver() { return *static_cast<avicap::VideoWindow*>(window_)->driver(); }

    const camera::ControlInfo* control(const QString& name)
    {
        controls_ = driver().controls()->list();
        for (const auto& c : controls_)
            if (c.name == name)
                return &c;
        return nullptr;
    }

    std::vector<std::uint8_t> grab()
    {
        seen().frames.clear();
        EXPECT_EQ(send(WM_CAP_GRAB_FRAME), 1);
        return seen().frames.empty() ? std::vector<std::uint8_t>{} : seen().frames.back();
    }

    std::unique_ptr<QWidget> parent_;
    HWND window_ = nullptr;
    std::vector<camera::ControlInfo> controls_;
};

} // namespace

TEST_F(Vivid, SlotZeroDescribesTheDriverAndItsNode)
{
    char name[80], version[80];
    ASSERT_EQ(capGetDriverDescriptionA(0, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "vivid");
    EXPECT_STREQ(version, "(/dev/video0)");
    ASSERT_EQ(capGetDriverDescriptionA(1, name, 80, version, 80), 1);
    EXPECT_STREQ(name, "Stillwise Testkamera");
}

TEST_F(Vivid, FramesInBgrAndConvertedFromYuyvShowTheSamePicture)
{
    // Frames without the changing text, so two formats can be compared.
    const camera::ControlInfo* osd = control(QStringLiteral("OSD Text Mode"));
    ASSERT_NE(osd, nullptr);
    ASSERT_TRUE(driver().controls()->set(osd->id, 2));
    // YUYV in full range like the RGB formats: libv4lconvert does not
    // stretch limited-range YUV, which would brighten blacks by 16 levels.
    const camera::ControlInfo* quantization = control(QStringLiteral("Quantization"));
    ASSERT_NE(quantization, nullptr);
    ASSERT_TRUE(driver().controls()->set(quantization->id, 1));

    camera::FormatSet& formats = *driver().formats();
    ASSERT_TRUE(formats.apply({V4L2_PIX_FMT_BGR24, 640, 480, {}}));
    BITMAPINFOHEADER h;
    send(WM_CAP_GET_VIDEOFORMAT, sizeof h, reinterpret_cast<LPARAM>(&h));
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    EXPECT_EQ(h.biBitCount, 24);
    const std::vector<std::uint8_t> direct = grab();
    ASSERT_EQ(direct.size(), 640u * 480 * 3);

    ASSERT_TRUE(formats.apply({V4L2_PIX_FMT_YUYV, 640, 480, {}}));
    EXPECT_EQ(formats.current().fourcc, static_cast<std::uint32_t>(V4L2_PIX_FMT_YUYV));
    const std::vector<std::uint8_t> converted = grab();
    ASSERT_EQ(converted.size(), direct.size());
    const double difference = meanAbsDifference(direct, converted);
    std::printf("mean difference BGR3 / YUYV: %.2f\n", difference);
    EXPECT_LT(difference, 6.0);
    // Colour bars: the picture is not one flat colour.
    EXPECT_GT(*std::max_element(direct.begin(), direct.end()), 150);
    EXPECT_LT(*std::min_element(direct.begin(), direct.end()), 50);
}

TEST_F(Vivid, PreviewDeliversFramesAtTheDevicesRate)
{
    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_YUYV, 640, 480, {1, 25}}));
    send(WM_CAP_SET_PREVIEWRATE, 33);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    SpinFor(2000);
    send(WM_CAP_SET_PREVIEW, 0);
    std::printf("frames in 2 s: %zu\n", seen().frames.size());
    EXPECT_GE(seen().frames.size(), 10u);
    EXPECT_LE(seen().frames.size(), 61u);
    for (const auto& f : seen().frames)
        EXPECT_EQ(f.size(), 640u * 480 * 3);
}

TEST_F(Vivid, SourceSettingsWorkWithoutTheDialog)
{
    camera::ControlSet& controls = *driver().controls();
    const camera::ControlInfo* brightness = control(QStringLiteral("Helligkeit"));
    ASSERT_NE(brightness, nullptr);
    const int original = brightness->defaultValue;
    const std::uint32_t id = brightness->id;
    ASSERT_TRUE(controls.set(id, 200));
    EXPECT_EQ(control(QStringLiteral("Helligkeit"))->value, 200);
    controls.reset();
    EXPECT_EQ(control(QStringLiteral("Helligkeit"))->value, original);
}

TEST_F(Vivid, FormatChoicesComeFromTheDevice)
{
    const auto all = driver().formats()->list();
    bool bgr = false, yuyv = false;
    for (const auto& f : all) {
        bgr = bgr || f.fourcc == V4L2_PIX_FMT_BGR24;
        if (f.fourcc == V4L2_PIX_FMT_YUYV) {
            yuyv = true;
            bool has720 = false;
            for (const auto& s : f.sizes)
                has720 = has720 || (s.width == 1280 && s.height == 720 && !s.intervals.empty());
            EXPECT_TRUE(has720);
        }
    }
    EXPECT_TRUE(bgr);
    EXPECT_TRUE(yuyv);
    ASSERT_TRUE(driver().formats()->apply({V4L2_PIX_FMT_YUYV, 320, 180, {}}));
    EXPECT_EQ(grab().size(), 320u * 180 * 3);
}

TEST_F(Vivid, DisconnectEndsPreviewWithOneMessageAndTheCameraComesBack)
{
    send(WM_CAP_SET_PREVIEWRATE, 33);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    ASSERT_TRUE(SpinUntil([] { return seen().frames.size() >= 3; }, 5000));
    const camera::ControlInfo* disconnect = control(QStringLiteral("Disconnect"));
    ASSERT_NE(disconnect, nullptr);
    driver().controls()->set(disconnect->id, 0);
    ASSERT_TRUE(SpinUntil([] { return !seen().messages.empty(); }, 5000));
    SpinFor(500);
    ASSERT_EQ(seen().messages.size(), 1u);
    std::printf("message: %s\n", seen().messages[0].toUtf8().constData());
    CAPSTATUS status;
    send(WM_CAP_GET_STATUS, sizeof status, reinterpret_cast<LPARAM>(&status));
    EXPECT_EQ(status.fLiveWindow, 0);
    const std::size_t frames = seen().frames.size();
    SpinFor(300);
    EXPECT_EQ(seen().frames.size(), frames);
    send(WM_CAP_DRIVER_DISCONNECT);

    // Unbinding and binding the driver is the closest thing to plugging the
    // camera in again.
    std::ofstream("/sys/bus/platform/drivers/vivid/unbind") << "vivid.0" << std::flush;
    std::ofstream("/sys/bus/platform/drivers/vivid/bind") << "vivid.0" << std::flush;
    ASSERT_TRUE(SpinUntil([] { return std::filesystem::exists("/dev/video0"); }, 5000));
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1) << avicap::LastConnectError().toStdString();
    ASSERT_NE(dynamic_cast<camera::V4l2Driver*>(&driver()), nullptr); // vivid, not the test camera
    EXPECT_EQ(grab().size() > 0, true);
    EXPECT_EQ(seen().messages.size(), 1u);
}
