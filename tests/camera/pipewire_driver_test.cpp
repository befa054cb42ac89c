// The PipeWire capture driver against a simulated registry: frames that
// arrive on a loop thread and their colours, the frames it must drop, a
// format the node changes under it, the end of a stream, grabs, the
// models behind the dialogs and why a node cannot be opened.

#include "tests/camera/AvicapTestSupport.h"
#include "tests/camera/SimulatedPipeWire.h"

#include "camera/BgrFormat.h"
#include "camera/ControlNames.h"
#include "camera/pipewire/PipeWireDriver.h"
#include "camera/pipewire/PipeWireFrameConverter.h"

#include <linux/videodev2.h>

#include <QStringList>
#include <QThread>

#include <cstring>
#include <random>
#include <stdexcept>
#include <thread>

using namespace avicap_test;
using camera::FormatSetting;
using camera::FourCC;

namespace {

constexpr std::uint32_t Yuyv = FourCC('Y', 'U', 'Y', 'V');
constexpr std::uint32_t I420 = FourCC('Y', 'U', '1', '2');
constexpr std::uint32_t Mjpg = FourCC('M', 'J', 'P', 'G');
constexpr std::uint32_t Rgb565 = FourCC('R', 'G', 'B', 'P');
constexpr camera::FrameInterval At30{1, 30};

struct Rgb {
    int r, g, b;
};

// Random YCbCr codes as full planes, the chroma kept for each 2 x 1 (4:2:2)
// or 2 x 2 (4:2:0) block of pixels, and the frames a camera sends of them.
struct YuvPicture {
    int width, height, chromaWidth, chromaHeight;
    bool is420;
    std::vector<std::uint8_t> y, u, v;

    YuvPicture(int w, int h, bool fourTwoZero, unsigned seed)
        : width(w), height(h), chromaWidth((w + 1) / 2), chromaHeight(fourTwoZero ? (h + 1) / 2 : h), is420(fourTwoZero)
    {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> luma(16, 235), chroma(16, 240);
        for (int i = 0; i < w * h; ++i)
            y.push_back(static_cast<std::uint8_t>(luma(random)));
        for (int i = 0; i < chromaWidth * chromaHeight; ++i) {
            u.push_back(static_cast<std::uint8_t>(chroma(random)));
            v.push_back(static_cast<std::uint8_t>(chroma(random)));
        }
    }

    // Limited-range BT.601, what a node that names no colours means.
    Rgb expected(int x, int row) const
    {
        const std::size_t c = static_cast<std::size_t>(is420 ? row / 2 : row) * chromaWidth + x / 2;
        Rgb p;
        simv4l2::FromYcbcr(simv4l2::Bt601(false), y[static_cast<std::size_t>(row) * width + x], u[c], v[c], p.r, p.g,
                           p.b);
        return p;
    }

    std::vector<std::uint8_t> yuyv(int stride) const
    {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(stride) * height, 0xee);
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; x += 2) {
                std::uint8_t* p = out.data() + static_cast<std::size_t>(row) * stride + x * 2;
                const std::size_t c = static_cast<std::size_t>(row) * chromaWidth + x / 2;
                p[0] = y[static_cast<std::size_t>(row) * width + x];
                p[1] = u[c];
                p[2] = y[static_cast<std::size_t>(row) * width + std::min(x + 1, width - 1)];
                p[3] = v[c];
            }
        return out;
    }

    // Three planes one after the other; the chroma rows half the luma
    // stride, rounded up.
    std::vector<std::uint8_t> i420(int stride) const
    {
        const int chromaStride = std::max((stride + 1) / 2, chromaWidth);
        std::vector<std::uint8_t> out;
        for (int row = 0; row < height; ++row) {
            out.insert(out.end(), y.begin() + row * width, y.begin() + (row + 1) * width);
            out.insert(out.end(), static_cast<std::size_t>(stride - width), 0xee);
        }
        for (const std::vector<std::uint8_t>* plane : {&u, &v})
            for (int row = 0; row < chromaHeight; ++row) {
                out.insert(out.end(), plane->begin() + row * chromaWidth, plane->begin() + (row + 1) * chromaWidth);
                out.insert(out.end(), static_cast<std::size_t>(chromaStride - chromaWidth), 0xee);
            }
        return out;
    }

    // The largest difference of any channel of any pixel of a bottom-up BGR
    // frame from the exact colours.
    int worstOff(const std::vector<std::uint8_t>& bgr) const
    {
        const std::size_t stride = camera::BgrImageBytes(width, 1);
        int worst = 0;
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; ++x) {
                const Rgb want = expected(x, row);
                const std::uint8_t* p = bgr.data() + stride * (height - 1 - row) + 3 * x;
                worst = std::max({worst, std::abs(p[0] - want.b), std::abs(p[1] - want.g), std::abs(p[2] - want.r)});
            }
        return worst;
    }
};

