// Cameras that PipeWire offers, read by the real session on a real PipeWire
// daemon with WirePlumber: a camera another program publishes (GStreamer's
// pipewiresink), and vivid as WirePlumber's V4L2 monitor offers it while
// another reader holds it. tests/device/run-in-vm.sh --pipewire starts the
// daemon in a virtual machine (through pipewire-session.sh, which also works
// on a machine without a session). The cases run in order and share the
// daemon; the last one stops it.

#include "camera/Notices.h"
#include "camera/pipewire/PipeWireCameras.h"
#include "camera/pipewire/PipeWireDriver.h"
#include "camera/v4l2/V4l2System.h"
#include "output/PipeWireCamera.h"
#include "platform/avicap/DriverCatalog.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using camera::PipeWireNode;
using camera::PipeWireState;

namespace {

constexpr char CameraGone[] = "Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet.";

// The published camera's one colour, and its size.
constexpr int Red = 0x30, Green = 0x80, Blue = 0xc0;
constexpr int Width = 320, Height = 240;

// Waits up to `limit` (generous: the VM's processor is emulated) for `done`.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// A program the test starts and ends; ended with it at the latest.
class Helper {
public:
    explicit Helper(const QStringList& args)
    {
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(QStringLiteral("gst-launch-1.0"), args);
        started_ = process_.waitForStarted(10000);
    }
    ~Helper() { stop(SIGKILL); }
    bool started() const { return started_; }
    // Without an event loop QProcess learns of an end only when asked to wait.
    bool running() { return !process_.waitForFinished(0) && process_.state() == QProcess::Running; }
    void stop(int signal)
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(process_.processId()), signal);
        process_.waitForFinished(10000);
    }

private:
    QProcess process_;
    bool started_ = false;
};

// Frames and the end as a stream tells them, on PipeWire's thread.
class Receiver final : public camera::PipeWireReceiver {
public:
    void frame(const camera::PipeWireFrame& frame) override
    {
        std::lock_guard lock(mutex_);
        ++frames_;
        last_.assign(frame.data, frame.data + frame.size);
        lastFormat_ = frame.format;
        lastStride_ = frame.stride;
    }
    void ended() override { ++ended_; }

