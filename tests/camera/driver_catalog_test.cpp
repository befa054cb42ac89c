// The driver list with PipeWire beside V4L2: each camera once, PipeWire's
// own cameras after the V4L2 nodes, a busy V4L2 camera shared through
// PipeWire, our own output never offered, and without PipeWire the list
// and every connect exactly as they were.

#include "SimulatedPipeWire.h"
#include "SimulatedV4l2.h"
#include "camera/Notices.h"
#include "platform/avicap/CaptureApi.h"
#include "platform/avicap/DriverCatalog.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using avicap::DriverCatalog;
using avicap::DriverSlot;

camera::PipeWireNode V4l2Node(std::uint32_t id, const std::string& path, const std::string& description)
{
    camera::PipeWireNode node = simpwcam::Node(id, "v4l2_input.platform-" + path.substr(5), description);
    node.v4l2Path = path;
    return node;
}

std::vector<camera::PixelFormatChoice> Yuyv640()
{
    return {{camera::FourCC('Y', 'U', 'Y', 'V'),
             QStringLiteral("YUYV 4:2:2"),
             {{640, 480, {camera::FrameInterval{1, 30}}}}}};
}

// What a list shows: kind, node, the two texts and the identity.
std::vector<std::string> Shown(const std::vector<DriverSlot>& found)
{
    std::vector<std::string> shown;
    for (const DriverSlot& s : found)
        shown.push_back(std::to_string(static_cast<int>(s.kind)) + "|" + s.node + "|" + s.name + "|" + s.version + "|" +
                        s.identity + (s.pipewire ? "|pw" : ""));
    return shown;
}

class DriverCatalogTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "driver_catalog_test";
        static char* argv[] = {name, nullptr};
        if (QCoreApplication::instance() == nullptr)
            new QCoreApplication(argc, argv);
    }
    void SetUp() override
    {
        camera::SetMessageSink([this](const QString& text) { told_ << text; });
    }
    void TearDown() override { camera::SetMessageSink({}); }

    // A camera we can open, one another program holds, and our own
    // loopback output.
    simv4l2::System v4l2_{[] {
        simv4l2::Camera free = simv4l2::MakeCamera("/dev/video0");
        free.card = "Freie Kamera";
        simv4l2::Camera held = simv4l2::MakeCamera("/dev/video2");
        held.card = "Belegte Kamera";
        held.openErrno = EBUSY;
        simv4l2::Camera loop = simv4l2::MakeCamera("/dev/video5");
        loop.card = "Stillwise";
        loop.driver = "v4l2 loopback";
        loop.deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING;
        return std::vector<simv4l2::Camera>{free, held, loop};
    }()};
    simpwcam::Cameras pipewire_;
    QStringList told_;
};

TEST_F(DriverCatalogTest, WithoutPipeWireTheListAndConnectsAreAsBefore)
{
    const std::vector<std::string> before = Shown(DriverCatalog(v4l2_, 1).drivers());
    ASSERT_EQ(before.size(), 3u) << "free camera, busy camera, test camera";

    // A daemon that is not there, though it knew cameras once.
    pipewire_.setNodes({V4l2Node(40, "/dev/video2", "Belegte Kamera"), simpwcam::Node(41, "TestCam")});
    pipewire_.setAvailable(false);
    DriverCatalog catalog(v4l2_, 1, &pipewire_);
    EXPECT_EQ(Shown(catalog.drivers()), before);

    // The busy camera explains itself as it always did; nothing was opened
    // through PipeWire.
    EXPECT_EQ(catalog.open(1), nullptr);
    EXPECT_TRUE(avicap::LastConnectError().contains(QStringLiteral("anderen Programm")))
        << avicap::LastConnectError().toStdString();
    EXPECT_NE(catalog.open(0), nullptr);
    EXPECT_EQ(pipewire_.opens, 0);
    EXPECT_TRUE(told_.isEmpty());
}

