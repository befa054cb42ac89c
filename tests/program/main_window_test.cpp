#include "app/DlgTreiber.h"
#include "app/MainUnit.h"
#include "app/PaneArea.h"
#include "capture/Video.h"
#include "viewer/PaintBox.h"
#include "widgets/AboutBoxUnit.h"
#include "widgets/ButtonsXP.h"
#include "widgets/ImageBtnUnit.h"
#include "widgets/MakerSite.h"
#include "widgets/SpinEdit.h"

#include "program_test_support.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

using namespace testing_program;

namespace {

bool AllBytes(const DIB& d, std::uint8_t value)
{
    const std::size_t n = std::size_t(DIBHeight(d)) * std::size_t(d.rowbytes);
    return std::all_of(d.bits, d.bits + n, [value](std::uint8_t b) { return b == value; });
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib.drivers[0] = {"Kamera A", "v1.0", 640, 480};
        lib.drivers[3] = {"Kamera B", "v2.0", 320, 240};
        form = std::make_unique<TMainForm>();
    }
    void showForm()
    {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    void typeZoom(const QString& text)
    {
        QLineEdit* editor = form->ZoomEd->findChild<QLineEdit*>();
        editor->selectAll();
        editor->del();
        QTest::keyClicks(editor, text);
    }

    FakeLibrary lib;
    CaptureErrors errors;
    ScriptedShell shell;
    std::unique_ptr<TMainForm> form;
};

TEST_F(MainWindow, StartsWithDriverZeroPreviewAndBlackPictures)
{
    EXPECT_EQ(form->windowTitle(), "Varnholt Stillwise 1.0");
    EXPECT_EQ(form->Video1->DriverIndex(), 0);
    EXPECT_TRUE(form->Video1->DriverOpen());
    EXPECT_TRUE(form->Video1->VideoPreview());
    EXPECT_EQ(form->Video1->PreviewRate(), 30);
    EXPECT_EQ(form->Video1->MicroSecPerFrame(), 40000u);
    EXPECT_FALSE(form->Video1->CapToFile());
    EXPECT_EQ(form->Video1->size(), QSize(1, 1));
    EXPECT_EQ(form->SplitPercent, 60);
    for (const DIB* d : {&form->CorrectedPic, &form->RawPic}) {
        EXPECT_EQ(DIBWidth(*d), 640);
        EXPECT_EQ(DIBHeight(*d), 480);
        EXPECT_EQ(DIBBitCount(*d), 24);
        EXPECT_TRUE(AllBytes(*d, 0));
    }
    EXPECT_EQ(form->SmoothEd->value(), 60);
    EXPECT_EQ(form->ZoomEd->value(), 100);
    EXPECT_TRUE(errors.texts.empty());

    // Captions and the tab order of the control bar.
    EXPECT_EQ(form->BitBtn1->text(), "Cam konfigurieren");
    EXPECT_EQ(form->BitBtn2->text(), "Cam Bildformat");
    EXPECT_EQ(form->SaveBtn->text(), "Schnappschuß s&peichern...");
    EXPECT_EQ(form->DriverBtn->text(), "Treiber wechseln...");
    EXPECT_EQ(form->ShnapShotBtn->text(), "&Schnappschuß");
    EXPECT_EQ(form->wwwBtn->text(), QString::fromUtf8(kMakerSite));
    const std::vector<QWidget*> order{form->BitBtn1, form->BitBtn2, form->SmoothEd, form->SaveBtn,
                                      form->ZoomEd,  form->ShnapShotBtn, form->DriverBtn};
    std::vector<QWidget*> chain;
    for (QWidget* w = order[0]; chain.size() < order.size(); w = w->nextInFocusChain())
        if (w->parentWidget() == form->Panel1 && (w->focusPolicy() & Qt::TabFocus) != 0)
            chain.push_back(w);
    EXPECT_EQ(chain, order);
}

TEST_F(MainWindow, ClosingFreesBothPicturesAndStopsPreview)
{
    const auto before = pixmill::stats().livePictures;
    form.reset();
    EXPECT_EQ(pixmill::stats().livePictures, before - 2);
    EXPECT_EQ(lib.window, nullptr);
}

TEST_F(MainWindow, FramesRenewBothPicturesAndPanesFollowTheirSize)
{
    showForm();
    ASSERT_TRUE(lib.deliverPattern(1));
    std::vector<std::uint8_t> frame = PatternFrame(640, 480, 1);
    EXPECT_TRUE(std::equal(frame.begin(), frame.end(), form->RawPic.bits));
    // Blended against the black start picture at strength 60: o = 52.
    EXPECT_EQ(form->CorrectedPic.bits[1000], std::uint8_t(52 * frame[1000] >> 7));
    EXPECT_EQ(form->PaintBox1->size(), QSize(640, 480));
    EXPECT_EQ(form->PaintBox2->size(), QSize(640, 480));

    // Another size: the first frame lays the panes out anew.
    FixedFormat small(320, 240);
    form->SetFormatSource(&small);
    std::vector<std::uint8_t> smallFrame = PatternFrame(320, 240, 2);
    VIDEOHDR h;
    h.lpData = smallFrame.data();
    h.dwBufferLength = static_cast<DWORD>(smallFrame.size());
    form->Video1Frame(form->Video1, &h);
    EXPECT_EQ(DIBWidth(form->CorrectedPic), 320);
    EXPECT_EQ(form->PaintBox1->size(), QSize(320, 240));
    EXPECT_EQ(form->PaintBox2->size(), QSize(320, 240));

    // A frame that is not 24 bits changes nothing.
    FixedFormat grey(320, 240, 8);
    form->SetFormatSource(&grey);
    const DIB kept = form->RawPic;
    form->Video1Frame(form->Video1, &h);
    EXPECT_EQ(form->RawPic.picture, kept.picture);
    form->SetFormatSource(nullptr);
}

namespace {

// Counts paint events per widget and update requests (paint cycles) of the
// window while it is installed.
struct PaintLog : QObject {
    std::map<QObject*, int> paints;
    int cycles = 0;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints[watched];
        if (event->type() == QEvent::UpdateRequest)
            ++cycles;
        return false;
    }
};

} // namespace

