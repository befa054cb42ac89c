#include "app/MainUnit.h"
#include "capture/Video.h"
#include "viewer/PaintBox.h"
#include "viewer/PictureFile.h"
#include "platform/print/Printer.h"
#include "viewer/PrintFUnit.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/SpinEdit.h"

#include "program_test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace testing_program;

namespace {

QImage Shown(const DIB& d)
{
    return ImageFromDIB(d).convertToFormat(QImage::Format_RGB32);
}

std::vector<std::uint8_t> Bytes(const DIB& d)
{
    return {d.bits, d.bits + std::size_t(DIBHeight(d)) * std::size_t(d.rowbytes)};
}

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        lib.drivers[0] = {"Kamera A", "v1.0", 640, 480};
        form = std::make_unique<TMainForm>();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }

    FakeLibrary lib;
    CaptureErrors errors;
    ScriptedShell shell;
    std::unique_ptr<TMainForm> form;
};

TEST_F(Program, PanesShowTheCorrectedAndTheRawPicture)
{
    for (int seed = 1; seed <= 3; ++seed)
        ASSERT_TRUE(lib.deliverPattern(seed));
    EXPECT_EQ(Grab(form->PaintBox1), Shown(form->CorrectedPic));
    EXPECT_EQ(Grab(form->PaintBox2), Shown(form->RawPic));
    EXPECT_NE(Shown(form->CorrectedPic), Shown(form->RawPic));
}

TEST_F(Program, SnapshotStaysStillWhileFramesGoOnBehindTheViewer)
{
    ASSERT_TRUE(lib.deliverPattern(1));
    const std::vector<std::uint8_t> atClick = Bytes(form->CorrectedPic);
    bool looked = false;
    WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
        EXPECT_EQ(viewer->windowTitle(), "Bild betrachten...");
        EXPECT_NE(viewer->ViewPic.bits, form->CorrectedPic.bits) << "a copy with its own pixels";
        for (int seed = 2; seed <= 4; ++seed)
            EXPECT_TRUE(lib.deliverPattern(seed)) << "preview stays on";
        EXPECT_NE(Bytes(form->CorrectedPic), atClick) << "the main window follows the frames";
        EXPECT_EQ(Bytes(viewer->ViewPic), atClick);
        EXPECT_EQ(Grab(form->PaintBox1), Shown(form->CorrectedPic));
        // The viewer's box takes its size one side per paint; on a busy
        // machine those paints may still be queued when the timer fires.
        QElapsedTimer settle;
        settle.start();
        do
            QCoreApplication::processEvents();
        while (viewer->PaintBox1->size() != viewer->ZoomedSize() && settle.elapsed() < 2000);
        EXPECT_EQ(Grab(viewer->PaintBox1), Shown(viewer->ViewPic));
        looked = true;
        viewer->ReadyBtn->click();
    });
    form->ShnapShotBtnClick(form->ShnapShotBtn);
    EXPECT_TRUE(looked);
    EXPECT_EQ(form->ViewPicForm->ViewPic.info, nullptr) << "the viewer keeps no record of the freed picture";
}

TEST_F(Program, EverySnapshotIsFreedWhenItsViewerCloses)
{
    const auto before = pixmill::stats().livePictures;
    for (int round = 0; round < 2; ++round) {
        std::int64_t whileOpen = 0;
        WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
            whileOpen = pixmill::stats().livePictures;
            viewer->reject(); // the close box
        });
        form->ShnapShotBtnClick(form->ShnapShotBtn);
        EXPECT_EQ(whileOpen, before + 1);
        EXPECT_EQ(pixmill::stats().livePictures, before);
    }
}

