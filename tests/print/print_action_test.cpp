// The viewer's print action against a printer that draws into an image: one
// page per confirmed dialog, laid out on the real page, nothing on cancel,
// and a job that fails half-way does not block the next one.

#include "FakePrinter.h"
#include "PrintTestSupport.h"

#include "platform/print/PrintJob.h"
#include "viewer/PrintAction.h"
#include "viewer/PrintFUnit.h"
#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

int printForms()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<TPrintForm*>(w) != nullptr;
    return n;
}

using PrintActionTest = FakePrinterTest;

TEST_F(PrintActionTest, OkPrintsOnePageWithThePictureFillingThePageWidth)
{
    WhenPrintDialogOpens([](TPrintForm& form) { form.OkBitBtn1->click(); });
    PrintPicture(nullptr, picture);
    QApplication::processEvents();

    EXPECT_TRUE(ShownErrors().isEmpty()) << ShownErrors().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(1, printer.begun);
    EXPECT_EQ(1, printer.ended);
    EXPECT_EQ(0, printer.aborted);
    EXPECT_EQ(QStringLiteral("Lumora Bild"), printer.title);
    EXPECT_EQ(0, printForms());

    // 480 x 660 page: the picture at (0, 150), 480 x 360.
    const QImage& page = printer.printed;
    ASSERT_EQ(QSize(480, 660), page.size());
    EXPECT_EQ(QColor(Qt::white), page.pixelColor(240, 148));
    EXPECT_TRUE(SameColour(kTopLeft, page.pixelColor(1, 151), 8));
    EXPECT_TRUE(SameColour(kTopRight, page.pixelColor(478, 151), 8));
    EXPECT_TRUE(SameColour(kBottomLeft, page.pixelColor(1, 508), 8));
    EXPECT_TRUE(SameColour(kBottomRight, page.pixelColor(478, 508), 8));
    EXPECT_EQ(QColor(Qt::white), page.pixelColor(240, 511));
}

TEST_F(PrintActionTest, UserDefinedSizeWithoutCentringStartsAtTheCorner)
{
    WhenPrintDialogOpens([](TPrintForm& form) {
        form.SverhCheck->setChecked(false);
        form.ZentrCheck->setChecked(false);
        form.UserdefCheck->setChecked(true);
        form.BreitEdit->setValue(50);
        form.HochEdit->setValue(20);
        form.OkBitBtn1->click();
    });
    PrintPicture(nullptr, picture);
    ASSERT_EQ(1, printer.ended);
    // 50 % of 480 = 240, 20 % of 660 = 132, at (0, 0).
    const QImage& page = printer.printed;
    EXPECT_TRUE(SameColour(kTopLeft, page.pixelColor(0, 0), 8));
    EXPECT_TRUE(SameColour(kBottomRight, page.pixelColor(239, 131), 8));
    EXPECT_EQ(QColor(Qt::white), page.pixelColor(240, 60));
    EXPECT_EQ(QColor(Qt::white), page.pixelColor(120, 132));
}

TEST_F(PrintActionTest, FullPageWithKeepAspectOnALandscapePageFillsTheHeight)
{
    printer.page = {660, 480};
    WhenPrintDialogOpens([](TPrintForm& form) { form.OkBitBtn1->click(); });
    PrintPicture(nullptr, picture);
    ASSERT_EQ(1, printer.ended);
    // t = 495 > 480: 640 x 480 at (10, 0).
    const QImage& page = printer.printed;
    EXPECT_EQ(QColor(Qt::white), page.pixelColor(9, 240));
    EXPECT_TRUE(SameColour(kTopLeft, page.pixelColor(10, 0), 8));
    EXPECT_TRUE(SameColour(kBottomRight, page.pixelColor(649, 479), 8));
    EXPECT_EQ(QColor(Qt::white), page.pixelColor(650, 240));
}

TEST_F(PrintActionTest, CancelPrintsNothingButWritesTheSettings)
{
    WhenPrintDialogOpens([](TPrintForm& form) { form.CancelBitBtn2->click(); });
    PrintPicture(nullptr, picture);
    EXPECT_EQ(0, printer.begun);
    EXPECT_EQ(0, printForms());
    EXPECT_EQ("0", StoredValue("Visible"));
    EXPECT_EQ("50", StoredValue("BreitEdit_Value"));
}