TEST_F(MainWindow, AFrameDrawsBothPanesAtOnceInOnePaintCycle)
{
    showForm();
    ASSERT_TRUE(lib.deliverPattern(1));
    QCoreApplication::processEvents();
    PaintLog log;
    for (QObject* o : {static_cast<QObject*>(form.get()), static_cast<QObject*>(form->PaintBox1),
                       static_cast<QObject*>(form->PaintBox2)})
        o->installEventFilter(&log);
    std::vector<std::uint8_t> frame = PatternFrame(640, 480, 2);
    VIDEOHDR h;
    h.lpData = frame.data();
    h.dwBufferLength = static_cast<DWORD>(frame.size());
    form->Video1Frame(form->Video1, &h);
    // Drawn before the handler returns, each pane once, in one cycle.
    EXPECT_EQ(log.paints[form->PaintBox1], 1);
    EXPECT_EQ(log.paints[form->PaintBox2], 1);
    EXPECT_EQ(log.cycles, 1);
    const QImage top = form->PaintBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage bottom = form->PaintBox2->grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The bottom pane shows the raw frame: its top-left pixel is the last
    // stored row's first pixel.
    const std::uint8_t* last = frame.data() + std::size_t(479) * StandardRowBytes(640, 24);
    EXPECT_EQ(bottom.pixel(0, 0), qRgb(last[2], last[1], last[0]));
    EXPECT_NE(top, bottom) << "the top pane shows the blended picture";

    // A zoom that keeps the sizes draws at once too, bottom and top together.
    log.paints.clear();
    log.cycles = 0;
    form->ZoomEdChange(form->ZoomEd);
    EXPECT_EQ(log.paints[form->PaintBox1], 1);
    EXPECT_EQ(log.paints[form->PaintBox2], 1);
    EXPECT_EQ(log.cycles, 1);
}

TEST_F(MainWindow, ZoomSetsThePaintBoxSizes)
{
    showForm();
    form->ZoomEd->setValue(33);
    EXPECT_EQ(form->PaintBox1->size(), QSize(211, 158));
    EXPECT_EQ(form->PaintBox2->size(), QSize(211, 158));
    EXPECT_FALSE(form->ScrollBox2->horizontalScrollBar()->isVisible());

    form->ZoomEd->setValue(300);
    EXPECT_EQ(form->PaintBox1->size(), QSize(1920, 1440));
    EXPECT_EQ(form->PaintBox2->size(), QSize(1920, 1440));
    QCoreApplication::processEvents();
    for (QScrollArea* box : {form->ScrollBox2, form->ScrollBox3}) {
        EXPECT_TRUE(box->horizontalScrollBar()->isVisible());
        EXPECT_TRUE(box->verticalScrollBar()->isVisible());
    }

    typeZoom("");
    EXPECT_EQ(form->PaintBox1->size(), QSize(64, 48)) << "an empty field counts as 10";
    typeZoom("0");
    EXPECT_EQ(form->PaintBox1->size(), QSize(0, 0));
    typeZoom("-50");
    EXPECT_EQ(form->PaintBox2->size(), QSize(0, 0));
    typeZoom("100");
    EXPECT_EQ(form->PaintBox2->size(), QSize(640, 480));
}

