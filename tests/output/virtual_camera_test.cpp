// The virtual webcam on simulated v4l2loopback nodes: which node it takes,
// the format it sets, how it follows size and rate, and how it stops.

#include "camera/v4l2/LoopbackNode.h"
#include "output/VirtualCamera.h"
#include "platform/avicap/DriverCatalog.h"

#include "tests/camera/SimulatedV4l2.h"
#include "tests/output/SimulatedLoopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using output::VirtualCamera;

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
    // What the node should receive for the top-left `w` x `h` part.
    std::vector<std::uint8_t> yuyv(int w, int h) const
    {
        std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * 2 * h);
        pixels::YuyvConverter().convert(bits.data(), rowbytes, height, w, h, out.data(), w * 2);
        return out;
    }
};

simloop::Node Camera(const std::string& path)
{
    simloop::Node n = simloop::MakeNode(path, "Kamera");
    n.driver = "uvcvideo";
    return n;
}

// Run both ways the pictures can reach a node: straight into the buffers it
// lends (true), or with write() where it lends none (false).
class VirtualCameraTest : public ::testing::TestWithParam<bool> {
protected:
    static simloop::Node Loop(const std::string& path, const std::string& card)
    {
        simloop::Node n = simloop::MakeNode(path, card);
        n.streaming = GetParam();
        return n;
    }
    VirtualCamera::Clock::time_point t0 = VirtualCamera::Clock::now();
    // Frames 1/fps apart from `start`; returns the time after the last.
    VirtualCamera::Clock::time_point feed(VirtualCamera& camera, const TestPicture& p, int count, int fps,
                                          VirtualCamera::Clock::time_point start)
    {
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(camera.write(p.view(), start), VirtualCamera::Result::Written);
            start += std::chrono::microseconds(1'000'000 / fps);
        }
        return start;
    }
};

} // namespace

TEST(LoopbackChoiceTest, PrefersTheStillwiseLabelThenTheFirstOutputNode)
{
    {
        simloop::System system({Camera("/dev/video0"), simloop::MakeNode("/dev/video2", "Andere"),
                                simloop::MakeNode("/dev/video5", "Stillwise")});
        EXPECT_EQ(camera::FindLoopbackNode(system).node, "/dev/video5");
    }
    {
        // A loopback node that another writer feeds shows capture only and
        // is not ours to take.
        simloop::Node fed = simloop::MakeNode("/dev/video3", "Testquelle");
        fed.ready = true;
        fed.readyForOutput = false;
        simloop::System system({Camera("/dev/video0"), fed, simloop::MakeNode("/dev/video4", "Zweite")});
        EXPECT_EQ(camera::FindLoopbackNode(system).node, "/dev/video4");
    }
    {
        simloop::System system({Camera("/dev/video0"), Camera("/dev/video1")});
        EXPECT_TRUE(camera::FindLoopbackNode(system).node.empty());
    }
    {
        // A labelled node the user may not open is still the one, with the
        // reason kept for the advice.
        simloop::Node locked = simloop::MakeNode("/dev/video5", "Stillwise");
        locked.openErrno = EACCES;
        simloop::System system({simloop::MakeNode("/dev/video2", "Andere"), locked});
        const camera::LoopbackNode found = camera::FindLoopbackNode(system);
        EXPECT_EQ(found.node, "/dev/video5");
        EXPECT_EQ(found.openError, EACCES);
    }
}

TEST(LoopbackChoiceTest, DriverListHidesOnlyTheOutputNode)
{
    auto loopback = [](const std::string& path, const std::string& card, std::uint32_t caps) {
        simv4l2::Camera c = simv4l2::MakeCamera(path);
        c.card = card;
        c.driver = "v4l2 loopback";
        c.deviceCaps = caps;
        return c;
    };
    // "Testquelle" is fed by another program and reads like a camera;
    // "Stillwise" is where the program writes.
    simv4l2::System system({simv4l2::MakeCamera("/dev/video0"),
                            loopback("/dev/video5", "Stillwise", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING),
                            loopback("/dev/video6", "Testquelle", V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING)});
    avicap::DriverCatalog catalog(system, 1);
    std::vector<std::string> nodes;
    for (const avicap::DriverSlot& s : catalog.drivers())
        nodes.push_back(s.node);
    EXPECT_EQ(nodes, (std::vector<std::string>{"/dev/video0", "/dev/video6", ""}));

    // Without a "Stillwise" label the first output node is the one hidden.
    simv4l2::System unlabelled({loopback("/dev/video1", "Dummy video device (0x0000)",
                                         V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING),
                                simv4l2::MakeCamera("/dev/video2")});
    nodes.clear();
    for (const avicap::DriverSlot& s : avicap::DriverCatalog(unlabelled, 1).drivers())
        nodes.push_back(s.node);
    EXPECT_EQ(nodes, (std::vector<std::string>{"/dev/video2", ""}));
}