    int frames()
    {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    std::vector<std::uint8_t> last(camera::FormatSetting& format, int& stride)
    {
        std::lock_guard lock(mutex_);
        format = lastFormat_;
        stride = lastStride_;
        return last_;
    }
    int ends() const { return ended_; }

private:
    std::mutex mutex_;
    int frames_ = 0;
    std::vector<std::uint8_t> last_;
    camera::FormatSetting lastFormat_;
    int lastStride_ = 0;
    std::atomic<int> ended_{0};
};

std::optional<PipeWireNode> Find(const std::function<bool(const PipeWireNode&)>& which)
{
    for (const PipeWireNode& node : camera::SessionCameras().nodes())
        if (which(node))
            return node;
    return std::nullopt;
}

std::optional<PipeWireNode> WaitForNode(const std::function<bool(const PipeWireNode&)>& which,
                                        std::chrono::milliseconds limit = 30s)
{
    std::optional<PipeWireNode> node;
    WaitFor([&] { return (node = Find(which)).has_value(); }, limit);
    return node;
}

bool IsTestCamera(const PipeWireNode& node)
{
    return node.name == "stillwise-test-camera";
}

// A camera a program publishes, of one colour.
std::unique_ptr<Helper> Publish()
{
    // One a test killed before may still be listed for a moment; a stream
    // aimed at it would find it gone.
    WaitFor([] { return !Find(IsTestCamera).has_value(); });
    return std::make_unique<Helper>(
        QStringList{QStringLiteral("-q"), QStringLiteral("videotestsrc"), QStringLiteral("is-live=true"),
                    QStringLiteral("pattern=solid-color"),
                    QStringLiteral("foreground-color=0x%1").arg(0xff000000u | Red << 16 | Green << 8 | Blue, 8, 16),
                    QStringLiteral("!"),
                    QStringLiteral("video/x-raw,format=YUY2,width=%1,height=%2,framerate=30/1").arg(Width).arg(Height),
                    QStringLiteral("!"), QStringLiteral("pipewiresink"), QStringLiteral("mode=provide"),
                    QStringLiteral("client-name=Testkamera"),
                    QStringLiteral("stream-properties=props,media.class=Video/Source,media.role=Camera,"
                                   "node.description=Testkamera,node.name=stillwise-test-camera")});
}

bool IsVivid(const PipeWireNode& node)
{
    return node.v4l2Path == "/dev/video0";
}

// Limited-range BT.601 in double precision.
void Reference(double r, double g, double b, double& y, double& cb, double& cr)
{
    const double luma = 0.299 * r + 0.587 * g + 0.114 * b;
    y = 16.0 + 219.0 * luma / 255.0;
    cb = 128.0 + 224.0 * (b - luma) / (1.772 * 255.0);
    cr = 128.0 + 224.0 * (r - luma) / (1.402 * 255.0);
}

// The largest distance of a YUY2 frame of the published colour from the
// reference, over every pixel.
int WorstYuy2(const std::vector<std::uint8_t>& frame, int stride)
{
    double y, cb, cr;
    Reference(Red, Green, Blue, y, cb, cr);
    const int rowBytes = stride > 0 ? stride : Width * 2;
    int worst = 0;
    for (int row = 0; row < Height; ++row)
        for (int x = 0; x < Width * 2; x += 4) {
            const std::uint8_t* q = frame.data() + static_cast<std::size_t>(row) * rowBytes + x;
            for (const auto& [got, want] : {std::pair{q[0], y}, {q[2], y}, {q[1], cb}, {q[3], cr}})
                worst = std::max(worst, static_cast<int>(std::abs(got - std::round(want))));
        }
    return worst;
}

// The links that read node `id`, as pw-dump shows them: their states.
QStringList LinksFrom(std::uint32_t id)
{
    QProcess dump;
    dump.start(QStringLiteral("pw-dump"), {});
    if (!dump.waitForFinished(30000))
        return {};
    QStringList states;
    for (const QJsonValue& o : QJsonDocument::fromJson(dump.readAllStandardOutput()).array()) {
        const QJsonObject info = o.toObject().value(QStringLiteral("info")).toObject();
        if (o.toObject().value(QStringLiteral("type")).toString() == QStringLiteral("PipeWire:Interface:Link") &&
            info.value(QStringLiteral("output-node-id")).toInt() == static_cast<int>(id))
            states << info.value(QStringLiteral("state")).toString();
    }
    return states;
}

int ReadPid(const char* name)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr)
        return 0;
    std::ifstream in(std::string(runtime) + "/" + name);
    int pid = 0;
    in >> pid;
    return pid;
}

// Takes and counts the frames a capture driver announces, as a capture
// window does (a driver tells of the next frame once this one is taken).
struct FrameCounter final : camera::FrameSink {
    explicit FrameCounter(camera::Driver& driver) : driver(driver) {}
    void frameReady() override
    {
        if (driver.takeFrame(last))
            ++frames;
    }
    void streamFailed(const QString& message) override { failure = message; }
    camera::Driver& driver;
    camera::Frame last;
    int frames = 0;
    QString failure;
};

class PipeWireSource : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Never skipped: this program runs only where the session script
        // started PipeWire, and a daemon that is not there is a failure.
        ASSERT_TRUE(WaitFor([] { return camera::SessionCameras().available(); }, 10s))
            << "no PipeWire daemon (run through run-in-vm.sh --pipewire or pipewire-session.sh)";
    }
};

} // namespace