struct Sink : camera::FrameSink {
    int ready = 0;
    bool offGuiThread = false;
    QStringList failures;
    void frameReady() override
    {
        ++ready;
        offGuiThread |= QThread::currentThread() != App().thread();
    }
    void streamFailed(const QString& message) override { failures << message; }
};

camera::ControlInfo Control(std::uint32_t id, camera::ControlInfo::Kind kind, int defaultValue, int value,
                            bool readOnly = false)
{
    camera::ControlInfo c;
    c.id = id;
    c.kind = kind;
    c.name = QStringLiteral("Regler %1").arg(id);
    c.maximum = 255;
    c.defaultValue = defaultValue;
    c.value = value;
    c.readOnly = readOnly;
    return c;
}

struct OnPipeWireNode : ::testing::Test {
    simpwcam::Cameras cameras;
    camera::PipeWireNode node = simpwcam::Node(42, "v4l2_input.usb-cam", "USB-Kamera");
    std::unique_ptr<camera::Driver> driver;
    Sink sink;

    OnPipeWireNode()
    {
        App();
        cameras.setNodes({node});
        cameras.setFormats(
            node.id,
            {
                {Mjpg, "Motion-JPEG", {{640, 480, {{1, 30}}}, {64, 48, {{1, 30}}}}},
                {Yuyv,
                 "YUYV",
                 {{320, 240, {{1, 15}, {1, 30}}}, {640, 480, {{1, 5}, {1, 25}, {1, 60}}}, {64, 18, {{1, 30}}}}},
                {I420, "I420", {{37, 11, {{1, 30}}}}},
                {Rgb565, "RGB 5-6-5", {{640, 480, {{1, 30}}}}},
            });
        using Kind = camera::ControlInfo::Kind;
        cameras.setControls(node.id, {Control(1, Kind::Integer, 128, 200), Control(2, Kind::Menu, 3, 1),
                                      Control(3, Kind::Integer, 10, 50, true), Control(4, Kind::Button, 0, 0),
                                      Control(5, Kind::Boolean, 1, 1)});
    }
    ~OnPipeWireNode() override { driver.reset(); }

    camera::PipeWireDriver& open()
    {
        QString error;
        driver = camera::PipeWireDriver::open(cameras, node, error);
        EXPECT_TRUE(driver) << error.toStdString();
        return static_cast<camera::PipeWireDriver&>(*driver);
    }
    camera::PipeWireDriver& pw() { return static_cast<camera::PipeWireDriver&>(*driver); }
    simpwcam::Stream& stream()
    {
        simpwcam::Stream* open = cameras.stream();
        if (open == nullptr)
            throw std::logic_error("no stream is open");
        return *open;
    }
    // One frame from a thread of its own, as PipeWire's loop thread hands it over.
    void deliver(const std::vector<std::uint8_t>& bytes, const FormatSetting& format, int stride,
                 std::size_t size = SIZE_MAX)
    {
        simpwcam::Stream& s = stream();
        std::thread([&] { s.deliver(bytes, format, stride, size); }).join();
    }
    const BITMAPINFOHEADER& header() { return *reinterpret_cast<const BITMAPINFOHEADER*>(driver->format().data()); }
    // Spins until the sink hears of `count` frames; the latest one.
    camera::Frame latest(int count = 1)
    {
        camera::Frame frame;
        EXPECT_TRUE(SpinUntil([&] { return sink.ready >= count; }, 2000));
        EXPECT_TRUE(driver->takeFrame(frame));
        return frame;
    }
};

} // namespace