TEST_P(VirtualCameraTest, WritesYuyvFramesWithTheColourFormatSpelledOut)
{
    simloop::System system({Camera("/dev/video0"), Loop("/dev/video5", "Stillwise")});
    VirtualCamera camera(system);
    ASSERT_TRUE(camera.start()) << camera.error().toStdString();
    EXPECT_EQ(camera.node(), "/dev/video5");
    EXPECT_EQ(camera::OwnOutputNode(), "/dev/video5");

    const TestPicture picture(320, 240, 1);
    feed(camera, picture, 3, 25, t0);
    const simloop::Node& node = system.node(1);
    EXPECT_EQ(node.format.pixelformat, static_cast<std::uint32_t>(V4L2_PIX_FMT_YUYV));
    EXPECT_EQ(node.format.width, 320u);
    EXPECT_EQ(node.format.height, 240u);
    EXPECT_EQ(node.format.ycbcr_enc, static_cast<std::uint32_t>(V4L2_YCBCR_ENC_601));
    EXPECT_EQ(node.format.quantization, static_cast<std::uint32_t>(V4L2_QUANTIZATION_LIM_RANGE));
    EXPECT_EQ(node.frames, 3);
    EXPECT_EQ(node.lastFrame(), picture.yuyv(320, 240));
    // Lent buffers are filled in place; nothing is copied in with write().
    EXPECT_EQ(node.written.empty(), GetParam());
    EXPECT_EQ(system.mappings(), GetParam() ? 2 : 0);
    EXPECT_EQ(camera.intoLentBuffers(), GetParam());

    // An odd width loses its last column: YUYV pixels come in pairs.
    const TestPicture odd(321, 10, 2);
    camera.write(odd.view(), t0 + 1s);
    EXPECT_EQ(system.node(1).format.width, 320u);
    EXPECT_EQ(system.node(1).lastFrame(), odd.yuyv(320, 10));

    camera.stop();
    EXPECT_EQ(system.openFds(), 0);
    EXPECT_EQ(system.mappings(), 0);
    EXPECT_EQ(system.node(1).openers, 0);
    EXPECT_TRUE(camera::OwnOutputNode().empty());
}

TEST_P(VirtualCameraTest, FollowsTheSizeOnceNoReaderHoldsTheOldOne)
{
    simloop::System system({Loop("/dev/video5", "Stillwise")});
    VirtualCamera camera(system);
    ASSERT_TRUE(camera.start());
    auto t = feed(camera, TestPicture(64, 48, 1), 2, 30, t0);

    // Nobody reads: the node takes the new size at once.
    const TestPicture larger(96, 64, 2);
    t = feed(camera, larger, 1, 30, t);
    EXPECT_EQ(system.node(0).format.width, 96u);
    EXPECT_EQ(system.node(0).lastFrame(), larger.yuyv(96, 64));

    // A reader holds the node at 96 x 64: a smaller picture is centred in
    // black, and the node is asked again every few seconds.
    system.attachReader(0);
    const TestPicture smaller(32, 16, 3);
    t = feed(camera, smaller, 1, 30, t);
    EXPECT_EQ(camera.width(), 96);
    const std::vector<std::uint8_t> frame = system.node(0).lastFrame();
    ASSERT_EQ(frame.size(), 96u * 2 * 64);
    const std::vector<std::uint8_t> inner = smaller.yuyv(32, 16);
    for (int row = 0; row < 16; ++row)
        ASSERT_TRUE(std::equal(inner.begin() + row * 64, inner.begin() + row * 64 + 64,
                               frame.begin() + ((row + 24) * 96 + 32) * 2))
            << "row " << row;
    EXPECT_EQ(frame[0], 16);
    EXPECT_EQ(frame[1], 128);

    system.detachReader(0);
    t = feed(camera, smaller, 30, 30, t);
    t = feed(camera, smaller, 40, 30, t);
    EXPECT_EQ(camera.width(), 32);
    EXPECT_EQ(system.node(0).format.width, 32u);
    EXPECT_EQ(system.node(0).lastFrame(), inner);
    // Reopening for each size leaves one descriptor.
    EXPECT_EQ(system.openFds(), 1);
}