TEST_F(PipeWireSource, APublishedCameraIsListedWithItsFormatsAndStreamsItsColour)
{
    const auto publisher = Publish();
    ASSERT_TRUE(publisher->started());
    const std::optional<PipeWireNode> node = WaitForNode(IsTestCamera);
    ASSERT_TRUE(node.has_value()) << "the published camera is not listed";
    EXPECT_EQ(node->description, "Testkamera");
    EXPECT_TRUE(node->v4l2Path.empty());
    EXPECT_FALSE(node->ours);
    EXPECT_EQ(camera::PipeWireIdentity(*node), "pipewire:stillwise-test-camera");

    const std::vector<camera::PixelFormatChoice> formats = camera::SessionCameras().formats(*node);
    ASSERT_EQ(formats.size(), 1u);
    EXPECT_EQ(formats[0].fourcc, camera::FourCC('Y', 'U', 'Y', 'V'));
    ASSERT_EQ(formats[0].sizes.size(), 1u);
    EXPECT_EQ(formats[0].sizes[0].width, Width);
    EXPECT_EQ(formats[0].sizes[0].height, Height);
    EXPECT_EQ(formats[0].sizes[0].intervals, (std::vector<camera::FrameInterval>{{1, 30}}));

    Receiver receiver;
    QString error;
    auto stream = camera::SessionCameras().open(*node, {}, receiver, error);
    ASSERT_TRUE(stream) << error.toStdString();
    ASSERT_TRUE(WaitFor([&] { return receiver.frames() >= 10; })) << "state " << static_cast<int>(stream->state());
    EXPECT_EQ(stream->state(), PipeWireState::Streaming);
    const camera::FormatSetting agreed{camera::FourCC('Y', 'U', 'Y', 'V'), Width, Height, {1, 30}};
    EXPECT_EQ(stream->format(), agreed);
    camera::FormatSetting format;
    int stride = 0;
    const std::vector<std::uint8_t> frame = receiver.last(format, stride);
    EXPECT_EQ(format, agreed);
    ASSERT_GE(frame.size(), static_cast<std::size_t>(Width * Height * 2));
    EXPECT_LE(WorstYuy2(frame, stride), 1);
    EXPECT_EQ(receiver.ends(), 0);

    // A new link to this publisher is where it falls silent by itself
    // (DISABLED_TwentyRelinksOnAPublishedCamera); the same format asked for
    // by name is checked on vivid below.
    EXPECT_EQ(stream->format(), agreed);
    EXPECT_TRUE(stream->controls().empty()); // a published camera has none

    stream.reset();
    EXPECT_EQ(receiver.ends(), 0); // closing is no end to tell
}