TEST_F(MainWindow, SplitFollowsThePercentageAndTheDrag)
{
    showForm();
    auto paneAreaHeight = [this](int h) {
        form->resize(form->width(), form->height() - form->Panel2->height() + h);
        QCoreApplication::processEvents();
        ASSERT_EQ(form->Panel2->height(), h);
    };
    paneAreaHeight(311);
    EXPECT_EQ(form->Panel3->height(), 186);
    EXPECT_EQ(form->Splitter1->y(), 186);
    EXPECT_EQ(form->Panel4->y(), 189);
    EXPECT_EQ(form->Panel4->height(), 311 - 189);

    paneAreaHeight(600);
    EXPECT_EQ(form->Panel3->height(), 360);

    // A real drag of the splitter bar from 360 down to 40.
    auto drag = [this](int toTop) {
        TSplitter* s = form->Splitter1;
        const QPoint start(10, 1);
        const QPoint startGlobal = s->mapToGlobal(start);
        const QPoint endGlobal = startGlobal + QPoint(0, toTop - form->Panel2->topHeight());
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(start), QPointF(startGlobal), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s, &press);
        QMouseEvent move(QEvent::MouseMove, QPointF(s->mapFromGlobal(endGlobal)), QPointF(endGlobal), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(s->mapFromGlobal(endGlobal)), QPointF(endGlobal),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(s, &release);
    };
    drag(40);
    EXPECT_EQ(form->Panel3->height(), 40) << "the pane shows as dragged";
    EXPECT_EQ(form->SplitPercent, 10) << "6 % raised to 10";
    paneAreaHeight(601);
    paneAreaHeight(600);
    EXPECT_EQ(form->Panel3->height(), 60);

    drag(560);
    EXPECT_EQ(form->Panel3->height(), 560);
    EXPECT_EQ(form->SplitPercent, 90) << "93 % lowered to 90";
    paneAreaHeight(601);
    paneAreaHeight(600);
    EXPECT_EQ(form->Panel3->height(), 540);

    drag(1); // never smaller than the splitter's minimum
    EXPECT_EQ(form->Panel3->height(), TSplitter::kMinPane);
}

TEST_F(MainWindow, DriverDialogsRunWithPreviewOffAndSwitchItOnAfterwards)
{
    form->BitBtn1Click(form->BitBtn1);
    form->BitBtn2Click(form->BitBtn2);
    ASSERT_EQ(lib.dialogs, (std::vector<UINT>{WM_CAP_DLG_VIDEOSOURCE, WM_CAP_DLG_VIDEOFORMAT}));
    EXPECT_EQ(lib.previewAtDialog, (std::vector<bool>{false, false}));
    EXPECT_TRUE(form->Video1->VideoPreview());
}

TEST_F(MainWindow, ChangeOfDriverListsTenSlotsAndClosesTheDriverMeanwhile)
{
    QStringList shown;
    int selectedAtOpen = -2;
    bool openMeanwhile = true;
    WhenModal<TDlgEinstell>([&](TDlgEinstell* d) {
        EXPECT_EQ(d->windowTitle(), "Videotreiber wechseln...");
        for (int i = 0; i < d->ComboBox1->count(); ++i)
            shown << d->ComboBox1->itemText(i);
        selectedAtOpen = d->ComboBox1->currentIndex();
        openMeanwhile = form->Video1->DriverOpen();
        d->BitBtn2->click();
    });
    form->DriverBtnClick(form->DriverBtn);
    EXPECT_EQ(shown, (QStringList{"Kamera A v1.0", "", "", "Kamera B v2.0", "", "", "", "", "", ""}));
    EXPECT_EQ(selectedAtOpen, 0);
    EXPECT_FALSE(openMeanwhile);
    // Cancel: the same driver again, preview off until asked for.
    EXPECT_EQ(form->Video1->DriverIndex(), 0);
    EXPECT_TRUE(form->Video1->DriverOpen());
    EXPECT_FALSE(form->Video1->VideoPreview());
    EXPECT_FALSE(lib.deliverPattern(1));
    EXPECT_TRUE(errors.texts.empty());
}