TEST_F(Program, SavingWritesThePictureOfTheMomentOfTheClick)
{
    QTemporaryDir dir;
    ASSERT_TRUE(lib.deliverPattern(1));
    const QImage atClick = Shown(form->CorrectedPic);
    shell.answers = {dir.filePath("jetzt.png")};
    shell.whileDialogOpen = [this] { lib.deliverPattern(2); };
    form->SaveBtn->click();
    EXPECT_NE(Shown(form->CorrectedPic), atClick);
    EXPECT_EQ(QImage(dir.filePath("jetzt.png")).convertToFormat(QImage::Format_RGB32), atClick);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Program, ViewerSavesAndOpensTheSnapshot)
{
    QTemporaryDir dir;
    ASSERT_TRUE(lib.deliverPattern(1));
    const QImage snapshot = Shown(form->CorrectedPic);
    shell.answers = {dir.filePath("a.jpg"), dir.filePath("b.bmp")};
    WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
        viewer->SaveBtn->click();
        viewer->SaveandOpenBtn->click();
        viewer->ReadyBtn->click();
    });
    form->ShnapShotBtnClick(form->ShnapShotBtn);
    EXPECT_EQ(QImageReader(dir.filePath("a.jpg")).format(), QByteArray("jpeg"));
    EXPECT_EQ(QImage(dir.filePath("b.bmp")).convertToFormat(QImage::Format_RGB32), snapshot);
    ASSERT_EQ(shell.opened.size(), 1u) << "only the second button opens the file";
    EXPECT_EQ(shell.opened[0], QUrl::fromLocalFile(dir.filePath("b.bmp")));
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Program, ViewerSaysWhenTheSavedSnapshotCannotBeOpened)
{
    QTemporaryDir dir;
    ASSERT_TRUE(lib.deliverPattern(1));
    shell.desktopOpens = false;
    shell.answers = {dir.filePath("c.png")};
    WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
        viewer->SaveandOpenBtn->click();
        viewer->ReadyBtn->click();
    });
    form->ShnapShotBtnClick(form->ShnapShotBtn);
    EXPECT_TRUE(QFile::exists(dir.filePath("c.png")));
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.messages[0].startsWith(
        QStringLiteral("Die Datei „%1“ ist gespeichert, ließ sich aber nicht öffnen.")
            .arg(QDir::toNativeSeparators(dir.filePath("c.png")))))
        << shell.messages[0].toStdString();
}

// A printer that is always there and prints nowhere.
struct PaperlessPrinter : print::Printer {
    QImage page{100, 140, QImage::Format_RGB32};
    std::unique_ptr<QPainter> painter;
    QSize PageSize() override { return page.size(); }
    void BeginDoc(const QString&) override { painter = std::make_unique<QPainter>(&page); }
    void EndDoc() override { painter.reset(); }
    void Abort() noexcept override { painter.reset(); }
    bool Printing() const override { return painter != nullptr; }
    QPainter& Canvas() override { return *painter; }
    bool Setup(QWidget*) override { return false; }
};

TEST_F(Program, PrintButtonLendsTheSnapshotToAFreshPrintDialog)
{
    QTemporaryDir config; // the print dialog keeps its settings there
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    PaperlessPrinter printer;
    print::ScopedPrinter usePrinter(printer);
    ASSERT_TRUE(lib.deliverPattern(1));
    const std::uint8_t* lent = nullptr;
    const std::uint8_t* snapshot = nullptr;
    WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
        snapshot = viewer->ViewPic.bits;
        WhenModal<TPrintForm>([&](TPrintForm* print) {
            lent = print->PrintPic.bits;
            print->reject();
        });
        viewer->PrintBrn->click();
        viewer->ReadyBtn->click();
    });
    form->ShnapShotBtnClick(form->ShnapShotBtn);
    ASSERT_NE(snapshot, nullptr);
    EXPECT_EQ(lent, snapshot);
    qunsetenv("XDG_CONFIG_HOME");
}

