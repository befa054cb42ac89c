// Each camera's settings across program starts, in the settings file, and
// a camera that comes back while the program runs.

#include "tests/camera/AvicapTestSupport.h"

#include "camera/CameraMemory.h"
#include "camera/dialogs/FormatDialog.h"
#include "camera/dialogs/SourceDialog.h"
#include "camera/v4l2/DeviceMonitor.h"
#include "camera/v4l2/V4l2Driver.h"
#include "platform/avicap/VideoWindow.h"

#include <linux/videodev2.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

using namespace avicap_test;

namespace {

// The settings file lives in a folder of its own for each test.
struct OwnSettings {
    QTemporaryDir dir;
    OwnSettings()
    {
        App();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    }
    QString file() const { return dir.filePath(QStringLiteral("Stillwise/Stillwise.ini")); }
};

simv4l2::Camera namedCamera(const std::string& node, const std::string& card)
{
    simv4l2::Camera c = simv4l2::MakeCamera(node);
    c.card = card;
    return c;
}

int controlValue(simv4l2::Camera& c, std::uint32_t id)
{
    for (const simv4l2::Control& k : c.controls)
        if (k.query.id == id)
            return k.value;
    return -1;
}

// Runs `act` on the modal dialog of type D that `open` brings up.
template <typename D>
void onModal(const std::function<void()>& open, const std::function<void(D&)>& act)
{
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (dialog == nullptr)
            return;
        seen = true;
        act(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    open();
    EXPECT_TRUE(seen);
}

QSlider* sliderFor(QWidget& dialog, const QString& label)
{
    for (QLabel* l : dialog.findChildren<QLabel*>())
        if (l->text() == label && l->buddy() != nullptr)
            return l->buddy()->findChild<QSlider*>();
    return nullptr;
}

// One run of the program: a library on the machine's cameras and a window.
struct ProgramRun {
    SimulatedLibrary lib;
    QWidget parent;
    HWND window;

    explicit ProgramRun(std::vector<simv4l2::Camera> cameras) : lib(std::move(cameras)), window(MakeWindow(parent)) {}
    ~ProgramRun() { delete window; }
    LRESULT send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window, msg, w, l); }
    void setBrightness(int value)
    {
        onModal<camera::SourceDialog>([this] { send(WM_CAP_DLG_VIDEOSOURCE); },
                                      [value](camera::SourceDialog& d) {
                                          QSlider* s = sliderFor(d, QStringLiteral("Helligkeit:"));
                                          ASSERT_NE(s, nullptr);
                                          s->setValue(value);
                                      });
    }
    void pickSize(int index)
    {
        onModal<camera::FormatDialog>([this] { send(WM_CAP_DLG_VIDEOFORMAT); },
                                      [index](camera::FormatDialog& d) {
                                          d.findChildren<QComboBox*>().value(1)->setCurrentIndex(index);
                                          d.accept();
                                      });
    }
};

std::vector<simv4l2::Camera> twoCameras()
{
    return {namedCamera("/dev/video0", "Kamera A"), namedCamera("/dev/video1", "Kamera B")};
}

} // namespace

