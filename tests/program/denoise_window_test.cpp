// The main window's noise reducers beyond the running average: motion
// sparing switched from the bar, and the N-frame mean gathered from live
// frames, cancelled when the source changes, shown like a snapshot.
// Leaves pictures of the windows in <build>/screenshots/.

#include "app/AverageGather.h"
#include "app/MainUnit.h"
#include "capture/Video.h"
#include "platform/pixmill/PixmillLibrary.h"
#include "viewer/PaintBox.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/ButtonsXP.h"
#include "widgets/SpinEdit.h"

#include "program_test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>

using namespace testing_program;

namespace {

std::vector<std::uint8_t> Bytes(const DIB& d)
{
    return {d.bits, d.bits + std::size_t(DIBHeight(d)) * std::size_t(d.rowbytes)};
}

QString ScreenshotPath(const char* name)
{
    QDir().mkpath(QStringLiteral(STILLWISE_SCREENSHOT_DIR));
    return QStringLiteral(STILLWISE_SCREENSHOT_DIR "/%1").arg(QString::fromLatin1(name));
}

class Denoise : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib.drivers[0] = {"Kamera A", "v1.0", 64, 48};
        lib.drivers[2] = {"Kamera B", "v1.0", 32, 24};
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    // Chooses "Mittelwert aus N Bildern" from the button's menu.
    void chooseMean(int frames)
    {
        const auto actions = form->AverageBtn->menu()->actions();
        for (QAction* a : actions)
            if (a->text() == QStringLiteral("Mittelwert aus %1 Bildern").arg(frames))
                a->trigger();
    }

    FakeLibrary lib;
    CaptureErrors errors;
    ScriptedShell shell;
    std::unique_ptr<TMainForm> form;
};

} // namespace

TEST_F(Denoise, ControlsFitTheFreePartOfTheBarAndStartOff)
{
    EXPECT_FALSE(form->MotionBox->isChecked());
    EXPECT_EQ(form->MotionBox->text(), "Bewegung schonen");
    EXPECT_EQ(form->ThresholdLabel->text(), "Schwelle:");
    EXPECT_EQ(form->ThresholdEd->value(), 24);
    EXPECT_EQ(form->ThresholdEd->minValue(), 1);
    EXPECT_EQ(form->ThresholdEd->maxValue(), 64);
    EXPECT_FALSE(form->AverageBtn->toolTip().isEmpty());
    ASSERT_NE(form->AverageBtn->menu(), nullptr);
    EXPECT_EQ(form->AverageBtn->menu()->actions().size(), 7);

    // Inside the bar, clear of every control that was there before.
    const QRect bar(0, 0, 688, 73);
    const QWidget* mine[] = {form->MotionBox, form->ThresholdLabel, form->ThresholdEd, form->AverageBtn};
    const QWidget* theirs[] = {form->BitBtn1, form->BitBtn2, form->SaveBtn, form->DriverBtn, form->Label2,
                               form->SmoothEd, form->Label1, form->ZoomEd, form->ShnapShotBtn};
    for (const QWidget* w : mine) {
        EXPECT_TRUE(bar.contains(w->geometry())) << w->metaObject()->className();
        for (const QWidget* other : theirs)
            EXPECT_FALSE(w->geometry().intersects(other->geometry())) << other->metaObject()->className();
        for (const QWidget* other : mine) {
            if (other != w) {
                EXPECT_FALSE(w->geometry().intersects(other->geometry()));
            }
        }
    }
    // The captions are not cut.
    EXPECT_LE(form->MotionBox->sizeHint().width(), form->MotionBox->width());
    EXPECT_LE(form->ThresholdLabel->geometry().right(), form->ThresholdEd->x());
    EXPECT_LE(form->AverageBtn->sizeHint().width(), form->AverageBtn->width());
    form->grab().save(ScreenshotPath("denoise-main-window.png"));
}

