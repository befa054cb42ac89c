// The camera only while someone watches: the main window in the background
// with the webcam output on a simulated PipeWire daemon, whose reader links
// and leaves as the test says, and a scripted camera.

#include "app/Background.h"
#include "app/CameraOnDemand.h"
#include "app/MainUnit.h"
#include "app/Autostart.h"
#include "capture/Video.h"
#include "pixels/YuyvConversion.h"

#include "program_test_support.h"
#include "tests/output/SimulatedLoopback.h"
#include "tests/output/SimulatedPipeWire.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <set>

using namespace testing_program;

namespace {

class CameraOnDemandTest : public ::testing::Test {
protected:
    // The program as main() makes it for `options`, with a tray or not.
    void start(StartOptions options, bool tray = true, int width = 640, int height = 480)
    {
        lib.drivers[0] = {"Kamera A", "v1.0", width, height};
        form = std::make_unique<TMainForm>(nullptr, !options.tray);
        form->SetWebcamSystems(loopback, pipewire);
        background = std::make_unique<Background>(*form, autostart, [tray] { return tray; }, [] {});
        background->start(options);
        demand = std::make_unique<CameraOnDemand>(*form, options.tray);
        QTest::qWait(10);
    }
    void TearDown() override
    {
        demand.reset();
        background.reset();
        form.reset();
    }
    bool cameraOpen() const { return lib.window != nullptr && lib.window->preview; }
    // Waits until `condition` holds; how long it took, or -1 after `limitMs`.
    template <typename Condition>
    qint64 within(int limitMs, Condition condition)
    {
        QElapsedTimer took;
        took.start();
        while (!condition()) {
            if (took.elapsed() > limitMs)
                return -1;
            QTest::qWait(5);
        }
        return took.elapsed();
    }
    // Whether the reader's last frame is the placeholder: a flat first row.
    bool readerSawPlaceholder() const
    {
        const auto& f = daemon.lastFrame;
        if (f.size() < 64)
            return false;
        std::set<std::uint8_t> luma;
        for (std::size_t i = 0; i < 64; i += 2)
            luma.insert(f[i]);
        return luma.size() == 1;
    }

    QTemporaryDir config;
    AutostartEntry autostart{config.path(), QStringLiteral("/usr/bin/stillwise")};
    FakeLibrary lib;
    ScriptedShell shell;
    simloop::System loopback; // no loopback node: PipeWire alone can tell its readers
    simpw::Daemon daemon;
    simpw::System pipewire{daemon};
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<Background> background;
    std::unique_ptr<CameraOnDemand> demand;
};

} // namespace