TEST_P(VirtualCameraTest, CanBeSwitchedOffAndOnAgainWhileReadersComeAndGo)
{
    simloop::System system({Loop("/dev/video5", "Stillwise")});
    const TestPicture p(64, 32, 1);
    auto t = t0;
    for (int round = 0; round < 3; ++round) {
        VirtualCamera camera(system);
        ASSERT_TRUE(camera.start()) << "round " << round;
        t = feed(camera, p, 2, 30, t);
        // A reader asks for the capabilities while we write: the node then
        // announces capture only.
        system.attachReader(0);
        t = feed(camera, p, 2, 30, t);
        system.detachReader(0);
        EXPECT_EQ(system.node(0).frames, 4 * (round + 1));
    }
    EXPECT_EQ(system.openFds(), 0);
    // So does a new size with a reader that asked meanwhile.
    VirtualCamera camera(system);
    ASSERT_TRUE(camera.start());
    t = feed(camera, p, 2, 30, t);
    system.attachReader(0);
    system.detachReader(0);
    t = feed(camera, TestPicture(32, 32, 2), 1, 30, t);
    EXPECT_EQ(system.node(0).format.width, 32u);
}

TEST_P(VirtualCameraTest, TellsReadersTheRateThePicturesArriveAt)
{
    simloop::System system({Loop("/dev/video5", "Stillwise")});
    VirtualCamera camera(system);
    ASSERT_TRUE(camera.start());
    const TestPicture p(16, 8, 1);
    auto t = feed(camera, p, 2, 15, t0);
    EXPECT_EQ(system.node(0).timePerFrame.denominator, 30u); // not measured yet
    t = feed(camera, p, 20, 15, t);
    EXPECT_EQ(system.node(0).timePerFrame.numerator, 1u);
    EXPECT_EQ(system.node(0).timePerFrame.denominator, 15u);
    // A pause is no rate; a faster camera is.
    t += 5s;
    t = feed(camera, p, 40, 30, t);
    EXPECT_EQ(camera.framesPerSecond(), 30);
    EXPECT_EQ(system.node(0).timePerFrame.denominator, 30u);
}

TEST_P(VirtualCameraTest, DropsFramesTheNodeHasNoRoomForAndGoesOn)
{
    simloop::System system({Loop("/dev/video5", "Stillwise")});
    VirtualCamera camera(system);
    ASSERT_TRUE(camera.start());
    const TestPicture p(64, 32, 1);
    // More pictures than the node has buffers, so that the next needs one back.
    auto t = feed(camera, p, 3, 30, t0);
    system.node(0).writeErrno = EAGAIN;
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(camera.write(p.view(), t += 33ms), VirtualCamera::Result::Dropped);
    system.node(0).writeErrno = 0;
    const TestPicture later(64, 32, 9);
    EXPECT_EQ(camera.write(later.view(), t += 33ms), VirtualCamera::Result::Written);
    EXPECT_EQ(system.node(0).lastFrame(), later.yuyv(64, 32));
    EXPECT_EQ(camera.written(), 4u);
    EXPECT_EQ(camera.dropped(), 50u);
    EXPECT_TRUE(camera.running());

    if (GetParam()) {
        // A buffer the node would not take back is used for the next
        // picture, not lost: both stay in use.
        system.node(0).queueErrnoOnce = EAGAIN;
        EXPECT_EQ(camera.write(p.view(), t += 33ms), VirtualCamera::Result::Dropped);
        t = feed(camera, later, 5, 30, t);
        EXPECT_EQ(system.node(0).queued.size(), 2u);
        EXPECT_EQ(system.node(0).lastFrame(), later.yuyv(64, 32));
    }
}

