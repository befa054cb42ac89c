// The capture library on a real V4L2 camera that sends MJPEG: a
// v4l2loopback node ("Testquelle", /dev/video6) that ffmpeg feeds with one
// JPEG over and over, inside the machine tests/device/run-in-vm.sh
// --loopback starts. The frames handed over must match libjpeg's decoding
// of that JPEG within one step, and ffmpeg's own decoder's closely; and the
// preview must outlive another program that reads the same node for a
// while. Without the node every test is skipped.

#include "tests/camera/AvicapTestSupport.h"

#include "camera/Notices.h"
#include "camera/v4l2/V4l2Driver.h"
#include "platform/avicap/CaptureApi.h"
#include "platform/avicap/VideoWindow.h"

#include <linux/videodev2.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace {

using avicap_test::App;
using avicap_test::SpinUntil;

constexpr int width = 640, height = 480;
const char* const node = "/dev/video6";

std::vector<std::vector<std::uint8_t>>& frames()
{
    static std::vector<std::vector<std::uint8_t>> all;
    return all;
}

LRESULT keepFrame(HWND, VIDEOHDR* header)
{
    frames().emplace_back(header->lpData, header->lpData + header->dwBufferLength);
    return 1;
}

bool runFfmpeg(const QStringList& arguments)
{
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), QStringList{"-hide_banner", "-loglevel", "error", "-y"} + arguments);
    return ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

std::vector<std::uint8_t> readFile(const QString& path)
{
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The slot whose driver is called `name`, or -1.
int slotNamed(const char* name)
{
    for (int slot = 0; slot < 10; ++slot) {
        char text[80], version[80];
        if (capGetDriverDescriptionA(static_cast<WORD>(slot), text, 80, version, 80) != 0 &&
            std::strcmp(text, name) == 0)
            return slot;
    }
    return -1;
}

class Loopback : public ::testing::Test {
protected:
    // The picture, its references and the writer that feeds it, made once
    // for all tests: v4l2loopback offers a node for output again only after
    // a writer that streamed lets go, and ffmpeg writes without streaming.
    struct Source {
        QProcess feeder;
        std::vector<std::uint8_t> reference;   // ffmpeg's decoder, BGR rows top-down
        std::vector<std::uint8_t> qtReference; // libjpeg's, the same way
    };
    static std::unique_ptr<Source>& source()
    {
        static std::unique_ptr<Source> shared;
        return shared;
    }

    static void TearDownTestSuite()
    {
        if (source() && source()->feeder.state() != QProcess::NotRunning) {
            source()->feeder.kill();
            source()->feeder.waitForFinished(5000);
        }
        source().reset();
    }

    void SetUp() override
    {
        App();
        if (!std::filesystem::exists(node))
            GTEST_SKIP() << "no loopback node " << node;
        if (!source())
            makeSource();
    }

    void makeSource()
    {
        auto made = std::make_unique<Source>();
        // A JPEG without chroma subsampling, so that both decoders see the
        // same samples and differ only by their arithmetic; softened, as a
        // camera's picture is, since hard synthetic edges push the inverse
        // DCT past the sample range, where decoders may clip differently.
        ASSERT_TRUE(
            runFfmpeg({"-f", "lavfi", "-i", QStringLiteral("testsrc2=size=%1x%2,gblur=sigma=2").arg(width).arg(height),
                       "-frames:v", "1", "-pix_fmt", "yuvj444p", "-q:v", "2", "frame.jpg"}));
        // ffmpeg's own JPEG decoder, with the integer inverse DCT the JPEG
        // reference code uses, gives the Y'CbCr samples; the JFIF formula
        // in double precision turns them into colour.
        ASSERT_TRUE(
            runFfmpeg({"-idct", "int", "-i", "frame.jpg", "-pix_fmt", "yuvj444p", "-f", "rawvideo", "reference.yuv"}));
        // And the libjpeg decoder behind Qt's image reader.
        const QImage decoded = QImage(QStringLiteral("frame.jpg")).convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(decoded.size(), QSize(width, height));
        made->qtReference.resize(static_cast<std::size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = decoded.constScanLine(y) + 3 * x;
                std::uint8_t* q = made->qtReference.data() + (static_cast<std::size_t>(y) * width + x) * 3;
                q[0] = p[2], q[1] = p[1], q[2] = p[0];
            }
        const std::vector<std::uint8_t> yuv = readFile("reference.yuv");
        const std::size_t pixels = static_cast<std::size_t>(width) * height;
        ASSERT_EQ(yuv.size(), pixels * 3);
        made->reference.resize(pixels * 3);
        auto code = [](double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
        for (std::size_t i = 0; i < pixels; ++i) {
            const double y = yuv[i], cb = yuv[pixels + i] - 128.0, cr = yuv[2 * pixels + i] - 128.0;
            made->reference[3 * i] = code(y + 1.772 * cb);
            made->reference[3 * i + 1] = code(y - 0.344136 * cb - 0.714136 * cr);
            made->reference[3 * i + 2] = code(y + 1.402 * cr);
        }
        made->feeder.start(QStringLiteral("ffmpeg"),
                           {"-hide_banner", "-loglevel", "error", "-re", "-loop", "1", "-framerate", "10", "-i",
                            "frame.jpg", "-c:v", "copy", "-f", "v4l2", node});
        ASSERT_TRUE(made->feeder.waitForStarted(10000));
        source() = std::move(made);
    }

    void TearDown() override
    {
        parent_.reset(); // takes the capture window with it
        window_ = nullptr;
    }

    LRESULT send(UINT msg, WPARAM w = 0, LPARAM l = 0) { return SendMessageA(window_, msg, w, l); }

    std::unique_ptr<QWidget> parent_;
    HWND window_ = nullptr;
};

} // namespace

TEST_F(Loopback, FindsTheMjpegSourceNegotiatesMjpegAndMatchesAnIndependentDecoder)
{
    // The node offers capture only once ffmpeg writes into it.
    int slot = -1;
    ASSERT_TRUE(SpinUntil([&] { return (slot = slotNamed("Testquelle")) >= 0; }, 90000))
        << "the fed loopback node never showed up as a driver; ffmpeg "
        << source()->feeder.readAllStandardError().toStdString();
    parent_ = std::make_unique<QWidget>();
    window_ = capCreateCaptureWindowA("Video1", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, parent_.get(), 5001);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, static_cast<WPARAM>(slot)), 1) << avicap::LastConnectError().toStdString();
    auto& driver = *static_cast<camera::V4l2Driver*>(static_cast<avicap::VideoWindow*>(window_)->driver());
    EXPECT_EQ(driver.deviceFormat().fmt.pix.pixelformat, static_cast<std::uint32_t>(V4L2_PIX_FMT_MJPEG));
    BITMAPINFOHEADER h;
    send(WM_CAP_GET_VIDEOFORMAT, sizeof h, reinterpret_cast<LPARAM>(&h));
    ASSERT_EQ(h.biWidth, width);
    ASSERT_EQ(h.biHeight, height);
    ASSERT_EQ(h.biBitCount, 24);

    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&keepFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    ASSERT_TRUE(SpinUntil([] { return frames().size() >= 5; }, 60000)) << frames().size() << " frames";
    send(WM_CAP_SET_PREVIEW, 0);

    // Bottom-up rows with the standard stride against the top-down
    // references. libjpeg computes exactly what TurboJPEG does: one step at
    // most. ffmpeg's decoder rounds its inverse DCT its own way, which moves
    // a few samples by up to three steps (measured: 0.26 % beyond one).
    const std::size_t stride = (width * 3 + 3) / 4 * 4;
    struct Difference {
        int worst = 0;
        std::size_t beyondOne = 0;
    };
    auto compare = [&](const std::vector<std::uint8_t>& frame, const std::vector<std::uint8_t>& reference) {
        Difference d;
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* got = frame.data() + (height - 1 - y) * stride;
            const std::uint8_t* want = reference.data() + static_cast<std::size_t>(y) * width * 3;
            for (int i = 0; i < width * 3; ++i) {
                const int diff = std::abs(got[i] - want[i]);
                d.worst = std::max(d.worst, diff);
                d.beyondOne += diff > 1;
            }
        }
        return d;
    };
    for (const auto& frame : frames()) {
        ASSERT_EQ(frame.size(), stride * height);
        const Difference libjpeg = compare(frame, source()->qtReference);
        EXPECT_LE(libjpeg.worst, 1) << libjpeg.beyondOne << " samples differ by more";
        const Difference ffmpeg = compare(frame, source()->reference);
        EXPECT_LE(ffmpeg.worst, 3);
        EXPECT_LT(ffmpeg.beyondOne, source()->reference.size() / 100) << "worst " << ffmpeg.worst;
    }
}