TEST_F(CameraOnDemandTest, InTheTrayTheCameraOpensForAReaderAndClosesAfterIt)
{
    start({.webcam = true, .tray = true}, true, 320, 240);
    ASSERT_TRUE(form->WebcamBox->isChecked());
    EXPECT_TRUE(demand->onDemand());
    EXPECT_FALSE(cameraOpen()) << "the camera was opened at a start for the tray";
    // The node is offered while nobody reads, at the camera's picture size,
    // learnt without streaming.
    ASSERT_GE(within(1000, [&] { return daemon.published == 1; }), 0);
    ASSERT_FALSE(daemon.offers.empty());
    EXPECT_EQ(daemon.offers.back().width, 320);
    EXPECT_EQ(daemon.offers.back().height, 240);
    EXPECT_EQ(daemon.frames, 0);

    daemon.link(output::PixelLayout::YUY2);
    const qint64 opened = within(1000, [&] { return cameraOpen(); });
    ASSERT_GE(opened, 0) << "a reader came, the camera stayed closed";
    // Until the camera delivers, the reader gets the placeholder.
    ASSERT_GE(within(1000, [&] { return daemon.frames > 0; }), 0);
    EXPECT_TRUE(readerSawPlaceholder());
    EXPECT_EQ(daemon.lastFormat.width, 320);
    const int placeholders = daemon.frames;
    ASSERT_TRUE(lib.deliverPattern(1));
    EXPECT_EQ(daemon.frames, placeholders + 1);
    EXPECT_FALSE(readerSawPlaceholder());
    // The first frame after opening is the frame itself, not a blend with
    // what the window showed before.
    const auto frame = PatternFrame(320, 240, 1);
    EXPECT_TRUE(std::equal(frame.begin(), frame.begin() + 320 * 3, form->CorrectedPic.bits));
    // The reader kept the size it agreed on: nothing to agree on anew.
    EXPECT_EQ(daemon.offers.size(), 1u);
    // No more placeholders once the camera delivers.
    QTest::qWait(600);
    EXPECT_EQ(daemon.frames, placeholders + 1);

    daemon.unlink();
    const qint64 closed = within(2000, [&] { return lib.window == nullptr; });
    ASSERT_GE(closed, 0) << "the last reader left, the camera stayed open";
    // The grace counts from the last look that saw the reader.
    EXPECT_GE(closed, (CameraOnDemand::Grace - CameraOnDemand::LookInterval).count() - 50);
    EXPECT_LE(closed, (CameraOnDemand::Grace + CameraOnDemand::LookInterval).count() + 200);
    EXPECT_TRUE(form->WebcamBox->isChecked());
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(CameraOnDemandTest, TwentyQuickReadersLeaveTheCameraClosedAndNothingStuck)
{
    start({.webcam = true, .tray = true});
    for (int round = 0; round < 20; ++round) {
        daemon.link(output::PixelLayout::YUY2);
        ASSERT_GE(within(1000, [&] { return cameraOpen(); }), 0) << "round " << round;
        if (round % 2 == 0) {
            ASSERT_TRUE(lib.deliverPattern(round));
        }
        daemon.unlink();
        QTest::qWait(round % 3 == 0 ? 0 : 100);
    }
    ASSERT_GE(within(2000, [&] { return lib.window == nullptr; }), 0);
    EXPECT_TRUE(form->WebcamBox->isChecked());
    // And the next reader is served as the first was.
    daemon.link(output::PixelLayout::I420);
    ASSERT_GE(within(1000, [&] { return cameraOpen(); }), 0);
    ASSERT_TRUE(lib.deliverPattern(99));
    EXPECT_GT(daemon.frames, 0);
}

TEST_F(CameraOnDemandTest, TheWindowShownOrAWayThatCannotTellKeepTheCameraAsAlways)
{
    start({.webcam = true, .tray = true});
    ASSERT_GE(within(1500, [&] { return lib.window == nullptr; }), 0);
    // The window comes back: the camera runs, readers or not.
    background->apply({});
    ASSERT_GE(within(500, [&] { return cameraOpen(); }), 0);
    EXPECT_FALSE(demand->onDemand());
    QTest::qWait(CameraOnDemand::Grace.count() + 300);
    EXPECT_TRUE(cameraOpen());

    // Hidden again with a loopback node beside PipeWire, which cannot say
    // whether it is read: the camera stays open.
    simloop::System withNode({simloop::MakeNode("/dev/video5", "Stillwise")});
    form->SetWebcamSystems(withNode, pipewire);
    form->WebcamBox->click();
    ASSERT_TRUE(form->WebcamBox->isChecked());
    form->hide();
    QTest::qWait(CameraOnDemand::Grace.count() + 300);
    EXPECT_TRUE(cameraOpen());
    EXPECT_FALSE(demand->onDemand());

    // The output switched off in the tray: nobody sees the camera.
    form->WebcamBox->click();
    ASSERT_GE(within(500, [&] { return lib.window == nullptr; }), 0);
    form->SetWebcamSystems(loopback, pipewire);
}

TEST_F(CameraOnDemandTest, AStartAsBeforeOpensTheCameraAtOnceAndKeepsIt)
{
    start({});
    EXPECT_TRUE(cameraOpen());
    EXPECT_FALSE(demand->onDemand());
    // Minimised with the output off, as before: the camera runs on.
    form->showMinimized();
    QTest::qWait(CameraOnDemand::Grace.count() + 300);
    EXPECT_TRUE(cameraOpen());
}

TEST_F(CameraOnDemandTest, WithoutATrayTheMinimisedWindowLeavesTheCameraToReaders)
{
    start({.webcam = true, .tray = true}, false);
    EXPECT_TRUE(form->isMinimized());
    EXPECT_TRUE(demand->onDemand());
    QTest::qWait(CameraOnDemand::Grace.count() + 300);
    EXPECT_FALSE(cameraOpen());
    daemon.link(output::PixelLayout::NV12);
    ASSERT_GE(within(1000, [&] { return cameraOpen(); }), 0);
}

TEST_F(CameraOnDemandTest, ALoopbackNodeThatTellsItsReadersOpensTheCameraForThem)
{
    start({.tray = true});
    EXPECT_FALSE(cameraOpen()); // in the tray with the output off
    simloop::Node node = simloop::MakeNode("/dev/video5", "Stillwise");
    node.clientEvents = true;
    simloop::System told({node});
    daemon.running = false;
    form->SetWebcamSystems(told, pipewire);
    form->WebcamBox->click();
    ASSERT_TRUE(form->WebcamBox->isChecked());
    QTest::qWait(20);
    EXPECT_TRUE(demand->onDemand());
    // The node is kept ready with the placeholder while nobody reads.
    ASSERT_GE(within(1000, [&] { return told.node(0).frames > 0; }), 0);
    EXPECT_FALSE(cameraOpen());
    told.readersNow(0, 1);
    ASSERT_GE(within(1000, [&] { return cameraOpen(); }), 0);
    ASSERT_TRUE(lib.deliverPattern(3));
    told.readersNow(0, 0);
    ASSERT_GE(within(2000, [&] { return lib.window == nullptr; }), 0);
    form->SetWebcamSystems(loopback, pipewire);
}

TEST(CameraPlaceholder, IsCalmGreyWithTheIconInTheMiddle)
{
    const PictureGuard p(CameraOnDemand::Placeholder(320, 240));
    ASSERT_TRUE(p.holdsPicture());
    EXPECT_EQ(DIBWidth(p.get()), 320);
    EXPECT_EQ(DIBHeight(p.get()), 240);
    EXPECT_EQ(DIBBitCount(p.get()), 24);
    // The corners are the grey, the middle is not.
    for (int y : {0, 239}) {
        for (int x : {0, 319}) {
            EXPECT_EQ(getpixel(p.get(), x, y), 72u | 72u << 8 | 72u << 16) << x << "," << y;
        }
    }
    int differ = 0;
    for (int y = 100; y < 140; ++y)
        for (int x = 140; x < 180; ++x)
            differ += getpixel(p.get(), x, y) != (72u | 72u << 8 | 72u << 16);
    EXPECT_GT(differ, 200);
    EXPECT_FALSE(PictureGuard(CameraOnDemand::Placeholder(0, 10)).holdsPicture());
}