TEST(CameraMemory, EachCameraGetsBackItsOwnSettingsOnTheNextStartUntilReset)
{
    OwnSettings settings;
    // The print dialog's section shares the file and must survive.
    {
        QSettings file(settings.file(), QSettings::IniFormat);
        file.setValue(QStringLiteral("TPrintForm/BreitEdit_Value"), 150);
    }
    {
        ProgramRun first(twoCameras());
        ASSERT_EQ(first.send(WM_CAP_DRIVER_CONNECT, 0), 1);
        first.setBrightness(200);
        first.pickSize(0); // 320 x 240
        ASSERT_EQ(first.send(WM_CAP_DRIVER_CONNECT, 1), 1);
        first.setBrightness(17);
        EXPECT_TRUE(first.lib.messages.empty());
    }
    {
        ProgramRun second(twoCameras()); // cameras as they come from the box
        ASSERT_EQ(second.send(WM_CAP_DRIVER_CONNECT, 0), 1);
        EXPECT_EQ(controlValue(second.lib.system.camera(0), V4L2_CID_BRIGHTNESS), 200);
        EXPECT_EQ(second.lib.system.camera(0).current.width, 320u);
        EXPECT_EQ(controlValue(second.lib.system.camera(0), V4L2_CID_CONTRAST), 50) << "never changed";
        ASSERT_EQ(second.send(WM_CAP_DRIVER_CONNECT, 1), 1);
        EXPECT_EQ(controlValue(second.lib.system.camera(1), V4L2_CID_BRIGHTNESS), 17);
        EXPECT_EQ(second.lib.system.camera(1).current.width, 640u) << "camera B kept its own format";

        // "Standardwerte" resets camera B and forgets what it had.
        onModal<camera::SourceDialog>([&] { second.send(WM_CAP_DLG_VIDEOSOURCE); },
                                      [](camera::SourceDialog& d) {
                                          for (QPushButton* b : d.findChildren<QPushButton*>())
                                              if (b->text() == QStringLiteral("Standardwerte"))
                                                  b->click();
                                      });
        EXPECT_EQ(controlValue(second.lib.system.camera(1), V4L2_CID_BRIGHTNESS), 128);
    }
    {
        ProgramRun third(twoCameras());
        ASSERT_EQ(third.send(WM_CAP_DRIVER_CONNECT, 1), 1);
        EXPECT_EQ(controlValue(third.lib.system.camera(1), V4L2_CID_BRIGHTNESS), 128);
        ASSERT_EQ(third.send(WM_CAP_DRIVER_CONNECT, 0), 1);
        EXPECT_EQ(controlValue(third.lib.system.camera(0), V4L2_CID_BRIGHTNESS), 200);
    }
    QSettings file(settings.file(), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("TPrintForm/BreitEdit_Value")).toInt(), 150);
}

TEST(CameraMemory, DamagedForeignAndRefusedEntriesArePassedOver)
{
    OwnSettings settings;
    const std::string camera = "Kamera A @platform:simcam";
    camera::CameraMemory memory(settings.file());
    memory.rememberControl(camera, V4L2_CID_CONTRAST, 70);
    QString section;
    {
        QSettings file(settings.file(), QSettings::IniFormat);
        section = file.childGroups().value(0);
        ASSERT_TRUE(section.startsWith(QStringLiteral("Kamera-")));
    }
    // Damage it by hand, as an editor or a crash might.
    {
        QFile f(settings.file());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("Format=YUYV 640 mal 480\n"
                "Regler\\zzzzzzzz=5\n"
                "Regler\\00980900=hell\n"
                "Regler\\00980918=7\n" // mains frequency beyond the device's range
                "Regler\\00980914=1\n" // the flip
                "\n[Kamera-0000000000000000]\nKennung=Kamera A @platform:simcam\nFormat=GREY 1x1 0/0\n");
    }
    EXPECT_EQ(memory.format(camera), std::nullopt);
    const auto values = memory.controls(camera);
    EXPECT_EQ(values.size(), 3u); // contrast, mains frequency and the flip parse

    SimulatedLibrary lib({namedCamera("/dev/video0", "Kamera A")});
    QWidget parent;
    HWND window = MakeWindow(parent);
    ASSERT_EQ(SendMessageA(window, WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    simv4l2::Camera& c = lib.system.camera(0);
    EXPECT_EQ(controlValue(c, V4L2_CID_CONTRAST), 70);
    EXPECT_EQ(controlValue(c, V4L2_CID_POWER_LINE_FREQUENCY), 1) << "7 is beyond its range";
    EXPECT_EQ(controlValue(c, V4L2_CID_HFLIP), 1);
    EXPECT_EQ(controlValue(c, V4L2_CID_BRIGHTNESS), 128);
    EXPECT_EQ(c.current.width, 640u);
    delete window;

    // A section whose identity line names another camera is not this
    // camera's, even where the name matches.
    {
        QSettings file(settings.file(), QSettings::IniFormat);
        file.setValue(section + QStringLiteral("/Kennung"), QStringLiteral("Eine andere Kamera"));
    }
    EXPECT_TRUE(memory.controls(camera).empty());
    memory.rememberControl(camera, V4L2_CID_CONTRAST, 20);
    QSettings file(settings.file(), QSettings::IniFormat);
    EXPECT_EQ(file.value(section + QStringLiteral("/Kennung")).toString(), QStringLiteral("Eine andere Kamera"));
}

// A dragged slider: the first value is stored at once, the flood behind it
// in one write, the last value at the latest when the dialog's view goes.
TEST(CameraMemory, ADraggedSliderIsWrittenInBatchesEndingWithItsLastValue)
{
    struct Device final : camera::ControlSet {
        std::vector<camera::ControlInfo> list() override { return {}; }
        bool set(std::uint32_t, int) override { return true; }
        void reset() override {}
    } device;
    OwnSettings settings;
    const std::string camera = "Kamera A @usb-1";
    camera::CameraMemory memory(settings.file());
    auto stored = [&] { return memory.controls(camera)[V4L2_CID_BRIGHTNESS]; };
    {
        camera::RememberingControls view(device, memory, camera);
        QElapsedTimer clock;
        clock.start();
        for (int value = 0; value <= 100; ++value)
            view.set(V4L2_CID_BRIGHTNESS, value);
        if (clock.elapsed() < camera::RememberingControls::WriteEveryMs) {
            EXPECT_EQ(stored(), 0) << "the flood was written value by value";
        }
        SpinFor(camera::RememberingControls::WriteEveryMs + 50);
        view.set(V4L2_CID_CONTRAST, 9);
        EXPECT_EQ(stored(), 100);
        view.set(V4L2_CID_BRIGHTNESS, 42);
        EXPECT_EQ(stored(), 100);
    }
    EXPECT_EQ(stored(), 42);
    EXPECT_EQ(memory.controls(camera)[V4L2_CID_CONTRAST], 9);
}

TEST(CameraMemory, AWriteThatFailsIsToldOnce)
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("kein-ordner")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    std::vector<QString> told;
    camera::SetMessageSink([&](const QString& text) { told.push_back(text); });
    camera::CameraMemory memory(blocker.fileName() + QStringLiteral("/Stillwise.ini"));
    memory.rememberControl("Kamera A @usb-1", V4L2_CID_BRIGHTNESS, 3);
    memory.rememberFormat("Kamera A @usb-1", {V4L2_PIX_FMT_YUYV, 320, 240, {1, 30}});
    camera::SetMessageSink({});
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains(QStringLiteral("lassen sich nicht"))) << told[0].toStdString();
}