namespace {

// A user clicking quickly through the format dialog: `formats` applied one
// after the other, twenty times in all, each after one frame of the last.
// Every change must bring frames again, and soon, and never keep the GUI
// thread waiting longer than the agreement takes. Where `mayFallSilent`,
// the publisher is known to stall by itself: then a change may instead end
// the preview with the driver's message, after it built the link anew once;
// what it must never do is leave the preview silent without a word. Says
// whether all twenty changes brought frames.
bool TwentyFormatChanges(camera::Driver& driver, const std::vector<camera::FormatSetting>& formats,
                         bool mayFallSilent = false)
{
    auto& pw = static_cast<camera::PipeWireDriver&>(driver);
    FrameCounter sink(driver);
    EXPECT_TRUE(driver.start(&sink));
    auto framesWithin = [&](int count, std::chrono::milliseconds limit) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (sink.frames < count && sink.failure.isEmpty() && std::chrono::steady_clock::now() < until)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return sink.frames >= count;
    };
    if (!framesWithin(1, 30s)) {
        ADD_FAILURE() << "no first frame: " << sink.failure.toStdString();
        return false;
    }
    std::chrono::milliseconds slowest{0};
    for (int change = 1; change <= 20; ++change) {
        const camera::FormatSetting& format = formats[static_cast<std::size_t>(change) % formats.size()];
        const auto t0 = std::chrono::steady_clock::now();
        if (!driver.formats()->apply(format)) {
            ADD_FAILURE() << "change " << change << " not applied";
            return false;
        }
        EXPECT_LE(std::chrono::steady_clock::now() - t0, camera::PipeWireDriver::AgreementWait + 500ms);
        const int before = sink.frames;
        // The driver's watch rebuilds a silent link after a few seconds, and
        // then gives up; the limit leaves room for both.
        const bool frames = framesWithin(before + 1, 15s);
        if (!frames && mayFallSilent && !sink.failure.isEmpty()) {
            EXPECT_TRUE(sink.failure.contains(QStringLiteral("seit dem Wechsel des Bildformats keine Bilder mehr")))
                << sink.failure.toStdString();
            EXPECT_GE(pw.stallRebuilds(), 1);
            EXPECT_FALSE(driver.streaming());
            std::printf("the publisher fell silent after change %d; the link was built anew once, then the "
                        "preview ended with the message\n",
                        change);
            return false;
        }
        if (!frames) {
            ADD_FAILURE() << "no frame after change " << change << " (links rebuilt before: " << pw.stallRebuilds()
                          << "): " << sink.failure.toStdString();
            return false;
        }
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(driver.format().data());
        EXPECT_EQ(header->biWidth, format.width);
        EXPECT_EQ(sink.last.bytes.size(), static_cast<std::size_t>((format.width * 3 + 3) / 4 * 4) *
                                              static_cast<std::size_t>(format.height));
        slowest = std::max(slowest,
                           std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0));
    }
    std::printf("20 format changes, the slowest until its first frame: %lld ms, links rebuilt: %d\n",
                static_cast<long long>(slowest.count()), pw.stallRebuilds());
    EXPECT_TRUE(sink.failure.isEmpty()) << sink.failure.toStdString();
    driver.stop();
    return true;
}

std::unique_ptr<camera::Driver> OpenDriver(const PipeWireNode& node)
{
    QString error;
    std::unique_ptr<camera::Driver> driver = camera::PipeWireDriver::open(camera::SessionCameras(), node, error);
    EXPECT_TRUE(driver) << error.toStdString();
    return driver;
}

} // namespace

// A camera GStreamer publishes: it offers one format, so the user confirms
// the same one again and again, which keeps the link. pipewiresink may still
// fall silent by itself (it waits for a buffer in a cycle only it could
// start; a reader that is late under load brings it there, and linking anew
// each time does in most runs of twenty, as tests/device/format-stall.sh
// shows); then the driver must say so.
TEST_F(PipeWireSource, TwentyFormatChangesInARowOnAPublishedCameraEachBringFrames)
{
    const auto publisher = Publish();
    ASSERT_TRUE(publisher->started());
    // The first GStreamer program in a fresh machine builds its plugin
    // registry first: slow under the emulated processor, the more so when
    // it runs alone (--gtest_filter).
    const std::optional<PipeWireNode> node = WaitForNode(IsTestCamera, 120s);
    ASSERT_TRUE(node.has_value()) << "the published camera is not listed";
    const auto driver = OpenDriver(*node);
    ASSERT_TRUE(driver);
    const camera::FormatSetting format = driver->formats()->current();
    ASSERT_EQ(format.fourcc, camera::FourCC('Y', 'U', 'Y', 'V'));
    TwentyFormatChanges(*driver, {format}, true);
}