TEST_F(OnPipeWireNode, ConnectsInTheListedFormatNearest640x480UncompressedAt30)
{
    camera::PipeWireDriver& d = open();
    EXPECT_EQ(cameras.opens, 1);
    EXPECT_EQ(cameras.openStreams(), 1u); // held from connect on
    const FormatSetting want{Yuyv, 640, 480, {1, 25}};
    EXPECT_EQ(cameras.lastWanted, want);
    EXPECT_EQ(d.formats()->current(), want);
    EXPECT_EQ(header().biWidth, 640);
    EXPECT_EQ(header().biHeight, 480);
    EXPECT_EQ(header().biBitCount, 24);
    EXPECT_EQ(header().biSizeImage, camera::BgrImageBytes(640, 480));
    EXPECT_EQ(d.identity(), "pipewire:v4l2_input.usb-cam");
    EXPECT_FALSE(d.streaming());
}

TEST_F(OnPipeWireNode, FramesConvertOnTheLoopThreadAndAreAnnouncedOnTheGuiThread)
{
    open();
    ASSERT_TRUE(driver->formats()->apply({Yuyv, 64, 18, At30}));
    ASSERT_TRUE(driver->start(&sink));
    const YuvPicture picture(64, 18, false, 7);
    // Rows with padding, as a device's buffers often have.
    deliver(picture.yuyv(64 * 2 + 12), {Yuyv, 64, 18, At30}, 64 * 2 + 12);
    camera::Frame frame = latest();
    EXPECT_FALSE(sink.offGuiThread);
    ASSERT_EQ(frame.bytes.size(), camera::BgrImageBytes(64, 18));
    EXPECT_LE(picture.worstOff(frame.bytes), 1);

    // Planar 4:2:0 of an odd size, the stride not given.
    ASSERT_TRUE(driver->formats()->apply({I420, 37, 11, At30}));
    EXPECT_EQ(header().biWidth, 37);
    const YuvPicture planar(37, 11, true, 9);
    deliver(planar.i420(37), {I420, 37, 11, At30}, 0);
    frame = latest(2);
    ASSERT_EQ(frame.bytes.size(), camera::BgrImageBytes(37, 11));
    EXPECT_LE(planar.worstOff(frame.bytes), 1);
    // And with padded rows.
    deliver(planar.i420(44), {I420, 37, 11, At30}, 44);
    frame = latest(3);
    EXPECT_LE(planar.worstOff(frame.bytes), 1);

    // Stopped, the stream goes on but its frames are let go.
    driver->stop();
    deliver(planar.i420(37), {I420, 37, 11, At30}, 0);
    SpinFor(30);
    EXPECT_FALSE(driver->takeFrame(frame));
    EXPECT_EQ(pw().framesDropped(), 0u);
}

TEST_F(OnPipeWireNode, MjpegFramesDecode)
{
    open();
    ASSERT_TRUE(driver->formats()->apply({Mjpg, 64, 48, At30}));
    ASSERT_TRUE(driver->start(&sink));
    const std::vector<std::uint8_t> jpeg = simv4l2::MakeJpeg(64, 48);
    deliver(jpeg, {Mjpg, 64, 48, At30}, 0);
    const camera::Frame frame = latest();
    ASSERT_EQ(frame.bytes.size(), camera::BgrImageBytes(64, 48));
    const std::size_t stride = camera::BgrImageBytes(64, 1);
    // Quadrants red, green / blue, white; the top left pixel sits in the last row.
    auto at = [&](int x, int row) { return frame.bytes.data() + stride * (47 - row) + 3 * x; };
    const int want[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}}; // BGR
    const std::uint8_t* p[4] = {at(16, 12), at(48, 12), at(16, 36), at(48, 36)};
    for (int q = 0; q < 4; ++q)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(p[q][c], want[q][c], 12) << "quadrant " << q << " channel " << c;

    // A truncated JPEG is damaged, not half a picture.
    deliver(jpeg, {Mjpg, 64, 48, At30}, 0, jpeg.size() / 2);
    SpinFor(30);
    camera::Frame none;
    EXPECT_FALSE(driver->takeFrame(none));
    EXPECT_EQ(pw().framesDropped(), 1u);
}