TEST(CameraReturn, TheSameCameraResumesWithItsFormatAnotherDoesNotTakeOver)
{
    OwnSettings settings;
    ProgramRun run({namedCamera("/dev/video0", "Kamera A")});
    ASSERT_EQ(run.send(WM_CAP_DRIVER_CONNECT, 0), 1);
    run.pickSize(0);
    run.send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    run.send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(run.send(WM_CAP_SET_PREVIEW, 1), 1);
    ASSERT_TRUE(SpinUntil([] { return Log().entries.size() >= 3; }));

    run.lib.system.unplug(0);
    ASSERT_TRUE(SpinUntil([&] { return !run.lib.messages.empty(); }));
    EXPECT_TRUE(run.lib.messages[0].contains(QStringLiteral("nicht mehr erreichbar")));
    camera::DeviceMonitor& monitor = camera::DeviceMonitor::Instance();

    // Another camera at the same node: it is listed, but does not stream.
    run.lib.system.setCamera(0, namedCamera("/dev/video0", "Kamera X"));
    emit monitor.devicesChanged();
    SpinFor(300);
    CAPSTATUS status;
    run.send(WM_CAP_GET_STATUS, sizeof status, reinterpret_cast<LPARAM>(&status));
    EXPECT_EQ(status.fLiveWindow, 0u);
    EXPECT_EQ(run.lib.system.camera(0).streamOns, 0);

    // The camera itself, fresh from the box: back with its stored format.
    run.lib.system.setCamera(0, namedCamera("/dev/video0", "Kamera A"));
    const std::size_t before = Log().entries.size();
    emit monitor.devicesChanged();
    ASSERT_TRUE(SpinUntil([&] { return Log().entries.size() >= before + 3; }, 2000));
    run.send(WM_CAP_GET_STATUS, sizeof status, reinterpret_cast<LPARAM>(&status));
    EXPECT_EQ(status.fLiveWindow, 1u);
    EXPECT_EQ(status.uiImageWidth, 320u);
    EXPECT_EQ(run.lib.system.camera(0).current.width, 320u);
    EXPECT_EQ(run.lib.messages.size(), 1u) << "no dialog, no new message";
}

