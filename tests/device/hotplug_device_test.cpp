// A camera that goes away while it streams and comes back: the kernel's
// vivid driver unbound and bound again inside the virtual machine of
// tests/device/run-in-vm.sh. Run twice: in a machine without udev, where the
// library watches the devices by itself, and (run-in-vm.sh --udev, with
// STILLWISE_HOTPLUG_SOURCE=udev) with udevd running, as on a desktop, where
// the news must come from udev's monitor.

#include "tests/camera/AvicapTestSupport.h"

#include "camera/CameraMemory.h"
#include "camera/dialogs/SourceDialog.h"
#include "platform/avicap/VideoWindow.h"
#include "camera/Notices.h"
#include "camera/v4l2/DeviceMonitor.h"
#include "platform/avicap/CaptureApi.h"

#include <linux/videodev2.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QScreen>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

using avicap_test::App;
using avicap_test::SpinFor;
using avicap_test::SpinUntil;

struct Seen {
    std::size_t frames = 0;
    DWORD lastLength = 0;
    std::vector<QString> messages;
};

Seen& seen()
{
    static Seen s;
    return s;
}

LRESULT countFrame(HWND, VIDEOHDR* header)
{
    ++seen().frames;
    seen().lastLength = header->dwBytesUsed;
    return 1;
}

std::string slotName(int slot)
{
    char name[80], version[80];
    if (capGetDriverDescriptionA(static_cast<WORD>(slot), name, 80, version, 80) == 0)
        return {};
    return name;
}

bool writeTo(const char* path, const char* text)
{
    std::ofstream out(path);
    out << text;
    out.flush();
    return static_cast<bool>(out);
}

} // namespace

