// Running in the background: the start options, the tray menu, closing the
// window while the webcam output is on, and the window minimised where the
// desktop has no tray. The offscreen platform has no tray; the tests tell
// Background whether one exists.

#include "app/Autostart.h"
#include "app/Background.h"
#include "app/MainUnit.h"
#include "app/TrayIcon.h"
#include "capture/Video.h"
#include "widgets/SpinEdit.h"

#include "program_test_support.h"
#include "tests/output/SimulatedLoopback.h"
#include "tests/output/SimulatedPipeWire.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace testing_program;

namespace {

class BackgroundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib.drivers[0] = {"Kamera A", "v1.0", 640, 480};
        form = std::make_unique<TMainForm>();
        form->SetWebcamSystems(loopback, pipewire);
    }
    void TearDown() override
    {
        background.reset();
        form.reset();
    }

    void make(bool tray)
    {
        background = std::make_unique<Background>(*form, autostart, [tray] { return tray; }, [this] { ++quits; });
    }
    void settle() { QTest::qWait(20); }
    bool closeWindow() { return form->close(); }

    QTemporaryDir config;
    AutostartEntry autostart{config.path() + QStringLiteral("/autostart"), QStringLiteral("/usr/bin/stillwise")};
    FakeLibrary lib;
    ScriptedShell shell;
    simloop::System loopback{{simloop::MakeNode("/dev/video5", "Stillwise")}};
    simpw::Daemon daemon;
    simpw::System pipewire{daemon};
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<Background> background;
    int quits = 0;
};

QStringList Captions(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    return texts;
}

} // namespace

TEST_F(BackgroundTest, WithoutOptionsTheFirstStartIsAsItAlwaysWas)
{
    make(false);
    background->start({});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_FALSE(form->isMinimized());
    EXPECT_FALSE(form->WebcamBox->isChecked());
    EXPECT_TRUE(form->Video1->VideoPreview());
    EXPECT_EQ(background->tray(), nullptr);
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    // The webcam output on, no tray: the close button closes as before.
    form->WebcamBox->click();
    ASSERT_TRUE(form->WebcamBox->isChecked());
    EXPECT_TRUE(closeWindow());
    EXPECT_FALSE(form->isVisible());
    settle();
    EXPECT_EQ(quits, 0); // Qt's last-window rule ends the program, as before
}

