// The PipeWire camera on a simulated daemon: what the node offers, what a
// reader gets in each layout, how it follows size and rate, what it refuses,
// and how it stops when the daemon goes.

#include "output/PipeWireCamera.h"
#include "pixels/Yuv420Conversion.h"
#include "pixels/YuyvConversion.h"

#include "tests/output/SimulatedPipeWire.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

using namespace std::chrono_literals;
using output::PipeWireCamera;
using output::PixelLayout;
using Result = output::WebcamOutput::Result;

namespace {

// A bottom-up BGR picture whose colours depend on position and `seed`.
struct TestPicture {
    int width, height, rowbytes;
    std::vector<std::uint8_t> bits;
    TestPicture(int w, int h, int seed) : width(w), height(h), rowbytes((w * 3 + 3) & ~3)
    {
        bits.resize(static_cast<std::size_t>(rowbytes) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * 3; ++x)
                bits[static_cast<std::size_t>(y) * rowbytes + x] = static_cast<std::uint8_t>(x * 7 + y * 3 + seed * 41);
    }
    output::BgrPicture view() const { return {bits.data(), rowbytes, width, height}; }

    // What a reader should get in `layout`, made without the camera.
    std::vector<std::uint8_t> expected(PixelLayout layout) const
    {
        const int w = width & ~1, h = height & ~1;
        std::vector<std::uint8_t> out;
        switch (layout) {
        case PixelLayout::YUY2:
            out.resize(static_cast<std::size_t>(w) * 2 * h);
            pixels::YuyvConverter().convert(bits.data(), rowbytes, height, w, h, out.data(), w * 2);
            break;
        case PixelLayout::I420:
        case PixelLayout::NV12: {
            out.resize(static_cast<std::size_t>(w) * h * 3 / 2);
            const bool i420 = layout == PixelLayout::I420;
            std::uint8_t* c = out.data() + static_cast<std::size_t>(w) * h;
            pixels::ConvertToYuv420(
                bits.data(), rowbytes, height, w, h, i420 ? pixels::Yuv420Layout::I420 : pixels::Yuv420Layout::NV12,
                {out.data(), c, c + static_cast<std::size_t>(w / 2) * (h / 2), w, i420 ? w / 2 : w});
            break;
        }
        case PixelLayout::BGRx:
            for (int row = 0; row < h; ++row)
                for (int x = 0; x < w; ++x) {
                    const std::uint8_t* p = bits.data() + static_cast<std::size_t>(height - 1 - row) * rowbytes + x * 3;
                    out.insert(out.end(), {p[0], p[1], p[2], 0xFF});
                }
            break;
        case PixelLayout::Other:
            break;
        }
        return out;
    }
};

class PipeWireCameraTest : public ::testing::Test {
protected:
    simpw::Daemon daemon;
    simpw::System system{daemon};
    PipeWireCamera camera{system};
    PipeWireCamera::Clock::time_point when = PipeWireCamera::Clock::now();

    // `count` pictures 1/fps apart; the result of the last.
    Result feed(const TestPicture& p, int count, int fps = 30)
    {
        Result last = Result::Dropped;
        for (int i = 0; i < count; ++i) {
            last = camera.write(p.view(), when);
            when += std::chrono::microseconds(1'000'000 / fps);
        }
        return last;
    }
};

} // namespace

