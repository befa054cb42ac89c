// "Als Webcam ausgeben" in the main window, on simulated loopback nodes and
// a simulated PipeWire daemon.

#include "app/MainUnit.h"
#include "pixels/YuyvConversion.h"

#include "program_test_support.h"
#include "tests/output/SimulatedLoopback.h"
#include "tests/output/SimulatedPipeWire.h"

#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QToolTip>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace testing_program;

namespace {

simpw::Daemon StoppedDaemon()
{
    simpw::Daemon d;
    d.running = false;
    return d;
}

class WebcamBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib.drivers[0] = {"Kamera A", "v1.0", 640, 480};
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void TearDown() override { form.reset(); }

    // What the node should have received for the corrected picture now.
    std::vector<std::uint8_t> expectedFrame() const
    {
        const DIB& d = form->CorrectedPic;
        const int w = DIBWidth(d) & ~1, h = DIBHeight(d);
        std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * 2 * h);
        pixels::YuyvConverter().convert(d.bits, d.rowbytes, DIBHeight(d), w, h, out.data(), w * 2);
        return out;
    }

    FakeLibrary lib;
    ScriptedShell shell;
    std::unique_ptr<TMainForm> form;
    // No PipeWire unless a test starts it.
    simpw::Daemon daemon = StoppedDaemon();
    simpw::System pipewire{daemon};
};

simloop::Node Stillwise()
{
    return simloop::MakeNode("/dev/video5", "Stillwise");
}

} // namespace

TEST_F(WebcamBox, SitsFreeInTheBottomBarAndIsGreyWithoutTheModule)
{
    QCheckBox* box = form->WebcamBox;
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), QStringLiteral("Als Webcam ausgeben"));
    EXPECT_EQ(box->parentWidget(), form->Panel7);
    EXPECT_FALSE(box->isChecked());
    // Between the web address and the picture buttons, inside the bar.
    EXPECT_GT(box->geometry().left(), form->wwwBtn->geometry().right());
    EXPECT_LT(box->geometry().right(), form->Panel8->geometry().left());
    EXPECT_TRUE(form->Panel7->rect().contains(box->geometry()));
    EXPECT_GE(box->width(), box->sizeHint().width());

    simloop::System none;
    form->SetWebcamSystems(none, pipewire);
    EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("sudo apt install v4l2loopback-dkms")));
    EXPECT_TRUE(
        box->toolTip().contains(QStringLiteral("sudo modprobe v4l2loopback exclusive_caps=1 max_buffers=4 card_label=Stillwise")));

    simloop::System one({Stillwise()});
    form->SetWebcamSystems(one, pipewire);
    EXPECT_TRUE(box->isEnabled());
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("/dev/video5")));
}

TEST_F(WebcamBox, WhenOnEveryCorrectedPictureGoesToTheNode)
{
    simloop::System system({Stillwise()});
    form->SetWebcamSystems(system, pipewire);
    ASSERT_TRUE(lib.deliverPattern(1));
    EXPECT_EQ(system.node(0).frames, 0); // off at start

    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    ASSERT_TRUE(form->WebcamBox->isChecked());
    for (int seed = 2; seed < 5; ++seed)
        ASSERT_TRUE(lib.deliverPattern(seed));
    EXPECT_EQ(system.node(0).frames, 3);
    EXPECT_EQ(system.node(0).format.width, 640u);
    EXPECT_EQ(system.node(0).lastFrame(), expectedFrame());

    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    EXPECT_FALSE(form->WebcamBox->isChecked());
    EXPECT_EQ(system.openFds(), 0);
    ASSERT_TRUE(lib.deliverPattern(5));
    EXPECT_EQ(system.node(0).frames, 3);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(WebcamBox, AVanishingNodeSwitchesTheBoxOffAndTheCameraGoesOn)
{
    simloop::System system({Stillwise()});
    form->SetWebcamSystems(system, pipewire);
    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    ASSERT_TRUE(lib.deliverPattern(1));
    system.node(0).gone = true;
    ASSERT_TRUE(lib.deliverPattern(2));
    EXPECT_FALSE(form->WebcamBox->isChecked());
    EXPECT_EQ(system.openFds(), 0);
    QTest::qWait(20);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].contains(QStringLiteral("verschwunden")));
    // The panes keep running.
    ASSERT_TRUE(lib.deliverPattern(3));
    const std::vector<std::uint8_t> frame = PatternFrame(640, 480, 3);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), form->RawPic.bits));
}

TEST_F(WebcamBox, ANodeTheUserMayNotOpenGetsTheVideoGroupAdvice)
{
    simloop::Node locked = Stillwise();
    locked.openErrno = EACCES;
    simloop::System system({locked});
    form->SetWebcamSystems(system, pipewire);
    EXPECT_TRUE(form->WebcamBox->isEnabled());
    EXPECT_TRUE(form->WebcamBox->toolTip().contains(QStringLiteral("Gruppe „video“")));
    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    EXPECT_FALSE(form->WebcamBox->isChecked());
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].contains(QStringLiteral("sudo usermod -aG video")));
}