// The publisher's own fault, kept out of the suite as it fails in most
// runs: the stream from a camera GStreamer publishes linked anew twenty
// times in a row, each after one frame. tests/device/format-stall.sh runs
// it, with PipeWire's and GStreamer's logs.
TEST_F(PipeWireSource, DISABLED_TwentyRelinksOnAPublishedCamera)
{
    const auto publisher = Publish();
    const std::optional<PipeWireNode> node = WaitForNode(IsTestCamera, 120s);
    ASSERT_TRUE(node.has_value()) << "the published camera is not listed";
    Receiver receiver;
    QString error;
    auto stream = camera::SessionCameras().open(*node, {}, receiver, error);
    ASSERT_TRUE(stream) << error.toStdString();
    ASSERT_TRUE(WaitFor([&] { return receiver.frames() >= 1 && stream->format().fourcc != 0; }));
    const camera::FormatSetting format = stream->format();
    for (int relink = 1; relink <= 20; ++relink) {
        const int before = receiver.frames();
        const auto t0 = std::chrono::steady_clock::now();
        ASSERT_TRUE(stream->setFormat(format));
        ASSERT_TRUE(WaitFor([&] { return receiver.frames() > before; }, 15s))
            << "no frame after relink " << relink << ", stream state " << static_cast<int>(stream->state());
        std::printf("relink %d: first frame after %lld ms\n", relink,
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                               std::chrono::steady_clock::now() - t0)
                                               .count()));
    }
}

// vivid through WirePlumber's V4L2 node, between two formats: each change
// links anew.
TEST_F(PipeWireSource, TwentyFormatChangesInARowOnVividThroughPipeWireEachBringFrames)
{
    const std::optional<PipeWireNode> node = WaitForNode(IsVivid);
    ASSERT_TRUE(node.has_value()) << "WirePlumber offers no node for /dev/video0";
    const auto driver = OpenDriver(*node);
    ASSERT_TRUE(driver);
    // Its smallest size, as the node lists it, in YUYV and in NV12.
    std::vector<camera::FormatSetting> two;
    for (const camera::PixelFormatChoice& choice : driver->formats()->list()) {
        if ((choice.fourcc == camera::FourCC('Y', 'U', 'Y', 'V') || choice.fourcc == camera::FourCC('N', 'V', '1', '2')) &&
            !choice.sizes.empty()) {
            const camera::FrameSizeChoice& size = *std::min_element(
                choice.sizes.begin(), choice.sizes.end(),
                [](const auto& a, const auto& b) { return a.width * a.height < b.width * b.height; });
            two.push_back({choice.fourcc, size.width, size.height,
                           size.intervals.empty() ? camera::FrameInterval{} : size.intervals.front()});
        }
    }
    ASSERT_EQ(two.size(), 2u);
    TwentyFormatChanges(*driver, two);
}

TEST_F(PipeWireSource, TheProgramsOwnCameraIsListedAsOurs)
{
    output::PipeWireCamera own(output::SessionPipeWire());
    ASSERT_TRUE(own.start()) << own.error().toStdString();
    std::vector<std::uint8_t> bits(64 * 3 * 48, 0x80);
    const output::BgrPicture picture{bits.data(), 64 * 3, 64, 48};
    std::optional<PipeWireNode> node;
    ASSERT_TRUE(WaitFor([&] {
        own.write(picture);
        return (node = Find([](const PipeWireNode& n) { return n.name == camera::OwnNodeName; })).has_value();
    }));
    EXPECT_TRUE(node->ours);
    EXPECT_EQ(node->description, "Stillwise");
}