// The switch and the threshold reach the frame step: a change of 37 levels
// per byte is movement at threshold 24 (taken as it is) and noise at 40
// (blended).
TEST_F(Denoise, MotionSparingFollowsTheSwitchAndThreshold)
{
    auto corrected = [this](bool on, int threshold) {
        form->MotionBox->setChecked(on);
        form->ThresholdEd->setValue(threshold);
        form->SmoothEd->setValue(0);
        lib.deliverPattern(1); // the history: pattern 1 itself
        form->SmoothEd->setValue(60);
        lib.deliverPattern(2); // every byte 37 above pattern 1 (mod 256)
        return Bytes(form->CorrectedPic);
    };
    const auto raw1 = PatternFrame(64, 48, 1);
    const auto raw2 = PatternFrame(64, 48, 2);
    const std::vector<std::uint8_t> onLow = corrected(true, 24);
    EXPECT_EQ(Bytes(form->RawPic), raw2);
    const std::vector<std::uint8_t> onHigh = corrected(true, 40);
    const std::vector<std::uint8_t> off = corrected(false, 24);
    int wrapped = 0;
    for (std::size_t p = 0; p + 3 <= raw2.size(); p += 3) {
        // Pattern 2 is 37 above pattern 1, except where a byte wrapped past 255.
        const bool wraps = raw2[p] < raw1[p] || raw2[p + 1] < raw1[p + 1] || raw2[p + 2] < raw1[p + 2];
        wrapped += wraps;
        for (std::size_t i = p; i < p + 3; ++i) {
            ASSERT_EQ(onLow[i], raw2[i]) << "37 > 24: taken from the frame";
            ASSERT_EQ(onHigh[i], wraps ? raw2[i] : off[i]) << "37 <= 40: blended, the wrapped ones moved";
            ASSERT_NE(off[i], raw2[i]);
        }
    }
    EXPECT_GT(wrapped, 0);
}

// Four frames of known bytes give their exact mean in the viewer, shown
// like a snapshot; the live panes keep running while the frames are
// counted, and nothing is left over afterwards.
TEST_F(Denoise, MeanOfTheNextFramesOpensInTheViewer)
{
    const auto before = pixmill::stats().livePictures;
    chooseMean(4);
    ASSERT_TRUE(form->Averager->Gathering());
    QProgressDialog* progress = form->Averager->Progress();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_FALSE(progress->isModal());

    std::vector<double> total(std::size_t(64 * 3) * 48, 0.0);
    for (int seed = 1; seed <= 3; ++seed) {
        const auto frame = PatternFrame(64, 48, seed * 5);
        for (std::size_t i = 0; i < frame.size(); ++i)
            total[i] += frame[i];
        auto copy = frame;
        ASSERT_TRUE(lib.deliver(copy));
        EXPECT_EQ(Bytes(form->RawPic), frame) << "the live panes keep running";
        EXPECT_EQ(progress->value(), seed);
    }
    EXPECT_EQ(progress->labelText(), "Bild 3 von 4");
    progress->grab().save(ScreenshotPath("denoise-progress.png"));
    // Choosing again while gathering changes nothing.
    chooseMean(8);
    EXPECT_EQ(form->Averager->Frames(), 4);

    auto last = PatternFrame(64, 48, 20);
    for (std::size_t i = 0; i < last.size(); ++i)
        total[i] += last[i];
    std::vector<std::uint8_t> shown;
    std::int64_t whileOpen = 0;
    WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
        shown = Bytes(viewer->ViewPic);
        whileOpen = pixmill::stats().livePictures;
        EXPECT_EQ(DIBWidth(viewer->ViewPic), 64);
        EXPECT_EQ(DIBHeight(viewer->ViewPic), 48);
        viewer->reject();
    });
    ASSERT_TRUE(lib.deliver(last));
    EXPECT_FALSE(form->Averager->Gathering());
    EXPECT_EQ(form->Averager->Progress(), nullptr);
    // The viewer opens from the event loop, after the frame step.
    QTest::qWait(50);
    ASSERT_EQ(shown.size(), total.size());
    for (std::size_t i = 0; i < total.size(); ++i)
        ASSERT_EQ(shown[i], int(std::floor(total[i] / 4 + 0.5))) << "byte " << i;
    EXPECT_EQ(whileOpen, before + 1);
    EXPECT_EQ(pixmill::stats().livePictures, before);
    EXPECT_TRUE(form->Averager->LastMessage().isEmpty());
}