TEST_F(WebcamBox, TheTooltipSaysWhereThePictureGoesAndHowToGetTheOtherWay)
{
    QCheckBox* box = form->WebcamBox;
    simloop::System none;
    simloop::System one({Stillwise()});
    daemon.running = true;

    form->SetWebcamSystems(none, pipewire);
    EXPECT_TRUE(box->isEnabled());
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("PipeWire-Kamera „Stillwise“")));
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("sudo modprobe v4l2loopback")));

    form->SetWebcamSystems(one, pipewire);
    EXPECT_TRUE(box->isEnabled());
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("PipeWire-Kamera „Stillwise“")));
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("/dev/video5")));
    EXPECT_FALSE(box->toolTip().contains(QStringLiteral("sudo")));
    // A whole German sentence: "gibt … aus".
    EXPECT_TRUE(box->toolTip().startsWith(QStringLiteral("Gibt das beruhigte Bild als PipeWire-Kamera")));
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("(/dev/video5) aus, die Browser"))) << box->toolTip().toStdString();

    daemon.running = false;
    form->SetWebcamSystems(one, pipewire);
    EXPECT_TRUE(box->isEnabled());
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("/dev/video5")));
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("(/dev/video5) aus, die Browser"))) << box->toolTip().toStdString();
    EXPECT_TRUE(box->toolTip().contains(QStringLiteral("muss PipeWire laufen")));
    EXPECT_FALSE(box->toolTip().contains(QStringLiteral("PipeWire-Kamera „Stillwise“")));
}

TEST_F(WebcamBox, WithBothWaysEveryPictureGoesToBothAndTheDaemonGoingStopsTheBox)
{
    daemon.running = true;
    simloop::System system({Stillwise()});
    form->SetWebcamSystems(system, pipewire);
    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    ASSERT_TRUE(form->WebcamBox->isChecked());
    ASSERT_TRUE(lib.deliverPattern(1));
    ASSERT_EQ(daemon.published, 1);
    EXPECT_EQ(daemon.offers.back().width, 640);
    daemon.link(simpw::PixelLayout::YUY2);
    for (int seed = 2; seed < 5; ++seed)
        ASSERT_TRUE(lib.deliverPattern(seed));
    EXPECT_EQ(system.node(0).frames, 4);
    EXPECT_EQ(daemon.frames, 3);
    EXPECT_EQ(daemon.lastFrame, expectedFrame());
    EXPECT_EQ(system.node(0).lastFrame(), expectedFrame());

    // For the README: the bottom bar with the box ticked, and the box's
    // tooltip drawn as Qt draws tooltips.
    QWidget* bar = form->WebcamBox->parentWidget();
    QLabel tip(form->WebcamBox->toolTip());
    tip.setWordWrap(true);
    tip.setFixedWidth(bar->width());
    tip.setMargin(6);
    tip.setPalette(QToolTip::palette());
    tip.setAutoFillBackground(true);
    tip.setFrameStyle(QFrame::Box | QFrame::Plain);
    tip.adjustSize();
    QImage shot(bar->width(), bar->height() + tip.height() + 4, QImage::Format_RGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    painter.drawPixmap(0, 0, bar->grab());
    painter.drawPixmap(0, bar->height() + 4, tip.grab());
    painter.end();
    QDir().mkpath(QStringLiteral(STILLWISE_SCREENSHOT_DIR));
    EXPECT_TRUE(shot.save(QStringLiteral(STILLWISE_SCREENSHOT_DIR "/webcam-box.png")));

    // The daemon stops: the box goes off with a word, the panes go on.
    daemon.running = false;
    ASSERT_TRUE(lib.deliverPattern(5));
    EXPECT_FALSE(form->WebcamBox->isChecked());
    EXPECT_EQ(system.openFds(), 0);
    QTest::qWait(20);
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].contains(QStringLiteral("PipeWire")));
    ASSERT_TRUE(lib.deliverPattern(6));
    const std::vector<std::uint8_t> frame = PatternFrame(640, 480, 6);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), form->RawPic.bits));

    // Back again: the box ticks and the node is published anew.
    daemon.running = true;
    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    ASSERT_TRUE(form->WebcamBox->isChecked());
    ASSERT_TRUE(lib.deliverPattern(7));
    EXPECT_EQ(daemon.published, 2);
    daemon.link(simpw::PixelLayout::YUY2);
    ASSERT_TRUE(lib.deliverPattern(8));
    EXPECT_EQ(daemon.lastFrame, expectedFrame());
    EXPECT_EQ(system.node(0).lastFrame(), expectedFrame());
    EXPECT_EQ(shell.messages.size(), 1u);
    // Off before the simulated node goes.
    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    EXPECT_EQ(system.openFds(), 0);
}

TEST_F(WebcamBox, ALoopbackNodeTheUserMayNotOpenIsLeftOutWhilePipeWireTakesThePicture)
{
    simloop::Node locked = Stillwise();
    locked.openErrno = EACCES;
    simloop::System system({locked});
    daemon.running = true;
    form->SetWebcamSystems(system, pipewire);
    EXPECT_TRUE(form->WebcamBox->toolTip().contains(QStringLiteral("Gruppe „video“")));
    EXPECT_TRUE(form->WebcamBox->toolTip().contains(QStringLiteral("PipeWire-Kamera")));
    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
    ASSERT_TRUE(form->WebcamBox->isChecked());
    ASSERT_TRUE(lib.deliverPattern(1));
    daemon.link(simpw::PixelLayout::YUY2);
    ASSERT_TRUE(lib.deliverPattern(2));
    EXPECT_EQ(daemon.lastFrame, expectedFrame());
    EXPECT_TRUE(shell.messages.empty());
    QTest::mouseClick(form->WebcamBox, Qt::LeftButton);
}

TEST_F(WebcamBox, ADaemonThatStartsLaterEnablesTheBoxWithinSeconds)
{
    simloop::System none;
    form->SetWebcamSystems(none, pipewire);
    EXPECT_FALSE(form->WebcamBox->isEnabled());
    daemon.running = true;
    QTRY_VERIFY_WITH_TIMEOUT(form->WebcamBox->isEnabled(), 5000);
    daemon.running = false;
    QTRY_VERIFY_WITH_TIMEOUT(!form->WebcamBox->isEnabled(), 5000);
}