TEST_F(DriverCatalogTest, EachCameraIsListedOnceAndOurOutputNever)
{
    camera::PipeWireNode ours = simpwcam::Node(50, camera::OwnNodeName, "Stillwise");
    ours.ours = true;
    pipewire_.setNodes({
        V4l2Node(40, "/dev/video0", "Freie Kamera (V4L2)"),   // we open it ourselves
        V4l2Node(41, "/dev/video2", "Belegte Kamera (V4L2)"), // busy: shared
        V4l2Node(42, "/dev/video5", "Stillwise (V4L2)"),      // our loopback output, seen by PipeWire
        ours,                                                 // our PipeWire output
        simpwcam::Node(43, "libcamera_input.front", "Integrated Camera"),
        V4l2Node(44, "/dev/video9", "Kamera ohne eigenen Platz"), // a node we do not list ourselves
    });
    const std::vector<DriverSlot> found = DriverCatalog(v4l2_, 1, &pipewire_).drivers();
    ASSERT_EQ(found.size(), 5u) << testing::PrintToString(Shown(found));

    EXPECT_EQ(found[0].node, "/dev/video0");
    EXPECT_FALSE(found[0].shared);
    EXPECT_EQ(found[0].version, "(/dev/video0)");

    EXPECT_EQ(found[1].kind, DriverSlot::Kind::V4l2);
    EXPECT_EQ(found[1].node, "/dev/video2");
    EXPECT_EQ(found[1].name, "Belegte Kamera");
    EXPECT_TRUE(found[1].shared);
    EXPECT_EQ(found[1].version, "(/dev/video2, geteilt über PipeWire)");
    ASSERT_TRUE(found[1].pipewire);
    EXPECT_EQ(found[1].pipewire->id, 41u);

    EXPECT_EQ(found[2].kind, DriverSlot::Kind::PipeWire);
    EXPECT_EQ(found[2].name + " " + found[2].version, "Integrated Camera (PipeWire)");
    EXPECT_EQ(found[2].identity, "pipewire:libcamera_input.front");

    EXPECT_EQ(found[3].kind, DriverSlot::Kind::PipeWire);
    EXPECT_EQ(found[3].name, "Kamera ohne eigenen Platz");

    EXPECT_EQ(found[4].kind, DriverSlot::Kind::TestCamera);
}

TEST_F(DriverCatalogTest, ABusyCameraIsReadThroughPipeWireWithANotice)
{
    pipewire_.setNodes({V4l2Node(41, "/dev/video2", "Belegte Kamera (V4L2)")});
    pipewire_.setFormats(41, Yuyv640());
    DriverCatalog catalog(v4l2_, 1, &pipewire_);

    std::unique_ptr<camera::Driver> driver = catalog.open(1);
    ASSERT_NE(driver, nullptr) << avicap::LastConnectError().toStdString();
    EXPECT_EQ(pipewire_.opens, 1);
    EXPECT_EQ(driver->identity(), camera::PipeWireIdentity(V4l2Node(41, "/dev/video2", "")));
    ASSERT_EQ(told_.size(), 1);
    EXPECT_TRUE(told_[0].contains(QStringLiteral("„Belegte Kamera“"))) << told_[0].toStdString();
    EXPECT_TRUE(told_[0].contains(QStringLiteral("über PipeWire gemeinsam")));
    EXPECT_FALSE(told_[0].contains(QLatin1Char('\n'))) << "one line";
}