TEST_F(PrintActionTest, AFailureAfterTheJobBeganDropsTheJobAndTheNextPrintWorks)
{
    printer.failWhilePrinting = true;
    WhenPrintDialogOpens([](TPrintForm& form) { form.OkBitBtn1->click(); });
    PrintPicture(nullptr, picture);
    QApplication::processEvents();
    EXPECT_EQ(1, printer.begun);
    EXPECT_EQ(1, printer.aborted);
    EXPECT_EQ(0, printer.ended);
    EXPECT_FALSE(printer.Printing());
    EXPECT_EQ(0, printForms());
    EXPECT_EQ(QStringList{QStringLiteral("Der Drucker antwortet nicht")}, ShownErrors());

    printer.failWhilePrinting = false;
    WhenPrintDialogOpens([](TPrintForm& form) { form.OkBitBtn1->click(); });
    PrintPicture(nullptr, picture);
    QApplication::processEvents();
    EXPECT_EQ(1, printer.ended);
    EXPECT_EQ(1, ShownErrors().size());
}

TEST_F(PrintActionTest, AJobStillOpenStopsTheNextOneWithoutTouchingIt)
{
    print::PrintJob other(printer, QStringLiteral("anderer Auftrag"));
    WhenPrintDialogOpens([](TPrintForm& form) { form.OkBitBtn1->click(); });
    PrintPicture(nullptr, picture);
    QApplication::processEvents();
    EXPECT_EQ(QStringList{QStringLiteral("Das Drucken ist im Gang")}, ShownErrors());
    EXPECT_TRUE(printer.Printing());
    EXPECT_EQ(0, printer.aborted);
    other.Finish();
    EXPECT_EQ(1, printer.ended);
    EXPECT_EQ(QStringLiteral("anderer Auftrag"), printer.title);
}

TEST_F(PrintActionTest, WithoutAPrinterTheActionSaysSoOncePerPrintAndPrintsNothing)
{
    printer.available = false;
    for (int print = 1; print <= 2; ++print) {
        WhenPrintDialogOpens([](TPrintForm& form) {
            form.PrintSetupBtn->click();
            form.SverhCheck->click();
            form.OkBitBtn1->click();
        });
        PrintPicture(nullptr, picture);
        QApplication::processEvents();
        EXPECT_EQ(0, printer.begun);
        EXPECT_EQ(QStringList(print, QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt")), ShownErrors());
    }
}

TEST_F(PrintActionTest, ThePrinterChosenInTheSetupPrintsWhenThereWasNone)
{
    // The setup offers a printer (for the real printer a PDF file) where
    // there was none; OK then prints on it.
    printer.available = false;
    printer.onSetup = [this] { printer.available = true; };
    WhenPrintDialogOpens([](TPrintForm& form) {
        form.PrintSetupBtn->click();
        form.OkBitBtn1->click();
    });
    PrintPicture(nullptr, picture);
    QApplication::processEvents();
    EXPECT_EQ(1, printer.setups);
    EXPECT_EQ(1, printer.ended);
    EXPECT_EQ(1, ShownErrors().size()) << "said once, when the dialog opened";
    EXPECT_TRUE(SameColour(kTopLeft, printer.printed.pixelColor(1, 151), 8));
}

TEST_F(PrintActionTest, ARecordWithoutAPictureOpensNothing)
{
    PrintPicture(nullptr, DIB{});
    EXPECT_EQ(0, printForms());
    EXPECT_EQ(0, printer.begun);
}

TEST(GeneralErrorHandler, ShowsTheErrorOfAnEventHandlerAndGoesOn)
{
    TestApp();
    ShownErrors().clear();
    QObject target;
    QTimer::singleShot(0, &target, [] { throw print::PrinterError("Das Drucken ist im Gang"); });
    QTimer::singleShot(0, &target, [] { throw 42; });
    QTimer::singleShot(0, &target, [] { throw std::bad_alloc(); });
    bool after = false;
    QTimer::singleShot(0, &target, [&after] { after = true; });
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    EXPECT_TRUE(after);
    EXPECT_EQ((QStringList{QStringLiteral("Das Drucken ist im Gang"), QStringLiteral("Unbekannter Fehler."),
                           QStringLiteral("Zu wenig Arbeitsspeicher.")}),
              ShownErrors());
}

} // namespace