TEST_F(PipeWireSource, VividHeldByAnotherReaderIsListedByItsDeviceAndReadAsWell)
{
    const std::optional<PipeWireNode> node = WaitForNode(IsVivid);
    ASSERT_TRUE(node.has_value()) << "WirePlumber offers no node for /dev/video0";
    EXPECT_FALSE(node->description.empty());
    const std::vector<camera::PixelFormatChoice> formats = camera::SessionCameras().formats(*node);
    ASSERT_FALSE(formats.empty());
    for (const camera::PixelFormatChoice& f : formats)
        EXPECT_FALSE(f.sizes.empty()) << f.description.toStdString();

    // Alone, in one format and then in another the node listed.
    const auto nv12 = std::find_if(formats.begin(), formats.end(), [](const camera::PixelFormatChoice& f) {
        return f.fourcc == camera::FourCC('N', 'V', '1', '2');
    });
    ASSERT_NE(nv12, formats.end());
    const camera::FormatSetting small{nv12->fourcc, nv12->sizes.back().width, nv12->sizes.back().height, {}};
    {
        Receiver alone;
        QString error;
        auto stream = camera::SessionCameras().open(*node, {}, alone, error);
        ASSERT_TRUE(stream) << error.toStdString();
        ASSERT_TRUE(WaitFor([&] { return alone.frames() >= 5; })) << "state " << static_cast<int>(stream->state());
        ASSERT_TRUE(stream->setFormat(small));
        ASSERT_TRUE(WaitFor([&] {
            const camera::FormatSetting f = stream->format();
            return f.fourcc == small.fourcc && f.width == small.width && f.height == small.height;
        }));
        const int before = alone.frames();
        ASSERT_TRUE(WaitFor([&] { return alone.frames() >= before + 5; }));
        camera::FormatSetting format;
        int stride = 0;
        const std::vector<std::uint8_t> frame = alone.last(format, stride);
        EXPECT_EQ(format.fourcc, small.fourcc);
        EXPECT_GE(frame.size(), static_cast<std::size_t>(small.width * small.height * 3 / 2));
        // The same format asked for by name streams on, on a new link.
        ASSERT_TRUE(stream->setFormat(small));
        const int relinked = alone.frames();
        EXPECT_TRUE(WaitFor([&] { return alone.frames() >= relinked + 5; }));
        EXPECT_EQ(stream->format().fourcc, small.fourcc);
        EXPECT_EQ(alone.ends(), 0);
    }

    // Another program reads vivid through PipeWire first.
    Helper other({QStringLiteral("-q"), QStringLiteral("pipewiresrc"), QStringLiteral("path=%1").arg(node->id),
                  QStringLiteral("!"), QStringLiteral("video/x-raw,format=YUY2"), QStringLiteral("!"),
                  QStringLiteral("fakesink")});
    ASSERT_TRUE(other.started());
    ASSERT_TRUE(
        WaitFor([&] { return LinksFrom(node->id).contains(QStringLiteral("active")) || !other.running(); }, 120s));
    ASSERT_TRUE(other.running()) << "the other reader did not get vivid";

    Receiver receiver;
    QString error;
    auto stream = camera::SessionCameras().open(*node, {}, receiver, error);
    ASSERT_TRUE(stream) << error.toStdString();
    ASSERT_TRUE(WaitFor([&] { return receiver.frames() >= 5; }))
        << "state " << static_cast<int>(stream->state()) << ", links " << LinksFrom(node->id).join(u' ').toStdString();
    EXPECT_EQ(LinksFrom(node->id), (QStringList{QStringLiteral("active"), QStringLiteral("active")}));
    EXPECT_TRUE(other.running());
    camera::FormatSetting last;
    int stride = 0;
    const std::vector<std::uint8_t> frame = receiver.last(last, stride);
    EXPECT_GE(frame.size(), static_cast<std::size_t>(std::max(stride, last.width * 2) * last.height));
    // The node streams in the format the first reader chose.
    const camera::FormatSetting format = stream->format();
    EXPECT_EQ(format.fourcc, camera::FourCC('Y', 'U', 'Y', 'V'));
    EXPECT_GT(format.width, 0);

    // vivid's controls, as on a V4L2 camera; one set through PipeWire
    // reaches the device.
    const std::vector<camera::ControlInfo> controls = stream->controls();
    auto brightness = std::find_if(controls.begin(), controls.end(),
                                   [](const camera::ControlInfo& c) { return c.name == QStringLiteral("Helligkeit"); });
    ASSERT_NE(brightness, controls.end());
    const int wanted = brightness->minimum + (brightness->maximum - brightness->minimum) / 3;
    ASSERT_TRUE(stream->setControl(brightness->id, wanted));
    QProcess ctl;
    ctl.start(QStringLiteral("v4l2-ctl"),
              {QStringLiteral("-d"), QStringLiteral("/dev/video0"), QStringLiteral("--get-ctrl=brightness")});
    ASSERT_TRUE(ctl.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(ctl.readAllStandardOutput()).trimmed(), QStringLiteral("brightness: %1").arg(wanted));
    for (const camera::ControlInfo& c : stream->controls()) {
        if (c.id == brightness->id) {
            EXPECT_EQ(c.value, wanted);
        }
    }
    EXPECT_FALSE(stream->setControl(brightness->id, brightness->maximum + 1));
    EXPECT_EQ(receiver.ends(), 0);
    stream.reset();

    // What the user gets from "Treiber wechseln...": vivid is listed once,
    // by its node; as the other reader streams from it, its V4L2 driver is
    // refused the stream, and it is read through PipeWire instead, with a
    // notice, beside the other reader.
    QStringList told;
    camera::SetMessageSink([&](const QString& text) { told << text; });
    const avicap::DriverCatalog catalog(camera::LinuxV4l2System(), 1, &camera::SessionCameras());
    const std::vector<avicap::DriverSlot> listed = catalog.drivers();
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(),
                            [](const avicap::DriverSlot& s) {
                                return s.node == "/dev/video0" || (s.pipewire && s.pipewire->v4l2Path == "/dev/video0");
                            }),
              1);
    const auto vivid = std::find_if(listed.begin(), listed.end(),
                                    [](const avicap::DriverSlot& s) { return s.node == "/dev/video0"; });
    ASSERT_NE(vivid, listed.end());
    ASSERT_TRUE(vivid->pipewire);
    std::unique_ptr<camera::Driver> driver = catalog.open(static_cast<int>(vivid - listed.begin()));
    ASSERT_TRUE(driver) << avicap::LastConnectError().toStdString();
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].contains(QStringLiteral("über PipeWire gemeinsam"))) << told[0].toStdString();
    FrameCounter sink(*driver);
    ASSERT_TRUE(driver->start(&sink));
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (sink.frames < 5 && std::chrono::steady_clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_GE(sink.frames, 5) << sink.failure.toStdString();
    const camera::Frame& shown = sink.last;
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(driver->format().data());
    EXPECT_EQ(shown.bytes.size(),
              static_cast<std::size_t>((header->biWidth * 3 + 3) / 4 * 4) * static_cast<std::size_t>(header->biHeight));
    EXPECT_TRUE(other.running());
    driver->stop();
    camera::SetMessageSink({});
}