TEST_P(VirtualCameraTest, StopsWithAMessageWhenTheNodeVanishesOrFails)
{
    {
        simloop::System system({Loop("/dev/video5", "Stillwise")});
        VirtualCamera camera(system);
        ASSERT_TRUE(camera.start());
        const TestPicture p(64, 32, 1);
        feed(camera, p, 2, 30, t0);
        system.node(0).gone = true;
        EXPECT_EQ(camera.write(p.view(), t0 + 1s), VirtualCamera::Result::Stopped);
        EXPECT_FALSE(camera.running());
        EXPECT_TRUE(camera.error().contains(QStringLiteral("verschwunden"))) << camera.error().toStdString();
        EXPECT_EQ(system.openFds(), 0);
        EXPECT_TRUE(camera::OwnOutputNode().empty());
        EXPECT_EQ(camera.write(p.view(), t0 + 2s), VirtualCamera::Result::Stopped);
    }
    {
        // Vanished just as the format is set for a new size.
        simloop::System system({Loop("/dev/video5", "Stillwise")});
        VirtualCamera camera(system);
        ASSERT_TRUE(camera.start());
        feed(camera, TestPicture(64, 32, 1), 1, 30, t0);
        system.node(0).gone = true;
        EXPECT_EQ(camera.write(TestPicture(32, 32, 1).view(), t0 + 1s), VirtualCamera::Result::Stopped);
        EXPECT_TRUE(camera.error().contains(QStringLiteral("/dev/video5")));
        EXPECT_EQ(system.openFds(), 0);
        EXPECT_TRUE(camera::OwnOutputNode().empty());
    }
    {
        // Another program writes into the node: no output format for us.
        simloop::Node fed = Loop("/dev/video5", "Stillwise");
        fed.ready = true;
        fed.readyForOutput = false;
        simloop::System system({fed});
        VirtualCamera camera(system);
        ASSERT_TRUE(camera.start());
        EXPECT_EQ(camera.write(TestPicture(8, 8, 1).view(), t0), VirtualCamera::Result::Stopped);
        EXPECT_TRUE(camera.error().contains(QStringLiteral("anderes Programm"))) << camera.error().toStdString();
        EXPECT_EQ(system.openFds(), 0);
    }
    {
        simloop::System system({Loop("/dev/video5", "Stillwise")});
        VirtualCamera camera(system);
        ASSERT_TRUE(camera.start());
        system.node(0).writeErrno = ENOSPC;
        EXPECT_EQ(camera.write(TestPicture(8, 8, 1).view(), t0), VirtualCamera::Result::Stopped);
        EXPECT_TRUE(camera.error().contains(QStringLiteral("ausgeschaltet")));
    }
    // The camera side's rule for a vanished device holds here too: a node
    // that is gone is "verschwunden", any other refusal names its reason.
    for (const auto& [error, gone] : {std::pair{ENXIO, true}, std::pair{ENOENT, true}, std::pair{ENODEV, true},
                                      std::pair{EIO, false}, std::pair{EBUSY, false}}) {
        simloop::System system({Loop("/dev/video5", "Stillwise")});
        VirtualCamera camera(system);
        ASSERT_TRUE(camera.start());
        system.node(0).writeErrno = error;
        EXPECT_EQ(camera.write(TestPicture(8, 8, 1).view(), t0), VirtualCamera::Result::Stopped);
        EXPECT_EQ(camera.error().contains(QStringLiteral("verschwunden")), gone) << camera.error().toStdString();
        EXPECT_EQ(system.openFds(), 0);
        if (error == EBUSY) {
            EXPECT_EQ(camera.error(), QStringLiteral("Die virtuelle Webcam /dev/video5 nimmt keine Bilder an (das "
                                                     "Gerät ist belegt). Die Ausgabe als Webcam wurde ausgeschaltet."));
        }
    }
}