// The viewer on its own, with a picture lent to it as the snapshot action does.
class Viewer : public ::testing::Test {
protected:
    void show(int w, int h)
    {
        picture = newdib(w, h, 24, nullptr, 0);
        for (int y = 0; y < h; y += 7)
            for (int x = 0; x < w; x += 5)
                setpixel(picture, x, y, std::uint32_t(x * 1000 + y));
        viewer.ViewPic = picture;
        viewer.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    }
    void TearDown() override
    {
        viewer.hide();
        viewer.ViewPic = DIB{};
        deldib(picture);
    }
    void zoom(int z)
    {
        viewer.ZoomEd->setValue(z);
        QCoreApplication::processEvents();
    }
    void drag(Qt::MouseButton button, QPoint from, QPoint to)
    {
        TPaintBox* box = viewer.PaintBox1;
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(from), QPointF(box->mapToGlobal(from)), button, button,
                          Qt::NoModifier);
        QApplication::sendEvent(box, &press);
        QMouseEvent move(QEvent::MouseMove, QPointF(to), QPointF(box->mapToGlobal(to)), Qt::NoButton, button,
                         Qt::NoModifier);
        QApplication::sendEvent(box, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), QPointF(box->mapToGlobal(to)), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(box, &release);
    }
    QScrollBar* hbar() { return viewer.ScrollBox1->horizontalScrollBar(); }
    QScrollBar* vbar() { return viewer.ScrollBox1->verticalScrollBar(); }

    TViewPicForm viewer;
    DIB picture;
};

TEST_F(Viewer, ZoomSizesTheSurface)
{
    EXPECT_EQ(viewer.PaintBox1->size(), QSize(105, 105));
    EXPECT_EQ(viewer.ZoomEd->minValue(), 5);
    EXPECT_EQ(viewer.ZoomEd->maxValue(), 9000);
    show(320, 240);
    zoom(100);
    EXPECT_EQ(viewer.PaintBox1->size(), QSize(320, 240));
    EXPECT_EQ(Grab(viewer.PaintBox1), Shown(picture));
    zoom(5);
    EXPECT_EQ(viewer.PaintBox1->size(), QSize(16, 12));
    zoom(9000);
    EXPECT_EQ(viewer.PaintBox1->size(), QSize(28800, 21600));

    QLineEdit* editor = viewer.ZoomEd->findChild<QLineEdit*>();
    editor->clear();
    EXPECT_EQ(viewer.PaintBox1->size(), QSize(16, 21600)) << "the width first; the repaint brings the height";
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer.PaintBox1->size(), QSize(16, 12)) << "an empty field counts as 5";
}

TEST_F(Viewer, ZoomCutsTowardZero)
{
    show(639, 479);
    zoom(25);
    EXPECT_EQ(viewer.PaintBox1->size(), QSize(159, 119));
}

TEST_F(Viewer, DraggingWithAnyButtonPansUpToTheEdges)
{
    show(640, 480);
    zoom(300);
    const int maxX = hbar()->maximum(), maxY = vbar()->maximum();
    ASSERT_GT(maxX, 0);
    ASSERT_GT(maxY, 0);
    EXPECT_EQ(maxX, 1920 - viewer.ScrollBox1->viewport()->width());

    drag(Qt::LeftButton, {300, 300}, {250, 260});
    EXPECT_EQ(hbar()->value(), 50);
    EXPECT_EQ(vbar()->value(), 40);
    drag(Qt::RightButton, {400, 400}, {380, 400});
    EXPECT_EQ(hbar()->value(), 70);
    EXPECT_EQ(vbar()->value(), 40);
    drag(Qt::MiddleButton, {500, 500}, {500, 505});
    EXPECT_EQ(vbar()->value(), 35);

    drag(Qt::LeftButton, {500, 500}, {500, -5000}); // far beyond the bottom edge
    EXPECT_EQ(vbar()->value(), maxY);
    EXPECT_EQ(hbar()->value(), 70) << "a vertical drag moves only the vertical position";
    drag(Qt::LeftButton, {500, 500}, {5000, 5000});
    EXPECT_EQ(hbar()->value(), 0);
    EXPECT_EQ(vbar()->value(), 0);

    // Without a button down, moving does not pan.
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(viewer.PaintBox1->mapToGlobal(QPoint(10, 10))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewer.PaintBox1, &move);
    EXPECT_EQ(hbar()->value(), 0);
}

} // namespace