// A camera only PipeWire offers: its publisher leaves mid-stream and comes
// back under a new registry id; the picture returns by itself in the size
// the user chose, and its dialog says that it has no controls.
TEST(CameraReturn, APipeWireCameraResumesWithItsFormatWhenItsPublisherReturns)
{
    OwnSettings settings;
    ProgramRun run({});
    const std::uint32_t yuyv = camera::FourCC('Y', 'U', 'Y', 'V');
    const std::vector<camera::PixelFormatChoice> formats = {
        {yuyv, QStringLiteral("YUYV"), {{640, 480, {{1, 30}}}, {320, 240, {{1, 30}}}}}};
    run.lib.pipewire.setNodes({simpwcam::Node(43, "TestCam", "Testbild")});
    run.lib.pipewire.setFormats(43, formats);
    ASSERT_EQ(run.send(WM_CAP_DRIVER_CONNECT, 0), 1) << avicap::LastConnectError().toStdString();

    onModal<camera::SourceDialog>(
        [&] { run.send(WM_CAP_DLG_VIDEOSOURCE); },
        [](camera::SourceDialog& d) {
            QStringList texts;
            for (QLabel* l : d.findChildren<QLabel*>())
                texts << l->text();
            EXPECT_TRUE(texts.contains(QStringLiteral("Die Kamera bietet keine Einstellungen an.")))
                << texts.join(QLatin1Char('|')).toStdString();
        });
    run.pickSize(1); // 320 x 240
    simpwcam::Stream* first = run.lib.pipewire.stream();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->format().width, 320);

    const camera::FormatSetting small{yuyv, 320, 240, {1, 30}};
    const std::vector<std::uint8_t> grey(320 * 240 * 2, 0x80);
    run.send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&RecordFrame));
    run.send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(run.send(WM_CAP_SET_PREVIEW, 1), 1);
    first->feed(grey, small, 0);
    ASSERT_TRUE(SpinUntil([] { return Log().entries.size() >= 3; }));

    first->end(QStringLiteral("Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet."));
    ASSERT_TRUE(SpinUntil([&] { return !run.lib.messages.empty(); }));
    EXPECT_TRUE(run.lib.messages[0].contains(QStringLiteral("nicht mehr erreichbar")));
    run.lib.pipewire.setNodes({});

    // Back, under a new id; the device monitor tells of it as the program's
    // PipeWire session would.
    run.lib.pipewire.setNodes({simpwcam::Node(77, "TestCam", "Testbild")});
    run.lib.pipewire.setFormats(77, formats);
    emit camera::DeviceMonitor::Instance().devicesChanged();
    ASSERT_TRUE(SpinUntil([&] {
        simpwcam::Stream* s = run.lib.pipewire.stream();
        return s != nullptr && s->node().id == 77;
    }));
    simpwcam::Stream* again = run.lib.pipewire.stream();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->format().width, 320) << "the stored size, not the node's first";
    const std::size_t before = Log().entries.size();
    again->feed(grey, small, 0);
    ASSERT_TRUE(SpinUntil([&] { return Log().entries.size() >= before + 3; }, 2000));
    CAPSTATUS status;
    run.send(WM_CAP_GET_STATUS, sizeof status, reinterpret_cast<LPARAM>(&status));
    EXPECT_EQ(status.fLiveWindow, 1u);
    EXPECT_EQ(status.uiImageWidth, 320u);
    EXPECT_EQ(run.lib.messages.size(), 1u) << "no dialog, no new message";
    again->stopFeeding();
}

TEST(DeviceMonitor, ScanningTellsABurstOfChangesOnce)
{
    App();
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("keep")); // to hold on to an old node's inode number
    camera::DeviceMonitor monitor(camera::DeviceMonitor::Mode::Scan, dir.path(), 20);
    int notices = 0;
    QObject::connect(&monitor, &camera::DeviceMonitor::devicesChanged, [&] { ++notices; });
    SpinFor(100);
    EXPECT_EQ(notices, 0);
    for (const char* name : {"video0", "video1", "media0"})
        QFile(dir.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    ASSERT_TRUE(SpinUntil([&] { return notices > 0; }, 2000));
    SpinFor(200);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(monitor.changes(), 1u);
    // Learnt from the scan, and so counted.
    EXPECT_GE(monitor.heard(camera::DeviceMonitor::Source::Scan), 1u);
    EXPECT_EQ(monitor.heard(camera::DeviceMonitor::Source::Udev), 0u);
    QFile::remove(dir.filePath(QStringLiteral("video1")));
    ASSERT_TRUE(SpinUntil([&] { return notices == 2; }, 2000));
    // Gone and back between two looks: the same names, but one made anew.
    QFile::rename(dir.filePath(QStringLiteral("video0")), dir.filePath(QStringLiteral("keep/video0")));
    QFile(dir.filePath(QStringLiteral("video0"))).open(QIODevice::WriteOnly);
    ASSERT_TRUE(SpinUntil([&] { return notices >= 3; }, 2000));
}