// A node's answer to the format sizes the memory the pictures go into: an
// answer no node could mean ends the output with a message, and nothing of
// its size is reserved. A smaller size than asked for is a reader's doing
// and is kept.
TEST_P(VirtualCameraTest, RefusesANodeThatAnswersAFormatNoNodeCouldHave)
{
    using Lie = std::function<void(v4l2_pix_format&)>;
    const Lie lies[] = {
        [](v4l2_pix_format& p) { p.bytesperline = 0x7fffffff; },
        [](v4l2_pix_format& p) { p.width = 0x80000002; },
        [](v4l2_pix_format& p) { p.height = 0xffffffff; },
        [](v4l2_pix_format& p) { p.width = 0xfffffffe, p.bytesperline = 0xfffffffc; },
        [](v4l2_pix_format& p) { p.bytesperline = p.width; }, // shorter than a row
    };
    for (const Lie& lie : lies) {
        simloop::Node node = Loop("/dev/video5", "Stillwise");
        node.lie = lie;
        simloop::System system({node});
        VirtualCamera camera(system);
        ASSERT_TRUE(camera.start());
        EXPECT_EQ(camera.write(TestPicture(640, 480, 1).view(), t0), VirtualCamera::Result::Stopped);
        EXPECT_FALSE(camera.running());
        EXPECT_TRUE(camera.error().contains(QStringLiteral("unbrauchbares Bildformat")))
            << camera.error().toStdString();
        EXPECT_EQ(system.openFds(), 0);
        EXPECT_EQ(system.mappings(), 0);
    }

    simloop::Node held = Loop("/dev/video5", "Stillwise");
    held.lie = [](v4l2_pix_format& p) {
        p.width = 320;
        p.height = 240;
        p.bytesperline = 320 * 2;
    };
    simloop::System system({held});
    VirtualCamera camera(system);
    ASSERT_TRUE(camera.start());
    EXPECT_EQ(camera.write(TestPicture(640, 480, 1).view(), t0), VirtualCamera::Result::Written);
    EXPECT_EQ(camera.width(), 320);
    EXPECT_EQ(camera.height(), 240);
}

TEST_P(VirtualCameraTest, CannotStartWithoutANodeOrWithoutAccess)
{
    simloop::System none({Camera("/dev/video0")});
    VirtualCamera camera(none);
    EXPECT_FALSE(camera.start());
    EXPECT_EQ(camera.error(), output::NoLoopbackHint());
    EXPECT_TRUE(camera.error().contains(QStringLiteral("sudo apt install v4l2loopback-dkms")));
    EXPECT_TRUE(
        camera.error().contains(QStringLiteral("sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise")));

    simloop::Node locked = Loop("/dev/video5", "Stillwise");
    locked.openErrno = EACCES;
    simloop::System denied({locked});
    VirtualCamera refused(denied);
    EXPECT_FALSE(refused.start());
    EXPECT_TRUE(refused.error().contains(QStringLiteral("Gruppe „video“"))) << refused.error().toStdString();
    EXPECT_FALSE(refused.running());
}

INSTANTIATE_TEST_SUITE_P(Ways, VirtualCameraTest, ::testing::Bool(), [](const ::testing::TestParamInfo<bool>& info) {
    return info.param ? "IntoLentBuffers" : "WithWrite";
});

TEST_P(VirtualCameraTest, TellsItsReadersWhereTheModuleSaysAndHoldsTheRateForAPlaceholder)
{
    simloop::Node told = Loop("/dev/video5", "Stillwise");
    told.clientEvents = true;
    simloop::System system({Camera("/dev/video0"), told});
    VirtualCamera camera(system);
    ASSERT_TRUE(camera.start()) << camera.error().toStdString();
    EXPECT_TRUE(camera.tellsReaders());
    EXPECT_FALSE(camera.read());

    const TestPicture picture(320, 240, 1);
    feed(camera, picture, 20, 25, t0);
    ASSERT_EQ(camera.framesPerSecond(), 25);
    system.readersNow(1, 1);
    system.readersNow(1, 2);
    EXPECT_TRUE(camera.read());
    system.readersNow(1, 1);
    EXPECT_TRUE(camera.read());
    system.readersNow(1, 0);
    EXPECT_FALSE(camera.read());
    EXPECT_FALSE(camera.read()); // nothing waits, nothing changes

    // Placeholders a few times a second keep the camera's rate on the node.
    const TestPicture placeholder(320, 240, 9);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(camera.hold(placeholder.view()), output::WebcamOutput::Result::Written);
    EXPECT_EQ(camera.framesPerSecond(), 25);
    EXPECT_EQ(system.node(1).lastFrame(), placeholder.yuyv(320, 240));

    // A module before 0.13 refuses the events: it cannot tell.
    simloop::System older({Loop("/dev/video5", "Stillwise")});
    VirtualCamera quiet(older);
    ASSERT_TRUE(quiet.start());
    EXPECT_FALSE(quiet.tellsReaders());
    older.readersNow(0, 1);
    EXPECT_FALSE(quiet.read());
}