TEST_F(PipeWireSource, APublisherLeavingEndsTheStreamOnceAndItsReturnIsSeen)
{
    std::atomic<int> changes{0};
    camera::SessionCameras().onChange([&] { ++changes; });
    auto publisher = Publish();
    const std::optional<PipeWireNode> node = WaitForNode(IsTestCamera);
    ASSERT_TRUE(node.has_value());
    Receiver receiver;
    QString error;
    auto stream = camera::SessionCameras().open(*node, {}, receiver, error);
    ASSERT_TRUE(stream) << error.toStdString();
    ASSERT_TRUE(WaitFor([&] { return receiver.frames() >= 5; }));

    const int seen = changes;
    publisher->stop(SIGKILL);
    ASSERT_TRUE(WaitFor([&] { return stream->state() == PipeWireState::Failed; }));
    EXPECT_EQ(stream->failure(), QString::fromUtf8(CameraGone));
    EXPECT_TRUE(WaitFor([&] { return receiver.ends() >= 1; }));
    EXPECT_TRUE(WaitFor([&] { return changes > seen; }));
    EXPECT_FALSE(Find(IsTestCamera).has_value());
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(receiver.ends(), 1);
    EXPECT_FALSE(stream->setFormat({camera::FourCC('Y', 'U', 'Y', 'V'), Width, Height, {}}));
    EXPECT_EQ(receiver.ends(), 1);

    // It comes back under the same name, and can be read again.
    const int gone = changes;
    publisher = Publish();
    const std::optional<PipeWireNode> back = WaitForNode(IsTestCamera);
    ASSERT_TRUE(back.has_value());
    EXPECT_GT(changes, gone);
    EXPECT_EQ(back->name, node->name);
    Receiver again;
    auto second = camera::SessionCameras().open(*back, {}, again, error);
    ASSERT_TRUE(second) << error.toStdString();
    EXPECT_TRUE(WaitFor([&] { return again.frames() >= 5; }));
    // Opening by the node as it was before finds it by its name.
    Receiver old;
    auto third = camera::SessionCameras().open(*node, {}, old, error);
    ASSERT_TRUE(third) << error.toStdString();
    EXPECT_TRUE(WaitFor([&] { return old.frames() >= 5; }));
    camera::SessionCameras().onChange({});
}