// Most cameras open for a second program and refuse only its stream: such
// a camera is opened directly while it is free, and through PipeWire once
// the V4L2 driver finds it busy.
TEST_F(DriverCatalogTest, ACameraFoundBusyOnConnectIsSharedThroughPipeWire)
{
    pipewire_.setNodes({V4l2Node(40, "/dev/video0", "Freie Kamera (V4L2)")});
    pipewire_.setFormats(40, Yuyv640());
    DriverCatalog catalog(v4l2_, 1, &pipewire_);
    ASSERT_NE(catalog.open(0), nullptr);
    EXPECT_EQ(pipewire_.opens, 0) << "a free camera is opened directly, with all its controls";
    EXPECT_TRUE(told_.isEmpty());

    v4l2_.camera(0).setFormatErrno = EBUSY; // another program streams from it
    std::unique_ptr<camera::Driver> shared = catalog.open(0);
    ASSERT_NE(shared, nullptr) << avicap::LastConnectError().toStdString();
    EXPECT_EQ(pipewire_.opens, 1);
    ASSERT_EQ(told_.size(), 1);
    EXPECT_TRUE(told_[0].contains(QStringLiteral("„Freie Kamera“")));
    shared.reset();

    // The same camera taken up again after it was lost is read the way it
    // was read.
    auto [slot, again] = catalog.openCamera(camera::PipeWireIdentity(V4l2Node(40, "/dev/video0", "")));
    EXPECT_EQ(slot, 0);
    EXPECT_NE(again, nullptr);

    // When PipeWire cannot serve it either, the user learns that it is busy.
    pipewire_.openError = QStringLiteral("PipeWire ist nicht erreichbar.");
    EXPECT_EQ(catalog.open(0), nullptr);
    EXPECT_TRUE(avicap::LastConnectError().contains(QStringLiteral("anderen Programm")))
        << avicap::LastConnectError().toStdString();
}

TEST_F(DriverCatalogTest, APipeWireCameraIsFoundAgainByItsNameWhenItReturns)
{
    pipewire_.setNodes({simpwcam::Node(43, "TestCam", "Testbild")});
    pipewire_.setFormats(43, Yuyv640());
    DriverCatalog catalog(v4l2_, 1, &pipewire_);
    std::unique_ptr<camera::Driver> first = catalog.open(2);
    ASSERT_NE(first, nullptr) << avicap::LastConnectError().toStdString();
    const std::string identity = first->identity();
    EXPECT_EQ(identity, "pipewire:TestCam");
    first.reset();

    // The publisher left and came back: a new registry id, the same name.
    pipewire_.setNodes({});
    EXPECT_EQ(catalog.openCamera(identity).first, -1);
    pipewire_.setNodes({simpwcam::Node(77, "TestCam", "Testbild")});
    pipewire_.setFormats(77, Yuyv640());
    auto [slot, again] = catalog.openCamera(identity);
    EXPECT_EQ(slot, 2);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->identity(), identity);
}

TEST_F(DriverCatalogTest, AFailedPipeWireOpenSaysWhyAndTheTestCameraStays)
{
    pipewire_.setNodes({simpwcam::Node(43, "TestCam", "Testbild")});
    pipewire_.setFormats(43, Yuyv640());
    pipewire_.openError = QStringLiteral("PipeWire ist nicht erreichbar.");
    DriverCatalog catalog(v4l2_, 1, &pipewire_);
    EXPECT_EQ(catalog.open(2), nullptr);
    EXPECT_FALSE(avicap::LastConnectError().isEmpty());
    const std::vector<DriverSlot> found = catalog.drivers();
    EXPECT_EQ(found.back().kind, DriverSlot::Kind::TestCamera);
    EXPECT_NE(catalog.open(static_cast<int>(found.size()) - 1), nullptr);
}

TEST_F(DriverCatalogTest, ManyPipeWireCamerasLeaveTheLastSlotToTheTestCamera)
{
    std::vector<camera::PipeWireNode> many;
    for (std::uint32_t i = 0; i < 20; ++i)
        many.push_back(simpwcam::Node(100 + i, "cam" + std::to_string(i)));
    pipewire_.setNodes(many);
    const std::vector<DriverSlot> found = DriverCatalog(v4l2_, 1, &pipewire_).drivers();
    ASSERT_EQ(found.size(), static_cast<std::size_t>(DriverCatalog::SlotCount));
    EXPECT_EQ(found[0].node, "/dev/video0") << "V4L2 cameras keep their places";
    EXPECT_EQ(found.back().kind, DriverSlot::Kind::TestCamera);
}

} // namespace