TEST_F(PipeWireCameraTest, OffersThePicturesSizeAtTheMeasuredRateAndConvertsNothingWhilePaused)
{
    ASSERT_TRUE(camera.start());
    EXPECT_EQ(daemon.published, 0);   // the node comes with the first picture
    const TestPicture p(641, 481, 1); // odd: the node offers the even part
    EXPECT_EQ(feed(p, 1), Result::Dropped);
    ASSERT_EQ(daemon.published, 1);
    EXPECT_EQ(daemon.offers.back(), (output::StreamOffer{640, 480, 30}));

    // No reader: the node is paused, every picture is counted, none converted.
    feed(p, 40, 25);
    EXPECT_EQ(camera.idle(), 41u);
    EXPECT_EQ(camera.written(), 0u);
    EXPECT_EQ(daemon.frames, 0);
    // The rate follows the pictures, offered anew once it has moved.
    EXPECT_NEAR(daemon.offers.back().framesPerSecond, 25, 1);
    EXPECT_EQ(daemon.offers.back().width, 640);
    const std::size_t offers = daemon.offers.size();
    feed(p, 20, 25);
    EXPECT_EQ(daemon.offers.size(), offers); // a steady rate is not offered again

    // A reader links: the next picture goes to it.
    daemon.link(PixelLayout::YUY2);
    EXPECT_EQ(feed(p, 1, 25), Result::Written);
    EXPECT_EQ(daemon.frames, 1);
    EXPECT_EQ(daemon.lastFrame, p.expected(PixelLayout::YUY2));
    EXPECT_EQ(camera.idle(), 61u);

    // While it reads, a wandering rate is not offered: every offer makes a
    // linked reader agree anew. A new size is, at once.
    const std::size_t whileRead = daemon.offers.size();
    feed(p, 40, 12);
    feed(p, 40, 30);
    feed(p, 40, 15);
    EXPECT_EQ(daemon.offers.size(), whileRead);
    EXPECT_EQ(daemon.frames, 121);
    const TestPicture smaller(320, 240, 2);
    feed(smaller, 1, 15);
    ASSERT_EQ(daemon.offers.size(), whileRead + 1);
    EXPECT_EQ(daemon.offers.back().width, 320);
    EXPECT_NEAR(daemon.offers.back().framesPerSecond, 15, 1);

    // Once nobody reads, the rate as it is now is offered for the next reader.
    daemon.unlink();
    feed(smaller, 40, 20);
    EXPECT_NEAR(daemon.offers.back().framesPerSecond, 20, 1);
}

TEST_F(PipeWireCameraTest, AReaderGetsThePictureInEveryOfferedLayout)
{
    ASSERT_TRUE(camera.start());
    const TestPicture first(320, 240, 2);
    feed(first, 1);
    for (const PixelLayout layout : output::OfferedLayouts) {
        daemon.link(layout);
        const TestPicture p(320, 240, 3 + static_cast<int>(layout));
        ASSERT_EQ(feed(p, 1), Result::Written) << static_cast<int>(layout);
        EXPECT_EQ(daemon.lastFormat.layout, layout);
        EXPECT_EQ(daemon.lastFrame, p.expected(layout)) << static_cast<int>(layout);
        EXPECT_TRUE(daemon.slackIntact());
        daemon.unlink();
    }
    EXPECT_EQ(camera.refused(), 0u);
}

TEST_F(PipeWireCameraTest, ASizeChangeIsOfferedAndTheReaderGetsTheNewSizeOnceItAgrees)
{
    ASSERT_TRUE(camera.start());
    feed(TestPicture(640, 480, 1), 1);
    daemon.link(PixelLayout::I420);
    ASSERT_EQ(feed(TestPicture(640, 480, 2), 1), Result::Written);

    // A reader that follows at once.
    const TestPicture small(320, 240, 3);
    ASSERT_EQ(feed(small, 1), Result::Written);
    EXPECT_EQ(daemon.offers.back().width, 320);
    EXPECT_EQ(daemon.offers.back().height, 240);
    EXPECT_EQ(daemon.lastFormat, (output::StreamFormat{PixelLayout::I420, 320, 240}));
    EXPECT_EQ(daemon.lastFrame, small.expected(PixelLayout::I420));

    // A reader that has not agreed yet still lends buffers of the old
    // size: those are given back unwritten, never filled with a frame of
    // the other size.
    daemon.readerFollowsOffers = false;
    const TestPicture large(800, 600, 4);
    EXPECT_EQ(feed(large, 3), Result::Dropped);
    EXPECT_EQ(camera.refused(), 3u);
    EXPECT_EQ(daemon.frames, 2);
    EXPECT_TRUE(daemon.slackIntact());
    daemon.agree({PixelLayout::I420, 800, 600});
    ASSERT_EQ(feed(large, 1), Result::Written);
    EXPECT_EQ(daemon.lastFrame, large.expected(PixelLayout::I420));
}