TEST_F(PipeWireSource, TheDaemonStoppingMidStreamFailsTheStreamWithAMessageAndItIsFoundAgain)
{
    const auto publisher = Publish();
    const std::optional<PipeWireNode> node = WaitForNode(IsTestCamera);
    ASSERT_TRUE(node.has_value());
    Receiver receiver;
    QString error;
    auto stream = camera::SessionCameras().open(*node, {}, receiver, error);
    ASSERT_TRUE(stream) << error.toStdString();
    ASSERT_TRUE(WaitFor([&] { return receiver.frames() >= 5; })) << stream->failure().toStdString();

    const int pid = ReadPid("pipewire.pid");
    ASSERT_GT(pid, 1);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(WaitFor([&] { return stream->state() == PipeWireState::Failed; }));
    EXPECT_TRUE(stream->failure().startsWith(QStringLiteral("PipeWire wurde beendet")))
        << stream->failure().toStdString();
    EXPECT_TRUE(WaitFor([&] { return receiver.ends() >= 1; }));
    EXPECT_TRUE(WaitFor([] { return !camera::SessionCameras().available(); }));
    EXPECT_TRUE(camera::SessionCameras().nodes().empty());
    // Without a daemon nothing opens, and nothing waits long for it.
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(camera::SessionCameras().open(*node, {}, receiver, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(receiver.ends(), 1);
    stream.reset();

    // The daemon back: the session finds it, and the publisher's camera
    // (the publisher ended with the daemon; a new one publishes).
    const char* restart = std::getenv("STILLWISE_PIPEWIRE_RESTART");
    ASSERT_NE(restart, nullptr);
    ASSERT_EQ(std::system(restart), 0);
    EXPECT_TRUE(WaitFor([] { return camera::SessionCameras().available(); }));
    const auto again = Publish();
    EXPECT_TRUE(WaitForNode(IsTestCamera).has_value());
}

// Last, as it changes the way to the daemon for good.
TEST_F(PipeWireSource, ADescriptorHandedOverIsTheWayToTheDaemonFromThenOn)
{
    const auto publisher = Publish();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    ASSERT_NE(runtime, nullptr);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s/pipewire-0", runtime);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    // The socket by name leads nowhere now: only a descriptor does.
    ::setenv("PIPEWIRE_REMOTE", "/nonexistent/pipewire-0", 1);

    // One whose other end closes: from then on the session is cut off,
    // though it was connected a moment ago.
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
    camera::UsePipeWireRemote(pair[0]);
    ::close(pair[1]);
    EXPECT_TRUE(WaitFor([] { return !camera::SessionCameras().available(); }));
    EXPECT_TRUE(camera::SessionCameras().nodes().empty());

    // One to the daemon: it is back.
    camera::UsePipeWireRemote(fd);
    EXPECT_TRUE(WaitFor([] { return camera::SessionCameras().available(); }));
    const std::optional<PipeWireNode> node = WaitForNode(IsTestCamera);
    ASSERT_TRUE(node.has_value());
    Receiver receiver;
    QString error;
    auto stream = camera::SessionCameras().open(*node, {}, receiver, error);
    ASSERT_TRUE(stream) << error.toStdString();
    EXPECT_TRUE(WaitFor([&] { return receiver.frames() >= 5; }));
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
