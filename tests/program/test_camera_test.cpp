// The program as a person sees it, with the capture library's own drivers:
// on a machine without a camera, the built-in test camera in slot 0.
// Pictures of the windows go to <build>/screenshots/.

#include "app/DlgTreiber.h"
#include "app/Language.h"
#include "app/FormatNotice.h"
#include "app/MainUnit.h"
#include "capture/Video.h"
#include "platform/avicap/VideoWindow.h"
#include "viewer/PaintBox.h"
#include "viewer/PictureFile.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/SpinEdit.h"

#include "program_test_support.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include <linux/videodev2.h>

using namespace testing_program;

namespace {

const QString kScreenshots = QStringLiteral(STILLWISE_SCREENSHOT_DIR);

void SaveScreenshot(QWidget* w, const QString& name)
{
    QDir().mkpath(kScreenshots);
    EXPECT_TRUE(w->grab().save(QDir(kScreenshots).filePath(name))) << name.toStdString();
}

// Waits until the raw picture has been renewed n times; answers whether it was.
bool WaitForFrames(TMainForm& form, int n)
{
    QElapsedTimer clock;
    clock.start();
    int seen = 0;
    std::vector<std::uint8_t> last;
    while (seen < n && clock.elapsed() < 10000) {
        QTest::qWait(5);
        const DIB& raw = form.RawPic;
        std::vector<std::uint8_t> now(raw.bits, raw.bits + std::size_t(DIBHeight(raw)) * std::size_t(raw.rowbytes));
        if (now != last) {
            ++seen;
            last.swap(now);
        }
    }
    return seen >= n;
}

// Mean absolute difference between two pictures of one size, per byte.
double MeanChange(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

std::vector<std::uint8_t> Bytes(const DIB& d)
{
    return {d.bits, d.bits + std::size_t(DIBHeight(d)) * std::size_t(d.rowbytes)};
}

TEST(TestCamera, LiveFramesReachBothPanesAndTheSmoothingShows)
{
    ASSERT_TRUE(InstallGermanLanguage(*QCoreApplication::instance()));
    CaptureErrors errors;
    ScriptedShell shell;
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(form.Video1->VideoPreview()) << "slot 0 must hold a driver: " << form.Video1->DriverName().toStdString();
    ASSERT_TRUE(WaitForFrames(form, 20)) << "no live frames from slot 0";
    EXPECT_TRUE(errors.texts.empty());

    // One frame step has already drawn both panes: they show exactly the two
    // pictures, at the zoom of 100 %.
    EXPECT_EQ(form.PaintBox1->size(), QSize(DIBWidth(form.CorrectedPic), DIBHeight(form.CorrectedPic)));
    EXPECT_EQ(Grab(form.PaintBox1), ImageFromDIB(form.CorrectedPic).convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(Grab(form.PaintBox2), ImageFromDIB(form.RawPic).convertToFormat(QImage::Format_RGB32));

    // The raw frames are visibly noisy; the corrected picture changes much
    // less from one frame to the next.
    const std::vector<std::uint8_t> raw0 = Bytes(form.RawPic), cor0 = Bytes(form.CorrectedPic);
    ASSERT_TRUE(WaitForFrames(form, 2));
    const double rawChange = MeanChange(raw0, Bytes(form.RawPic));
    const double corChange = MeanChange(cor0, Bytes(form.CorrectedPic));
    EXPECT_GT(rawChange, 2.0);
    EXPECT_LT(corChange, rawChange * 0.7) << rawChange << " " << corChange;

    SaveScreenshot(&form, "main-window.png");

    // The snapshot viewer over the running program, and the driver dialog.
    WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
        QTest::qWait(100);
        SaveScreenshot(viewer, "viewer.png");
        viewer->ZoomEd->setValue(50);
        QTest::qWait(50);
        SaveScreenshot(viewer, "viewer-50.png");
        viewer->ReadyBtn->click();
    });
    form.ShnapShotBtnClick(form.ShnapShotBtn);

    WhenModal<TDlgEinstell>([&](TDlgEinstell* d) {
        QTest::qWait(20);
        SaveScreenshot(d, "driver-dialog.png");
        d->BitBtn2->click();
    });
    form.DriverBtnClick(form.DriverBtn);
    EXPECT_TRUE(form.Video1->DriverOpen());

    // The save dialog as Qt draws it, in German.
    QString title;
    WhenModal<QFileDialog>([&](QFileDialog* d) {
        QTest::qWait(50);
        title = d->windowTitle();
        SaveScreenshot(d, "save-dialog.png");
        d->reject();
    });
    desktop::Shell desktopShell;
    QString filter;
    EXPECT_TRUE(desktopShell.saveFileName(&form, "Schnappschuß speichern", QDir::temp().filePath("x.png"),
                                          PictureFileFilters(), &filter).isEmpty());
    EXPECT_EQ(title, "Schnappschuß speichern");

    form.ZoomEd->setValue(300);
    form.Video1->SetVideoPreview(true);
    ASSERT_TRUE(WaitForFrames(form, 2));
    SaveScreenshot(&form, "main-window-300.png");
}

} // namespace

TEST(TestCamera, GreyFramesTheFrameStepIgnoresAreSaidSoOnBothPanes)
{
    CaptureErrors errors;
    ScriptedShell shell;
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(form.Video1->VideoPreview());
    ASSERT_TRUE(WaitForFrames(form, 2));
    const auto notices = form.findChildren<QLabel*>(QStringLiteral("FormatNotice"));
    ASSERT_EQ(notices.size(), 2u);
    for (QLabel* notice : notices)
        EXPECT_FALSE(notice->isVisible());

    auto* window = static_cast<avicap::VideoWindow*>(form.Video1->CaptureWindowHandle());
    camera::FormatSet& formats = *window->driver()->formats();
    const camera::FormatSetting colour = formats.current();
    ASSERT_TRUE(formats.apply({V4L2_PIX_FMT_GREY, colour.width, colour.height, colour.interval}));
    QElapsedTimer clock;
    clock.start();
    while (!form.Notice->shown() && clock.elapsed() < 5000)
        QTest::qWait(10);
    for (QLabel* notice : notices) {
        EXPECT_TRUE(notice->isVisible());
        EXPECT_EQ(notice->text(), QStringLiteral("Dieses Bildformat kann nicht angezeigt werden"));
        EXPECT_GT(notice->width(), 100);
        // Black text on light yellow, as a notice should look.
        const QImage look = notice->grab().toImage();
        EXPECT_EQ(look.pixelColor(2, 2), QColor(255, 255, 225));
        int dark = 0;
        for (int y = 0; y < look.height(); ++y)
            for (int x = 0; x < look.width(); ++x)
                dark += qGray(look.pixel(x, y)) < 64;
        EXPECT_GT(dark, 100);
    }
    SaveScreenshot(&form, "main-window-grey-format.png");

    // Colour frames again: the notice goes and the panes move on.
    ASSERT_TRUE(formats.apply(colour));
    ASSERT_TRUE(WaitForFrames(form, 2));
    for (QLabel* notice : notices)
        EXPECT_FALSE(notice->isVisible());
    EXPECT_TRUE(errors.texts.empty());
}