TEST_F(PipeWireCameraTest, BadAnswersFromTheDaemonAreRefusedNeverWrittenPast)
{
    ASSERT_TRUE(camera.start());
    const TestPicture p(320, 240, 5);
    feed(p, 1);
    // A buffer one byte too small for the frame, in each layout.
    daemon.shortBy = 1;
    for (const PixelLayout layout : output::OfferedLayouts) {
        daemon.link(layout);
        EXPECT_EQ(feed(p, 1), Result::Dropped);
        EXPECT_TRUE(daemon.slackIntact()) << static_cast<int>(layout);
    }
    EXPECT_EQ(camera.refused(), 4u);
    EXPECT_EQ(daemon.frames, 0);
    daemon.shortBy = 0;

    // A layout never offered, and an offered layout at a size never offered.
    daemon.link(PixelLayout::YUY2);
    daemon.agree({PixelLayout::Other, 320, 240});
    EXPECT_EQ(feed(p, 1), Result::Dropped);
    daemon.agree({PixelLayout::YUY2, 640, 480});
    EXPECT_EQ(feed(p, 1), Result::Dropped);
    EXPECT_TRUE(daemon.slackIntact());
    EXPECT_EQ(camera.refused(), 6u);
    EXPECT_EQ(daemon.frames, 0);
    EXPECT_TRUE(camera.running()); // refusing is no reason to stop
}

TEST_F(PipeWireCameraTest, AReaderThatStopsReadingOnlyCostsItPictures)
{
    ASSERT_TRUE(camera.start());
    const TestPicture p(320, 240, 6);
    feed(p, 1);
    daemon.link(PixelLayout::YUY2);
    daemon.stalled = true;
    feed(p, 10);
    EXPECT_EQ(daemon.frames, daemon.bufferCount); // one picture per buffer it had
    EXPECT_EQ(camera.dropped(), static_cast<std::uint64_t>(10 - daemon.bufferCount));
    daemon.resume();
    const TestPicture later(320, 240, 7);
    EXPECT_EQ(feed(later, 1), Result::Written);
    EXPECT_EQ(daemon.lastFrame, later.expected(PixelLayout::YUY2));
}

TEST_F(PipeWireCameraTest, TheDaemonGoingStopsTheCameraWithAReasonAndItStartsAgainWhenBack)
{
    daemon.running = false;
    EXPECT_FALSE(camera.start());
    EXPECT_TRUE(camera.error().contains(QStringLiteral("PipeWire läuft nicht")));

    daemon.running = true;
    ASSERT_TRUE(camera.start());
    const TestPicture p(320, 240, 8);
    feed(p, 1);
    daemon.link(PixelLayout::YUY2);
    ASSERT_EQ(feed(p, 1), Result::Written);
    daemon.running = false;
    EXPECT_EQ(feed(p, 1), Result::Stopped);
    EXPECT_FALSE(camera.running());
    EXPECT_TRUE(camera.error().contains(QStringLiteral("PipeWire")));
    EXPECT_EQ(feed(p, 1), Result::Stopped); // stays stopped

    daemon.running = true;
    ASSERT_TRUE(camera.start());
    feed(p, 1);
    EXPECT_EQ(daemon.published, 2);
    daemon.link(PixelLayout::NV12);
    EXPECT_EQ(feed(p, 1), Result::Written);
    EXPECT_EQ(daemon.lastFrame, p.expected(PixelLayout::NV12));
}

TEST_F(PipeWireCameraTest, ADaemonThatGoesBeforeTheFirstPictureIsReportedThen)
{
    ASSERT_TRUE(camera.start());
    daemon.running = false;
    EXPECT_EQ(feed(TestPicture(64, 48, 9), 1), Result::Stopped);
    EXPECT_TRUE(camera.error().contains(QStringLiteral("PipeWire")));
}