// A mean that is finished while the snapshot viewer is open waits for it
// to close, then opens on its own; the snapshot is not disturbed.
TEST_F(Denoise, MeanFinishedUnderAnOpenSnapshotWaitsForIt)
{
    const auto before = pixmill::stats().livePictures;
    lib.deliverPattern(1);
    chooseMean(4);
    std::vector<std::vector<std::uint8_t>> seen; // the viewer's picture at each opening
    int openings = 0;
    std::function<void(TViewPicForm*)> onOpen = [&](TViewPicForm* viewer) {
        ++openings;
        seen.push_back(Bytes(viewer->ViewPic));
        if (openings == 1) {
            // The snapshot is open: the frames keep coming and finish the mean.
            for (int seed = 2; seed <= 5; ++seed)
                lib.deliverPattern(seed);
            QTest::qWait(600);
            EXPECT_EQ(Bytes(viewer->ViewPic), seen[0]) << "the snapshot stays as it was";
            EXPECT_EQ(QApplication::activeModalWidget(), viewer) << "no second viewer over it";
            WhenModal<TViewPicForm>(onOpen);
        }
        viewer->reject();
    };
    WhenModal<TViewPicForm>(onOpen);
    form->ShnapShotBtnClick(form->ShnapShotBtn);
    EXPECT_TRUE(QTest::qWaitFor([&] { return openings == 2; }, 3000));
    ASSERT_EQ(seen.size(), 2u);
    std::vector<int> sum(seen[1].size(), 0);
    for (int seed = 2; seed <= 5; ++seed) {
        const auto frame = PatternFrame(64, 48, seed);
        for (std::size_t i = 0; i < sum.size(); ++i)
            sum[i] += frame[i];
    }
    for (std::size_t i = 0; i < sum.size(); ++i)
        ASSERT_EQ(seen[1][i], int(std::floor(sum[i] / 4.0 + 0.5))) << i;
    QTest::qWait(20);
    EXPECT_EQ(pixmill::stats().livePictures, before);
}

// A new frame size, a stopped source or the cancel button: gathering ends,
// the sums are gone, no viewer opens and nothing half made is left.
TEST_F(Denoise, SizeChangeStopAndCancelLeaveNothingHalfMade)
{
    const auto before = pixmill::stats().livePictures;
    bool viewerOpened = false;
    QObject::connect(form->Averager, &AverageGather::MeanReady, [&] { viewerOpened = true; });

    // A new size in the middle.
    chooseMean(8);
    lib.deliverPattern(1);
    lib.deliverPattern(2);
    EXPECT_EQ(form->Averager->Counted(), 2);
    FixedFormat small(32, 24);
    form->SetFormatSource(&small);
    auto smallFrame = PatternFrame(32, 24, 3);
    VIDEOHDR h{};
    h.lpData = smallFrame.data();
    h.dwBufferLength = static_cast<DWORD>(smallFrame.size());
    form->Video1Frame(form->Video1, &h);
    form->SetFormatSource(nullptr);
    EXPECT_FALSE(form->Averager->Gathering());
    EXPECT_EQ(form->Averager->Counted(), 0);
    EXPECT_EQ(form->Averager->LastMessage(), AverageGather::SizeChangedText());
    EXPECT_EQ(form->Averager->Progress(), nullptr);
    for (int i = 0; i < 10; ++i)
        lib.deliverPattern(i);
    QTest::qWait(20);
    EXPECT_FALSE(viewerOpened) << "frames after the cancel make no mean";
    const DIB none = form->Averager->TakeMean();
    EXPECT_EQ(none.bits, nullptr);

    // The camera stops delivering (preview off, as when it is unplugged).
    chooseMean(16);
    lib.deliverPattern(1);
    form->Video1->SetVideoPreview(false);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->Averager->Gathering(); }, 2000));
    EXPECT_EQ(form->Averager->LastMessage(), AverageGather::SourceStoppedText());
    form->Video1->SetVideoPreview(true);

    // The camera is pulled out and sends nothing, though its driver stays open.
    form->Averager->SetStallTimeout(1500);
    chooseMean(16);
    lib.deliverPattern(1);
    QTest::qWait(300);
    lib.deliverPattern(2); // still coming: keeps gathering
    QTest::qWait(600);
    EXPECT_TRUE(form->Averager->Gathering());
    EXPECT_TRUE(QTest::qWaitFor([this] { return !form->Averager->Gathering(); }, 3000));
    EXPECT_EQ(form->Averager->LastMessage(), AverageGather::SourceStoppedText());
    EXPECT_TRUE(form->Video1->VideoPreview());

    // The user's own cancel says nothing.
    chooseMean(4);
    lib.deliverPattern(1);
    QProgressDialog* progress = form->Averager->Progress();
    ASSERT_NE(progress, nullptr);
    QPushButton* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Abbrechen");
    cancel->click();
    EXPECT_FALSE(form->Averager->Gathering());
    EXPECT_TRUE(form->Averager->LastMessage().isEmpty());
    for (int i = 0; i < 5; ++i)
        lib.deliverPattern(i);
    QTest::qWait(20);
    EXPECT_FALSE(viewerOpened);

    // The camera's format dialog stops the preview: that cancels first.
    chooseMean(4);
    lib.deliverPattern(1);
    form->BitBtn2Click(form->BitBtn2);
    EXPECT_FALSE(form->Averager->Gathering());
    EXPECT_EQ(form->Averager->LastMessage(), AverageGather::PreviewStoppedText());
    EXPECT_TRUE(form->Video1->VideoPreview());

    // A change of driver, chosen from its dialog, cancels before the driver closes.
    chooseMean(4);
    lib.deliverPattern(1);
    WhenModal<QDialog>([](QDialog* d) { d->reject(); });
    form->DriverBtnClick(form->DriverBtn);
    EXPECT_FALSE(form->Averager->Gathering());
    EXPECT_EQ(form->Averager->LastMessage(), AverageGather::DriverChangedText());

    QTest::qWait(20); // the message boxes and progress windows go
    EXPECT_EQ(pixmill::stats().livePictures, before);
}