TEST(PipeWireFrameConversion, ThirtyTwoBitRgbInEveryByteOrderAndGreyComeOutExactly)
{
    struct Layout {
        std::uint32_t fourcc;
        int b, g, r; // where each colour sits in a pixel; -1: grey
    };
    const Layout layouts[] = {
        {V4L2_PIX_FMT_XBGR32, 0, 1, 2}, {V4L2_PIX_FMT_ABGR32, 0, 1, 2},  {V4L2_PIX_FMT_BGR32, 0, 1, 2},
        {V4L2_PIX_FMT_RGBX32, 2, 1, 0}, {V4L2_PIX_FMT_RGBA32, 2, 1, 0},  {V4L2_PIX_FMT_BGRX32, 1, 2, 3},
        {V4L2_PIX_FMT_BGRA32, 1, 2, 3}, {V4L2_PIX_FMT_XRGB32, 3, 2, 1},  {V4L2_PIX_FMT_ARGB32, 3, 2, 1},
        {V4L2_PIX_FMT_RGB32, 3, 2, 1},  {V4L2_PIX_FMT_GREY, -1, -1, -1},
    };
    const int width = 35, height = 7;
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(camera::FourccText(layout.fourcc).toStdString());
        const int bytes = layout.b < 0 ? 1 : 4;
        const int stride = width * bytes + 8;
        std::vector<std::uint8_t> frame(static_cast<std::size_t>(stride) * height);
        std::mt19937 random(layout.fourcc);
        for (std::uint8_t& byte : frame)
            byte = static_cast<std::uint8_t>(random());
        camera::PipeWireFrameConverter converter;
        QString reason;
        ASSERT_TRUE(converter.setFormat({layout.fourcc, width, height, {}}, reason));
        // Exactly the bytes the last row needs, no more.
        camera::PipeWireFrame lent{frame.data(), frame.size() - 8, stride, {layout.fourcc, width, height, {}}, 0};
        std::vector<std::uint8_t> out;
        ASSERT_EQ(converter.convert(lent, out), camera::PipeWireFrameConverter::Result::Converted);
        const std::size_t outStride = camera::BgrImageBytes(width, 1);
        int wrong = 0;
        for (int row = 0; row < height; ++row)
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* in = frame.data() + row * stride + x * bytes;
                const std::uint8_t* o = out.data() + outStride * (height - 1 - row) + 3 * x;
                const int b = layout.b < 0 ? in[0] : in[layout.b], g = layout.b < 0 ? in[0] : in[layout.g],
                          r = layout.b < 0 ? in[0] : in[layout.r];
                wrong += o[0] != b || o[1] != g || o[2] != r;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST_F(OnPipeWireNode, FramesThatCannotBeReadAreDroppedAndCounted)
{
    open();
    const FormatSetting format{Yuyv, 64, 18, At30};
    ASSERT_TRUE(driver->formats()->apply(format));
    ASSERT_TRUE(driver->start(&sink));
    const YuvPicture picture(64, 18, false, 3);
    const std::vector<std::uint8_t> good = picture.yuyv(128);

    // One byte short of the last row: held in a buffer of just that size,
    // so that reading past it shows under the address sanitizer.
    const std::vector<std::uint8_t> shortChunk(good.begin(), good.end() - 1);
    deliver(shortChunk, format, 128);
    // Rows closer together than a row holds.
    deliver(good, format, 126);
    // Nothing at all.
    deliver({}, format, 128);
    // Frames of a pixel format or size the driver is not set up for.
    deliver(good, {Mjpg, 64, 18, At30}, 0);
    deliver(good, {Yuyv, 32, 36, At30}, 64);
    SpinFor(50);
    EXPECT_EQ(sink.ready, 0);
    EXPECT_EQ(pw().framesDropped(), 5u);
    EXPECT_EQ(header().biWidth, 64); // the node did not name those formats
    EXPECT_TRUE(sink.failures.isEmpty());

    // The stream goes on with the next good frame, also one with longer rows.
    deliver(picture.yuyv(160), format, 160);
    EXPECT_LE(picture.worstOff(latest().bytes), 1);
}

TEST_F(OnPipeWireNode, ARunOfDamagedFramesEndsThePreview)
{
    open();
    const FormatSetting format{Yuyv, 64, 18, At30};
    ASSERT_TRUE(driver->formats()->apply(format));
    ASSERT_TRUE(driver->start(&sink));
    const std::vector<std::uint8_t> tooShort(64 * 2 * 17);
    for (int i = 0; i < 29; ++i)
        deliver(tooShort, format, 128);
    SpinFor(30);
    EXPECT_TRUE(sink.failures.isEmpty());
    deliver(tooShort, format, 128);
    ASSERT_TRUE(SpinUntil([&] { return !sink.failures.isEmpty(); }, 2000));
    EXPECT_EQ(sink.failures, QStringList{"Die Kamera liefert keine lesbaren Bilder. Die Vorschau wurde beendet."});
    EXPECT_FALSE(driver->streaming());
    EXPECT_EQ(cameras.openStreams(), 0u);
}

TEST_F(OnPipeWireNode, AFormatTheNodeChangesUnderTheStreamIsAdopted)
{
    open();
    ASSERT_TRUE(driver->formats()->apply({Yuyv, 64, 18, At30}));
    ASSERT_TRUE(driver->start(&sink));

    // The node renegotiates to 320 x 240: the first frame of it is dropped,
    // and the driver takes the new format up on the GUI thread.
    const FormatSetting larger{Yuyv, 320, 240, {1, 15}};
    stream().agree(larger);
    const YuvPicture picture(320, 240, false, 5);
    const std::vector<std::uint8_t> frame = picture.yuyv(640);
    deliver(frame, larger, 640);
    ASSERT_TRUE(SpinUntil([&] { return header().biWidth == 320; }, 2000));
    EXPECT_EQ(header().biHeight, 240);
    EXPECT_EQ(header().biSizeImage, camera::BgrImageBytes(320, 240));
    EXPECT_EQ(driver->formats()->current(), larger);
    EXPECT_EQ(sink.ready, 0);
    deliver(frame, larger, 640);
    EXPECT_LE(picture.worstOff(latest().bytes), 1);
    EXPECT_TRUE(driver->streaming());

    // Frames of a format the node does not name are left over from a
    // renegotiation, not a new format.
    deliver(YuvPicture(64, 18, false, 1).yuyv(128), {Yuyv, 64, 18, At30}, 128);
    SpinFor(50);
    EXPECT_EQ(header().biWidth, 320);

    // A format that cannot be converted ends the preview, saying why.
    stream().agree({Rgb565, 640, 480, At30});
    deliver(std::vector<std::uint8_t>(640 * 480 * 2), {Rgb565, 640, 480, At30}, 1280);
    ASSERT_TRUE(SpinUntil([&] { return !sink.failures.isEmpty(); }, 2000));
    ASSERT_EQ(sink.failures.size(), 1);
    EXPECT_TRUE(sink.failures[0].contains("RGBP 640 × 480")) << sink.failures[0].toStdString();
    EXPECT_FALSE(driver->streaming());
}

TEST_F(OnPipeWireNode, TheStreamsEndIsToldOnceWithItsReasonAndStartOpensItAgain)
{
    open();
    ASSERT_TRUE(driver->start(&sink));
    const QString reason = QStringLiteral("Die Kamera wurde vom System entfernt. Die Vorschau wurde beendet.");
    simpwcam::Stream& s = stream();
    std::thread([&] {
        s.end(reason);
        s.end(reason); // a second word of the same end
    }).join();
    ASSERT_TRUE(SpinUntil([&] { return !sink.failures.isEmpty(); }, 2000));
    SpinFor(50);
    EXPECT_EQ(sink.failures, QStringList{reason});
    EXPECT_FALSE(driver->streaming());
    EXPECT_EQ(cameras.openStreams(), 0u);

    // Started again, the driver opens a new stream in the format it had.
    ASSERT_TRUE(driver->start(&sink));
    EXPECT_EQ(cameras.opens, 2);
    EXPECT_EQ(cameras.lastWanted, (FormatSetting{Yuyv, 640, 480, {1, 25}}));
    // Not while PipeWire is away: start fails and tells nobody.
    driver->stop();
    std::thread([&] { stream().end(reason); }).join();
    SpinFor(30);
    EXPECT_EQ(sink.failures.size(), 1); // no sink while stopped
    cameras.setAvailable(false);
    EXPECT_FALSE(driver->start(&sink));
    EXPECT_EQ(sink.failures.size(), 1);
}

TEST_F(OnPipeWireNode, GrabTakesTheNextFrameWithOrWithoutARunningStream)
{
    open();
    const FormatSetting format{Yuyv, 64, 18, At30};
    ASSERT_TRUE(driver->formats()->apply(format));
    const YuvPicture picture(64, 18, false, 11);
    camera::Frame frame;

    // Not streaming: the grab takes one frame and leaves the driver stopped.
    stream().feed(picture.yuyv(128), format, 128);
    ASSERT_TRUE(driver->grab(frame));
    EXPECT_LE(picture.worstOff(frame.bytes), 1);
    EXPECT_FALSE(driver->streaming());

    ASSERT_TRUE(driver->start(&sink));
    frame = {};
    ASSERT_TRUE(driver->grab(frame));
    EXPECT_EQ(frame.bytes.size(), camera::BgrImageBytes(64, 18));

    // A stream that sends nothing: a grab gives up after a few frame
    // intervals, not the three seconds a starting camera gets.
    stream().stopFeeding();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(driver->grab(frame));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_GE(clock.elapsed(), 200);
}

TEST_F(OnPipeWireNode, TheFormatModelListsWhatConvertsAndAppliesWhatTheNodeAgreesOn)
{
    open();
    camera::FormatSet& formats = *driver->formats();
    const std::vector<camera::PixelFormatChoice> listed = formats.list();
    ASSERT_EQ(listed.size(), 3u); // RGB 5-6-5 cannot be converted here
    EXPECT_EQ(listed[0].fourcc, Mjpg);
    EXPECT_EQ(listed[0].description, "Motion-JPEG (komprimiert)");
    EXPECT_EQ(listed[1].sizes.size(), 3u);

    const FormatSetting jpeg{Mjpg, 640, 480, At30};
    ASSERT_TRUE(formats.apply(jpeg));
    EXPECT_EQ(stream().formatRequests.back(), jpeg);
    EXPECT_EQ(formats.current(), jpeg);

    EXPECT_FALSE(formats.apply({Rgb565, 640, 480, At30}));
    EXPECT_TRUE(formats.refusal().contains("RGBP")) << formats.refusal().toStdString();
    EXPECT_TRUE(formats.refusal().contains("lässt sich nicht")) << formats.refusal().toStdString();
    EXPECT_EQ(stream().formatRequests.size(), 1u); // never asked of the node

    // The node refuses: the old format stays.
    stream().refuseFormats = true;
    EXPECT_FALSE(formats.apply({Yuyv, 320, 240, At30}));
    EXPECT_EQ(formats.current(), jpeg);
    EXPECT_EQ(header().biWidth, 640);
    stream().refuseFormats = false;

    // The node agrees a while later: apply waits for it.
    stream().agreeAtOnce = false;
    const FormatSetting small{Yuyv, 320, 240, At30};
    simpwcam::Stream& s = stream();
    std::thread agreeing([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        s.agree(small);
    });
    EXPECT_TRUE(formats.apply(small));
    agreeing.join();
    EXPECT_EQ(formats.current(), small);
    EXPECT_EQ(header().biWidth, 320);
}

// A publisher that falls silent after a format change: the link is built
// anew once; silent after that too, the preview ends with one message. The
// format the stream has agreed on, applied again, links nothing anew.
TEST_F(OnPipeWireNode, AChangedFormatThatBringsNoFrameRebuildsTheLinkOnceThenEndsThePreview)
{
    open();
    pw().setStallWait(std::chrono::milliseconds(100));
    ASSERT_TRUE(driver->start(&sink));
    const FormatSetting small{Yuyv, 64, 18, At30}, mid{Yuyv, 320, 240, At30};
    const YuvPicture smallPicture(64, 18, false, 5), midPicture(320, 240, false, 6);
    camera::FormatSet& formats = *driver->formats();

    // A frame soon after the change: nothing is rebuilt.
    ASSERT_TRUE(formats.apply(small));
    deliver(smallPicture.yuyv(128), small, 128);
    SpinFor(300);
    EXPECT_EQ(stream().formatRequests.size(), 1u);
    EXPECT_EQ(pw().stallRebuilds(), 0);
    // The same again: the node is not asked.
    ASSERT_TRUE(formats.apply(small));
    deliver(smallPicture.yuyv(128), small, 128);
    SpinFor(300);
    EXPECT_EQ(stream().formatRequests.size(), 1u);
    EXPECT_EQ(pw().stallRebuilds(), 0);

    // Silent: the format is asked of the node anew, once, and a frame then
    // ends the watch.
    ASSERT_TRUE(formats.apply(mid));
    ASSERT_TRUE(SpinUntil([&] { return pw().stallRebuilds() == 1; }, 2000));
    SpinFor(50);
    ASSERT_EQ(stream().formatRequests.size(), 3u);
    EXPECT_EQ(stream().formatRequests.back(), mid);
    deliver(midPicture.yuyv(640), mid, 640);
    SpinFor(300);
    EXPECT_EQ(pw().stallRebuilds(), 1);
    EXPECT_TRUE(sink.failures.isEmpty());
    EXPECT_TRUE(driver->streaming());
    camera::Frame frame;
    ASSERT_TRUE(driver->takeFrame(frame));
    EXPECT_LE(midPicture.worstOff(frame.bytes), 1);

    // Silent after the rebuild too: one message, the preview ended, the
    // stream given up.
    ASSERT_TRUE(formats.apply(small));
    ASSERT_TRUE(SpinUntil([&] { return !sink.failures.isEmpty(); }, 2000));
    SpinFor(300);
    ASSERT_EQ(sink.failures.size(), 1);
    EXPECT_TRUE(sink.failures[0].contains(QStringLiteral("seit dem Wechsel des Bildformats keine Bilder mehr")))
        << sink.failures[0].toStdString();
    EXPECT_EQ(pw().stallRebuilds(), 2);
    EXPECT_FALSE(driver->streaming());
    EXPECT_EQ(cameras.openStreams(), 0u);
}

TEST_F(OnPipeWireNode, TheControlModelSetsAndResetsTheNodesControls)
{
    open();
    camera::ControlSet& controls = *driver->controls();
    ASSERT_EQ(controls.list().size(), 5u);
    EXPECT_EQ(controls.list()[0].value, 200);
    EXPECT_TRUE(controls.set(1, 90));
    EXPECT_EQ(controls.list()[0].value, 90);
    EXPECT_FALSE(controls.set(99, 1));

    stream().controlRequests.clear();
    controls.reset();
    // Brightness and the menu back to their defaults; the read-only
    // control, the button and the one at its default untouched.
    const std::vector<std::pair<std::uint32_t, int>> want = {{1, 128}, {2, 3}};
    EXPECT_EQ(stream().controlRequests, want);
    EXPECT_EQ(cameras.controlsOf(node.id)[0].value, 128);
}

TEST_F(OnPipeWireNode, WhyANodeCannotBeOpenedIsSaidInGerman)
{
    QString error;
    cameras.openError = QStringLiteral("PipeWire antwortet nicht.");
    EXPECT_EQ(camera::PipeWireDriver::open(cameras, node, error), nullptr);
    EXPECT_EQ(error, cameras.openError);
    cameras.openError.clear();

    cameras.setAvailable(false);
    EXPECT_EQ(camera::PipeWireDriver::open(cameras, node, error), nullptr);
    EXPECT_TRUE(error.contains("PipeWire ist nicht erreichbar")) << error.toStdString();
    EXPECT_TRUE(error.contains("USB-Kamera")) << error.toStdString();
    cameras.setAvailable(true);

    const camera::PipeWireNode gone = simpwcam::Node(77, "gone", "Alte Kamera");
    EXPECT_EQ(camera::PipeWireDriver::open(cameras, gone, error), nullptr);
    EXPECT_TRUE(error.contains("meldet keine Bildformate")) << error.toStdString();

    cameras.setFormats(77, {{Rgb565, "RGB 5-6-5", {{640, 480, {}}}}});
    EXPECT_EQ(camera::PipeWireDriver::open(cameras, gone, error), nullptr);
    EXPECT_TRUE(error.contains("kein Bildformat, das sich in 24-Bit-Farbe umwandeln lässt")) << error.toStdString();
    EXPECT_EQ(cameras.openStreams(), 0u);
}