// Another program switches vivid's automatic gain: the open source dialog
// greys the gain at once, from the device's own change notices.
TEST(VividControls, TheSourceDialogFollowsAutomaticGainSwitchedElsewhere)
{
    App();
    ASSERT_EQ(slotName(0), "vivid");
    QWidget parent;
    std::unique_ptr<avicap::CaptureWindow> window(
        capCreateCaptureWindowA("Video1", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, &parent, 5001));
    ASSERT_EQ(SendMessageA(window.get(), WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    auto* video = static_cast<avicap::VideoWindow*>(window.get());

    const int other = ::open("/dev/video0", O_RDWR);
    ASSERT_GE(other, 0);
    v4l2_control autogain{V4L2_CID_AUTOGAIN, 0};
    ASSERT_EQ(::ioctl(other, VIDIOC_S_CTRL, &autogain), 0);

    camera::SourceDialog dialog(*video->driver()->controls(), nullptr);
    dialog.show();
    QLabel* gain = nullptr;
    for (QLabel* l : dialog.findChildren<QLabel*>())
        if (l->text() == QStringLiteral("Verstärkung:"))
            gain = l;
    ASSERT_NE(gain, nullptr);
    ASSERT_NE(gain->buddy(), nullptr);
    EXPECT_TRUE(gain->buddy()->isEnabled());
    EXPECT_LE(dialog.frameGeometry().height(), dialog.screen()->availableGeometry().height());
    std::printf("vivid's source dialog: %d x %d on a %d-pixel-high screen, %d tabs\n", dialog.width(),
                dialog.height(), dialog.screen()->availableGeometry().height(), dialog.tabs()->count());

    autogain.value = 1;
    ASSERT_EQ(::ioctl(other, VIDIOC_S_CTRL, &autogain), 0);
    EXPECT_TRUE(SpinUntil([&] { return !gain->buddy()->isEnabled(); }, 2000)) << "gain still enabled";
    autogain.value = 0;
    ASSERT_EQ(::ioctl(other, VIDIOC_S_CTRL, &autogain), 0);
    EXPECT_TRUE(SpinUntil([&] { return gain->buddy()->isEnabled(); }, 2000)) << "gain still greyed";
    ::close(other);
}

TEST(VividHotplug, TheDriverListFollowsAndTheSameCameraResumesWithItsStoredFormat)
{
    App();
    using Source = camera::DeviceMonitor::Source;
    const char* expected = std::getenv("STILLWISE_HOTPLUG_SOURCE");
    const bool viaUdev = expected != nullptr && std::strcmp(expected, "udev") == 0;
    const camera::DeviceMonitor& monitor = camera::DeviceMonitor::Instance();
    ASSERT_EQ(monitor.usesUdev(), viaUdev) << (viaUdev ? "udevd runs, but the monitor does not listen to it"
                                                       : "no udevd here, yet the monitor listens to udev");
    const Source source = viaUdev ? Source::Udev : Source::Scan;
    const Source other = viaUdev ? Source::Scan : Source::Udev;
    camera::SetMessageSink([](const QString& text) { seen().messages.push_back(text); });
    ASSERT_EQ(slotName(0), "vivid") << "vivid must be loaded (run through run-in-vm.sh)";

    QWidget parent;
    std::unique_ptr<avicap::CaptureWindow> window(
        capCreateCaptureWindowA("Video1", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, &parent, 5001));
    ASSERT_NE(window, nullptr);
    auto send = [&](UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window.get(), msg, w, l); };
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, 0), 1) << avicap::LastConnectError().toStdString();
    auto* video = static_cast<avicap::VideoWindow*>(window.get());

    // The user picks a format, as the format dialog does: remembered for vivid.
    const camera::FormatSetting chosen{V4L2_PIX_FMT_YUYV, 320, 180, {1, 30}};
    {
        camera::RememberingFormats formats(*video->driver()->formats(), camera::CameraMemory::User(),
                                           video->driver()->identity());
        ASSERT_TRUE(formats.apply(chosen));
    }
    const DWORD frameBytes = 320 * 3 * 180; // 960-byte rows need no padding
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&countFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    ASSERT_TRUE(SpinUntil([] { return seen().frames >= 3; }, 5000));
    EXPECT_EQ(seen().lastLength, frameBytes);

    // Waits below are for events, with bounds far beyond any quiet
    // machine's: under an emulated processor beside a busy build, udevd may
    // take seconds to run its rules before it passes an event on. What the
    // program itself takes is timed from the moment it learns of a change.
    constexpr int eventWaitMs = 30000;
    unsigned changes = monitor.changes();
    QElapsedTimer clock;
    clock.start();
    qint64 learntAt = -1;
    const QMetaObject::Connection learning =
        QObject::connect(&monitor, &camera::DeviceMonitor::devicesChanged, [&] {
            if (learntAt < 0)
                learntAt = clock.elapsed();
        });

    // Unplugged: the preview ends with the usual message, the list loses it,
    // and the news comes the expected way.
    ASSERT_TRUE(writeTo("/sys/bus/platform/drivers/vivid/unbind", "vivid.0"));
    ASSERT_TRUE(SpinUntil([] { return !seen().messages.empty(); }, eventWaitMs));
    EXPECT_TRUE(seen().messages[0].contains(QStringLiteral("nicht mehr erreichbar")))
        << seen().messages[0].toStdString();
    EXPECT_TRUE(SpinUntil([] { return slotName(0) == "Stillwise Testkamera"; }, eventWaitMs)) << slotName(0);
    EXPECT_EQ(slotName(1), "");
    EXPECT_TRUE(SpinUntil([&] { return monitor.heard(source) >= 1 && monitor.changes() > changes; }, eventWaitMs))
        << "the removal was not learnt the expected way";
    std::printf("the removal was learnt %lld ms after the unbind\n", static_cast<long long>(learntAt));
    // udevd may report the removal in more than one message: the count is
    // taken once the monitor has been quiet for its settling time and more.
    unsigned heardOfRemoval = monitor.heard(source);
    for (;;) {
        SpinFor(500);
        if (monitor.heard(source) == heardOfRemoval)
            break;
        heardOfRemoval = monitor.heard(source);
    }
    EXPECT_GE(heardOfRemoval, 1u);

    // Plugged in again: listed again, and the picture comes back by itself
    // in the stored format, within two seconds of the program's learning of
    // it. While the retries that followed the removal's news still run, a
    // retry finds the camera before udev's news of it comes: then the two
    // seconds count from the bind.
    const std::size_t before = seen().frames;
    changes = monitor.changes();
    learntAt = -1;
    clock.restart();
    ASSERT_TRUE(writeTo("/sys/bus/platform/drivers/vivid/bind", "vivid.0"));
    ASSERT_TRUE(SpinUntil([&] { return seen().frames >= before + 2; }, eventWaitMs)) << "no frames after the return";
    const qint64 resumedMs = clock.elapsed();
    EXPECT_TRUE(SpinUntil([&] { return monitor.heard(source) > heardOfRemoval && monitor.changes() > changes; },
                          eventWaitMs))
        << "the return was not learnt the expected way";
    QObject::disconnect(learning);
    std::printf("streaming resumed %lld ms after the bind; the program learnt of the return after %lld ms\n",
                static_cast<long long>(resumedMs), static_cast<long long>(learntAt));
    EXPECT_LE(resumedMs - std::clamp<qint64>(learntAt, 0, resumedMs), 2000);
    EXPECT_EQ(seen().lastLength, frameBytes);
    CAPSTATUS status;
    send(WM_CAP_GET_STATUS, sizeof status, reinterpret_cast<LPARAM>(&status));
    EXPECT_EQ(status.fLiveWindow, 1u);
    EXPECT_EQ(status.uiImageWidth, 320u);
    EXPECT_EQ(status.uiImageHeight, 180u);
    EXPECT_EQ(seen().messages.size(), 1u) << "no new message, no dialog";
    EXPECT_TRUE(SpinUntil([] { return slotName(0) == "vivid"; }, eventWaitMs)) << slotName(0);
    EXPECT_EQ(slotName(1), "Stillwise Testkamera");
    EXPECT_EQ(monitor.heard(other), 0u);
    std::printf("device events heard: %u from udev, %u from the scan\n", monitor.heard(Source::Udev),
                monitor.heard(Source::Scan));

    window.reset();
    camera::SetMessageSink({});
}