TEST_F(MainWindow, ChangeOfDriverToAnotherSlotStartsANewAverage)
{
    showForm();
    ASSERT_TRUE(lib.deliverPattern(1));
    WhenModal<TDlgEinstell>([](TDlgEinstell* d) {
        d->ComboBox1->setCurrentIndex(3);
        d->BitBtn1->click();
    });
    form->DriverBtnClick(form->DriverBtn);
    EXPECT_EQ(form->Video1->DriverIndex(), 3);
    EXPECT_EQ(form->Video1->DriverName(), "Kamera B");
    EXPECT_TRUE(form->Video1->DriverOpen());
    EXPECT_FALSE(lib.deliverPattern(2)) << "no frames until preview is switched on";

    form->BitBtn2Click(form->BitBtn2);
    ASSERT_TRUE(lib.deliverPattern(2));
    const std::vector<std::uint8_t> frame = PatternFrame(320, 240, 2);
    EXPECT_EQ(DIBWidth(form->CorrectedPic), 320);
    for (std::size_t i : {0u, 777u, 5000u})
        EXPECT_EQ(form->CorrectedPic.bits[i], std::uint8_t(52 * frame[i] >> 7)) << "blended with black";
    EXPECT_EQ(form->PaintBox1->size(), QSize(320, 240));
}

TEST_F(MainWindow, ChangeOfDriverToAnEmptySlotLeavesNoDriver)
{
    WhenModal<TDlgEinstell>([](TDlgEinstell* d) {
        d->ComboBox1->setCurrentIndex(5);
        d->BitBtn1->click();
    });
    form->DriverBtnClick(form->DriverBtn);
    EXPECT_EQ(form->Video1->DriverIndex(), -1);
    EXPECT_FALSE(form->Video1->DriverOpen());
    EXPECT_EQ(errors.texts, (std::vector<QString>{"Kein Videocapturetreiber ausgewählt"}));

    // Opened again with no driver selected: nothing is preselected, and OK
    // with nothing picked keeps it that way.
    int selected = 0;
    WhenModal<TDlgEinstell>([&](TDlgEinstell* d) {
        selected = d->ComboBox1->currentIndex();
        d->BitBtn1->click();
    });
    form->DriverBtnClick(form->DriverBtn);
    EXPECT_EQ(selected, -1);
    EXPECT_EQ(form->Video1->DriverIndex(), -1);
    EXPECT_EQ(errors.texts.size(), 2u);
}

// A left click on a picture button, as the mouse gives it.
void clickPicture(TImageBtn* button)
{
    const QPointF at(button->width() / 2.0, button->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(button, &release);
}

TEST_F(MainWindow, ButtonsCarryTheProgramsPictures)
{
    for (TBitBtnXP* b : {form->BitBtn1, form->BitBtn2, form->SaveBtn, form->DriverBtn, form->ShnapShotBtn}) {
        EXPECT_EQ(b->Glyph().size(), QSize(32, 16)) << b->text().toStdString();
        EXPECT_EQ(b->NumGlyphs(), 2) << b->text().toStdString();
    }
    // Picture buttons take the size of their pictures.
    EXPECT_EQ(form->ueberbtn->size(), QSize(101, 30));
    EXPECT_EQ(form->endebtn->size(), QSize(101, 30));
    EXPECT_FALSE(form->ueberbtn->Picture2().isNull());
    EXPECT_FALSE(form->wwwBtn->icon().isNull());
    EXPECT_FALSE(form->windowIcon().isNull());
}

TEST_F(MainWindow, WebButtonOpensTheMakersSite)
{
    form->wwwBtn->click();
    ASSERT_EQ(shell.opened.size(), 1u);
    EXPECT_EQ(shell.opened[0], QUrl(QString::fromUtf8(kMakerSite)));
    EXPECT_TRUE(shell.messages.empty());
    // Without a browser to start the user hears of it once per press.
    shell.desktopOpens = false;
    form->wwwBtn->click();
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].contains(QStringLiteral("ließ sich nicht im Webbrowser öffnen")));
}

TEST_F(MainWindow, EachPressOfTheAboutButtonMakesAndFreesItsOwnDialog)
{
    for (int press = 0; press < 2; ++press) {
        bool shown = false;
        WhenModal<TAboutBox>([&](TAboutBox* about) {
            shown = about->parentWidget() == form.get();
            about->reject();
        });
        clickPicture(form->ueberbtn);
        EXPECT_TRUE(shown);
        QCoreApplication::processEvents();
        EXPECT_TRUE(form->findChildren<TAboutBox*>().isEmpty());
    }
}

TEST_F(MainWindow, ExitButtonClosesTheWindow)
{
    showForm();
    clickPicture(form->endebtn);
    EXPECT_FALSE(form->isVisible());
}

} // namespace