TEST_F(BackgroundTest, WithoutATrayTheTrayOptionMinimisesTheWindow)
{
    make(false);
    background->start({.webcam = true, .tray = true});
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->isMinimized());
    EXPECT_TRUE(form->WebcamBox->isChecked());
    EXPECT_TRUE(shell.messages.empty());
    // A later start without --tray brings the window up.
    background->apply({});
    EXPECT_FALSE(form->isMinimized());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(BackgroundTest, TheTrayMenuHoldsTheWindowTheWebcamTheSmoothingLoginAndQuit)
{
    make(true);
    background->start({});
    TrayIcon* tray = background->tray();
    ASSERT_NE(tray, nullptr);
    EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
    emit tray->menu()->aboutToShow();
    EXPECT_EQ(Captions(tray->menu()),
              (QStringList{QStringLiteral("Fenster verbergen"), QStringLiteral("Als Webcam ausgeben"),
                           QStringLiteral("Auto-Glättung"), QStringLiteral("Beim Anmelden starten"),
                           QStringLiteral("Beenden")}));
    EXPECT_FALSE(tray->webcamAction->isChecked());
    EXPECT_EQ(tray->state(), WebcamState::Off);

    // The webcam from the menu, and back.
    tray->webcamAction->trigger();
    EXPECT_TRUE(form->WebcamBox->isChecked());
    EXPECT_TRUE(tray->webcamAction->isChecked());
    EXPECT_EQ(tray->state(), WebcamState::Waiting);
    tray->webcamAction->trigger();
    EXPECT_FALSE(form->WebcamBox->isChecked());
    EXPECT_EQ(tray->state(), WebcamState::Off);

    // The automatic smoothing.
    const bool autoBefore = form->AutoBox->isChecked();
    tray->autoAction->trigger();
    EXPECT_NE(form->AutoBox->isChecked(), autoBefore);
    EXPECT_EQ(tray->autoAction->isChecked(), form->AutoBox->isChecked());
    tray->autoAction->trigger();
    EXPECT_EQ(form->AutoBox->isChecked(), autoBefore);

    // Start at login: the entry comes and goes with the tick.
    tray->loginAction->trigger();
    EXPECT_TRUE(autostart.enabled());
    EXPECT_TRUE(tray->loginAction->isChecked());
    tray->loginAction->trigger();
    EXPECT_FALSE(autostart.enabled());
    EXPECT_FALSE(tray->loginAction->isChecked());

    // Hide and show.
    tray->windowAction->trigger();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(tray->windowAction->text(), QStringLiteral("Fenster zeigen"));
    emit tray->clicked();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(tray->windowAction->text(), QStringLiteral("Fenster verbergen"));

    // For the README: the menu as Qt draws it, with the output on and read,
    // beside the icon in its three states on a dark and a light panel.
    form->WebcamBox->click();
    emit tray->menu()->aboutToShow();
    tray->menu()->adjustSize();
    const QPixmap menu = tray->menu()->grab();
    const int icon = 24, gap = 8;
    QImage shot(menu.width() + 3 * (icon + gap) + gap, std::max(menu.height(), 2 * (icon + gap) + gap),
                QImage::Format_RGB32);
    shot.fill(Qt::white);
    QPainter painter(&shot);
    painter.drawPixmap(0, 0, menu);
    int x = menu.width() + gap;
    painter.fillRect(x - gap / 2, 0, shot.width() - x + gap / 2, icon + 2 * gap, QColor(48, 48, 48));
    for (WebcamState state : {WebcamState::Off, WebcamState::Waiting, WebcamState::Read}) {
        const QPixmap picture = TrayIcon::Picture(state).pixmap(icon);
        painter.drawPixmap(x, gap, picture);
        painter.drawPixmap(x, icon + 2 * gap, picture);
        x += icon + gap;
    }
    painter.end();
    QDir().mkpath(QStringLiteral(STILLWISE_SCREENSHOT_DIR));
    EXPECT_TRUE(shot.save(QStringLiteral(STILLWISE_SCREENSHOT_DIR "/tray-menu.png")));
    form->WebcamBox->click();

    tray->quitAction->trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(BackgroundTest, ClosingWithTheWebcamOnKeepsRunningInTheTrayAndSaysSoOnce)
{
    make(true);
    background->start({});
    TrayIcon* tray = background->tray();
    ASSERT_NE(tray, nullptr);
    form->WebcamBox->click();
    ASSERT_TRUE(form->WebcamBox->isChecked());
    const int driverSlot = form->Video1->DriverIndex();
    const int smoothing = form->SmoothEd->value();

    EXPECT_FALSE(closeWindow());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(tray->notesSaid(), 1);
    emit tray->clicked();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(closeWindow());
    EXPECT_EQ(tray->notesSaid(), 1);
    settle();
    EXPECT_EQ(quits, 0);

    // Through the tray and back, the window's state is as it was.
    emit tray->clicked();
    EXPECT_TRUE(form->WebcamBox->isChecked());
    EXPECT_EQ(form->Video1->DriverIndex(), driverSlot);
    EXPECT_EQ(form->SmoothEd->value(), smoothing);

    // The exit button ends the program, webcam or not.
    form->endebtnClick(form->endebtn);
    EXPECT_FALSE(form->isVisible());
    settle();
    EXPECT_EQ(quits, 1);
}

TEST_F(BackgroundTest, ClosingWithTheWebcamOffEndsTheProgramAlsoWithATray)
{
    make(true);
    background->start({});
    EXPECT_TRUE(closeWindow());
    settle();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(background->tray()->notesSaid(), 0);
}

TEST_F(BackgroundTest, TheTrayOptionStartsWithoutAWindowAndLaterStartsAreObeyed)
{
    make(true);
    background->start({.webcam = true, .tray = true});
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(form->WebcamBox->isChecked());
    EXPECT_EQ(background->tray()->state(), WebcamState::Waiting);

    // A later "stillwise --tray" changes nothing, "stillwise" shows the window.
    background->apply({.tray = true});
    EXPECT_FALSE(form->isVisible());
    background->apply({});
    EXPECT_TRUE(form->isVisible());

    // A later "stillwise --tray --webcam" switches the output on again.
    form->WebcamBox->click();
    ASSERT_FALSE(form->WebcamBox->isChecked());
    background->apply({.webcam = true, .tray = true});
    EXPECT_TRUE(form->WebcamBox->isChecked());
}

TEST_F(BackgroundTest, TheIconShowsAReaderOfThePipeWireNode)
{
    make(true);
    background->start({.webcam = true, .tray = true});
    TrayIcon* tray = background->tray();
    ASSERT_TRUE(lib.deliverPattern(1)); // the node appears with a picture
    EXPECT_EQ(tray->state(), WebcamState::Waiting);
    daemon.link(output::PixelLayout::YUY2);
    emit tray->menu()->aboutToShow();
    EXPECT_EQ(tray->state(), WebcamState::Read);
    EXPECT_TRUE(tray->menu()->isEnabled());
    daemon.unlink();
    // Followed without a hand on the menu, within the look's pace.
    QTest::qWait(1300);
    EXPECT_EQ(tray->state(), WebcamState::Waiting);

    // Three different pictures, the reader's one with a red mark.
    const QImage off = TrayIcon::Picture(WebcamState::Off).pixmap(32).toImage();
    const QImage waiting = TrayIcon::Picture(WebcamState::Waiting).pixmap(32).toImage();
    const QImage read = TrayIcon::Picture(WebcamState::Read).pixmap(32).toImage();
    EXPECT_NE(off, waiting);
    EXPECT_NE(waiting, read);
    const QColor mark = read.pixelColor(26, 26);
    EXPECT_GT(mark.red(), 150);
    EXPECT_LT(mark.green(), 80);
}

TEST_F(BackgroundTest, TheWebcamOptionWithoutAWayOutSaysWhy)
{
    simloop::System none;
    daemon.running = false;
    form->SetWebcamSystems(none, pipewire);
    make(false);
    background->start({.webcam = true});
    EXPECT_FALSE(form->WebcamBox->isChecked());
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].contains(QStringLiteral("v4l2loopback")));
}

TEST_F(BackgroundTest, ATrayThatComesUpLaterTakesTheMinimisedWindow)
{
    bool trayThere = false;
    background = std::make_unique<Background>(*form, autostart, [&] { return trayThere; }, [this] { ++quits; });
    background->start({.tray = true});
    EXPECT_TRUE(form->isMinimized());
    EXPECT_EQ(background->tray(), nullptr);
    trayThere = true;
    QTest::qWait(2300);
    ASSERT_NE(background->tray(), nullptr);
    EXPECT_FALSE(form->isVisible());
}