// Pictures for the documentation: a bright square moving over a still,
// noisy background, smoothed plainly and with motion sparing; and the mean
// of 16 noisy frames in the viewer.
TEST_F(Denoise, PicturesOfBothFeatures)
{
    lib.drivers[0] = {"Kamera A", "v1.0", 320, 120};
    form->Video1->SetDriverOpen(false);
    form->Video1->SetDriverOpen(true);
    form->Video1->SetVideoPreview(true);
    form->resize(688, 453);
    std::mt19937 rng(1);
    auto frame = [&rng](int k) {
        std::vector<std::uint8_t> bytes(320 * 3 * 120);
        std::uniform_int_distribution<int> step(-10, 10);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 320; ++x) {
                const bool square = x >= 10 + 8 * k && x < 40 + 8 * k && y >= 45 && y < 75;
                for (int c = 0; c < 3; ++c) {
                    const int base = c == 2 ? 150 : c == 1 ? 110 : 80; // a warm grey (bytes are B, G, R)
                    bytes[std::size_t(y) * 960 + x * 3 + c] =
                        std::uint8_t(square ? 240 : std::clamp(base + step(rng) + step(rng), 0, 255));
                }
            }
        return bytes;
    };
    for (bool on : {false, true}) {
        form->MotionBox->setChecked(on);
        for (int k = 0; k < 28; ++k) {
            auto f = frame(k);
            lib.deliver(f);
        }
        QTest::qWait(20);
        form->grab().save(ScreenshotPath(on ? "denoise-motion-on.png" : "denoise-motion-off.png"));
    }

    // Poor light: dim bars under heavy noise. One frame against the mean of 16.
    auto dim = [&rng] {
        std::vector<std::uint8_t> bytes(320 * 3 * 120);
        std::uniform_int_distribution<int> step(-14, 14);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 320; ++x)
                for (int c = 0; c < 3; ++c) {
                    const int bar = 20 + 12 * (x / 40) + (c == 2 ? 10 : 0) + (y >= 60 ? 15 : 0);
                    bytes[std::size_t(y) * 960 + x * 3 + c] =
                        std::uint8_t(std::clamp(bar + step(rng) + step(rng), 0, 255));
                }
        return bytes;
    };
    form->MotionBox->setChecked(false);
    form->SmoothEd->setValue(0);
    chooseMean(16);
    QImage oneFrame;
    WhenModal<TViewPicForm>([&oneFrame](TViewPicForm* viewer) {
        viewer->resize(520, 260);
        QTest::qWait(20);
        viewer->grab().save(ScreenshotPath("denoise-mean-viewer.png"));
        const QImage mean = viewer->PaintBox1->grab().toImage();
        QImage both(oneFrame.width() * 2 + 8, oneFrame.height(), QImage::Format_RGB32);
        both.fill(Qt::white);
        QPainter p(&both);
        p.drawImage(0, 0, oneFrame);
        p.drawImage(oneFrame.width() + 8, 0, mean);
        p.end();
        both.save(ScreenshotPath("denoise-mean-compare.png"));
        viewer->reject();
    });
    for (int k = 0; k < 16; ++k) {
        auto f = dim();
        lib.deliver(f);
        if (k == 0)
            oneFrame = form->PaintBox2->grab().toImage();
    }
    QTest::qWait(100);
    EXPECT_FALSE(form->Averager->Gathering());
}