// Another reader of the node asks for buffers as it starts and again as it
// lets go, and v4l2loopback then forgets which buffers we mapped: our next
// dequeue is refused. The preview starts its stream anew and goes on.
TEST_F(Loopback, ThePreviewOutlivesAnotherReaderOfTheSameNode)
{
    int slot = -1;
    ASSERT_TRUE(SpinUntil([&] { return (slot = slotNamed("Testquelle")) >= 0; }, 90000))
        << "the fed loopback node never showed up as a driver; ffmpeg "
        << source()->feeder.readAllStandardError().toStdString();
    std::vector<QString> messages;
    camera::SetMessageSink([&messages](const QString& text) { messages.push_back(text); });
    parent_ = std::make_unique<QWidget>();
    window_ = capCreateCaptureWindowA("Video1", WS_CHILD | WS_VISIBLE, 0, 0, 1, 1, parent_.get(), 5001);
    ASSERT_NE(window_, nullptr);
    ASSERT_EQ(send(WM_CAP_DRIVER_CONNECT, static_cast<WPARAM>(slot)), 1) << avicap::LastConnectError().toStdString();
    frames().clear();
    send(WM_CAP_SET_CALLBACK_FRAME, 0, reinterpret_cast<LPARAM>(&keepFrame));
    send(WM_CAP_SET_PREVIEWRATE, 1);
    ASSERT_EQ(send(WM_CAP_SET_PREVIEW, 1), 1);
    ASSERT_TRUE(SpinUntil([] { return frames().size() >= 3; }, 60000)) << frames().size() << " frames";

    for (int round = 0; round < 2; ++round) {
        QProcess reader;
        reader.start(QStringLiteral("v4l2-ctl"),
                     {"-d", node, "--stream-mmap", "--stream-count=5", "--stream-to=/dev/null"});
        ASSERT_TRUE(reader.waitForStarted(10000));
        ASSERT_TRUE(SpinUntil([&reader] { return reader.state() == QProcess::NotRunning; }, 120000));
        EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
        const std::size_t before = frames().size();
        ASSERT_TRUE(SpinUntil([&] { return frames().size() >= before + 5 || !messages.empty(); }, 60000))
            << "round " << round << ": " << frames().size() - before << " frames after the reader left";
        EXPECT_TRUE(messages.empty()) << messages.front().toStdString();
    }
    EXPECT_EQ(send(WM_CAP_SET_PREVIEW, 0), 1);
    camera::SetMessageSink({});
}
