// The print dialog against a printer of known page size: the percentage
// couplings with their guard, the preview, the printer setup, the stored
// settings, and what the user meets when there is no printer.

#include "FakePrinter.h"
#include "PrintTestSupport.h"

#include "viewer/PrintFUnit.h"
#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <QScopeGuard>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

namespace {

class PrintDialogTest : public FakePrinterTest {
protected:
    // A form over the test picture on a page of the given size.
    std::unique_ptr<TPrintForm> makeForm(QSize page, DIB pic = {})
    {
        printer.page = page;
        auto form = std::make_unique<TPrintForm>();
        form->PrintPic = pic.info ? pic : picture;
        return form;
    }

    static QImage grabPreview(TPrintForm& form)
    {
        return form.PrintPaintBox->grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
};

// ---- Couplings ---------------------------------------------------------------

TEST_F(PrintDialogTest, WidthDrivesHeightOnAPortraitPage)
{
    auto form = makeForm({4800, 6600});
    form->BreitEdit->setValue(100); // x = 54.54...
    EXPECT_EQ(54, form->HochEdit->value());
    EXPECT_EQ(100, form->BreitEdit->value());
    form->BreitEdit->setValue(50);
    EXPECT_EQ(27, form->HochEdit->value());
}

TEST_F(PrintDialogTest, HeightBeyondRangeIsClampedAndWidthRecomputedOnce)
{
    auto form = makeForm({6600, 4800});
    form->BreitEdit->setValue(100); // x = 103.125
    EXPECT_EQ(100, form->HochEdit->value());
    EXPECT_EQ(96, form->BreitEdit->value()); // 96.97... cut
    // The next drawing runs the width coupling and derives 99 from 96.
    form->show();
    QApplication::processEvents();
    EXPECT_EQ(99, form->HochEdit->value());
    EXPECT_EQ(96, form->BreitEdit->value());
}

TEST_F(PrintDialogTest, HeightDrivesWidthAndWidthBeyondRangeIsRecomputed)
{
    auto form = makeForm({4800, 6600});
    form->HochEdit->setValue(54); // 640 * 54 / 480 * 6600 / 4800 = 99
    EXPECT_EQ(99, form->BreitEdit->value());
    form->HochEdit->setValue(80); // x = 146.67: width 100, height from it 54
    EXPECT_EQ(100, form->BreitEdit->value());
    EXPECT_EQ(54, form->HochEdit->value());
}

TEST_F(PrintDialogTest, WithoutKeepAspectTheFieldsAreIndependent)
{
    auto form = makeForm({4800, 6600});
    form->SverhCheck->setChecked(false);
    form->BreitEdit->setValue(80);
    form->HochEdit->setValue(20);
    EXPECT_EQ(80, form->BreitEdit->value());
    EXPECT_EQ(20, form->HochEdit->value());
    const PrintOptions o = form->Options();
    EXPECT_TRUE(o.FullPage);
    EXPECT_FALSE(o.KeepAspect);
    EXPECT_TRUE(o.Centred);
    EXPECT_EQ(80, o.Width);
    EXPECT_EQ(20, o.Height);
}

TEST_F(PrintDialogTest, ACouplingThatFailsLeavesTheGuardClear)
{
    auto form = makeForm({4800, 6600});
    printer.brokenPage = true;
    try {
        form->BreitEditChange();
        FAIL() << "no error from a printer that does not answer";
    } catch (const print::PrinterError& e) {
        EXPECT_STREQ("Der Drucker antwortet nicht", e.what());
    }
    printer.brokenPage = false;
    form->BreitEdit->setValue(100);
    EXPECT_EQ(54, form->HochEdit->value());
}

TEST_F(PrintDialogTest, SwitchingBetweenFullPageAndUserDefinedKeepsThePercentages)
{
    auto form = makeForm({4800, 6600});
    form->SverhCheck->setChecked(false);
    form->BreitEdit->setValue(70);
    form->HochEdit->setValue(30);
    form->UserdefCheck->setChecked(true);
    EXPECT_FALSE(form->Options().FullPage);
    form->UseFullCheck->setChecked(true);
    EXPECT_TRUE(form->Options().FullPage);
    EXPECT_EQ(70, form->BreitEdit->value());
    EXPECT_EQ(30, form->HochEdit->value());
}

// ---- Preview ---------------------------------------------------------------

TEST_F(PrintDialogTest, PreviewFitsAPortraitPageToTheHeightWithThePictureLaidOut)
{
    auto form = makeForm({4800, 6600});
    form->show();
    QApplication::processEvents();
    const QImage img = grabPreview(*form);
    ASSERT_EQ(QSize(190, 190), img.size());
    const QColor white(Qt::white);
    // Page: 138 x 190 at (26, 0).
    EXPECT_NE(white, img.pixelColor(25, 20));
    EXPECT_EQ(white, img.pixelColor(26, 20));
    EXPECT_EQ(white, img.pixelColor(163, 20));
    EXPECT_NE(white, img.pixelColor(164, 20));
    EXPECT_EQ(white, img.pixelColor(100, 42));
    EXPECT_EQ(white, img.pixelColor(100, 146));
    // Picture: 138 x 103 at (26, 43), upright.
    EXPECT_TRUE(SameColour(kTopLeft, img.pixelColor(27, 44), 8)) << img.pixelColor(27, 44).name().toStdString();
    EXPECT_TRUE(SameColour(kTopRight, img.pixelColor(162, 44), 8));
    EXPECT_TRUE(SameColour(kBottomLeft, img.pixelColor(27, 145), 8));
    EXPECT_TRUE(SameColour(kBottomRight, img.pixelColor(162, 145), 8));
}

TEST_F(PrintDialogTest, PrinterSetupRepaintsTheLandscapePageAndTheHeightFollows)
{
    auto form = makeForm({4800, 6600});
    form->show();
    QApplication::processEvents();
    printer.onSetup = [this] { printer.page = {6600, 4800}; };
    form->PrintSetupBtn->click();
    EXPECT_EQ(1, printer.setups);
    const QImage img = grabPreview(*form);
    const QColor white(Qt::white);
    // Page: 190 x 138 at (0, 26); picture 184 x 138 at (3, 26).
    EXPECT_NE(white, img.pixelColor(100, 25));
    EXPECT_EQ(white, img.pixelColor(1, 27));
    EXPECT_NE(white, img.pixelColor(100, 164));
    EXPECT_TRUE(SameColour(kTopLeft, img.pixelColor(4, 27), 8));
    EXPECT_TRUE(SameColour(kBottomRight, img.pixelColor(185, 162), 8));
    EXPECT_EQ(white, img.pixelColor(188, 100));
    // Width 50 on the landscape page: 480 * 50 / 640 * 6600 / 4800 = 51.56.
    EXPECT_EQ(51, form->HochEdit->value());
}

TEST_F(PrintDialogTest, PreviewWithoutCentringStartsAtThePageCorner)
{
    auto form = makeForm({4800, 6600});
    form->ZentrCheck->setChecked(false);
    form->SverhCheck->setChecked(false);
    form->UserdefCheck->setChecked(true);
    form->BreitEdit->setValue(50);
    form->HochEdit->setValue(50);
    form->show();
    QApplication::processEvents();
    const QImage img = grabPreview(*form);
    // 50 % of 138 x 190: 69 x 95 at the page's corner (26, 0).
    EXPECT_TRUE(SameColour(kTopLeft, img.pixelColor(26, 0), 8));
    EXPECT_TRUE(SameColour(kBottomRight, img.pixelColor(94, 94), 8));
    EXPECT_EQ(QColor(Qt::white), img.pixelColor(95, 94));
    EXPECT_EQ(QColor(Qt::white), img.pixelColor(94, 95));
}

// ---- No printer --------------------------------------------------------------

TEST_F(PrintDialogTest, WithoutAPrinterTheMessageShowsOnceAndTheLayoutUsesAnA4Page)
{
    printer.available = false;
    auto form = makeForm({4800, 6600});
    form->show();
    QApplication::processEvents();
    QApplication::processEvents();
    ASSERT_EQ(QStringList{QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt")}, ShownErrors());
    EXPECT_TRUE(form->ToldNoPrinter());
    EXPECT_TRUE(form->isVisible());

    // The preview shows an A4 portrait page: 134 x 190 at (28, 0), the
    // picture across its width.
    const QImage img = grabPreview(*form);
    const QColor white(Qt::white);
    EXPECT_NE(white, img.pixelColor(27, 20));
    EXPECT_EQ(white, img.pixelColor(28, 20));
    EXPECT_EQ(white, img.pixelColor(161, 20));
    EXPECT_NE(white, img.pixelColor(162, 20));
    EXPECT_TRUE(SameColour(kTopLeft, img.pixelColor(30, 75), 8)) << img.pixelColor(30, 75).name().toStdString();
    EXPECT_TRUE(SameColour(kBottomRight, img.pixelColor(159, 114), 8));

    // Paints, clicks and couplings work on that page without another word.
    form->PrintPaintBox->repaint();
    form->UserdefCheck->setChecked(true);
    form->BreitEdit->setValue(70); // 480 * 70 / 640 * 9921 / 14031 = 37.12
    EXPECT_EQ(37, form->HochEdit->value());
    form->UseFullCheck->setChecked(true);
    QApplication::processEvents();
    EXPECT_EQ(1, ShownErrors().size());
    EXPECT_TRUE(form->isVisible());

    // Once a printer is there, its page counts.
    printer.available = true;
    form->BreitEdit->setValue(100);
    EXPECT_EQ(54, form->HochEdit->value());
}

// ---- Closing -------------------------------------------------------------------

TEST_F(PrintDialogTest, OkAnswersOneCancelAndTheCloseBoxAnswerTwo)
{
    auto form = makeForm({4800, 6600});
    QTimer::singleShot(0, form.get(), [&] { form->OkBitBtn1->click(); });
    EXPECT_EQ(1, form->exec());
    QTimer::singleShot(0, form.get(), [&] { form->CancelBitBtn2->click(); });
    EXPECT_EQ(2, form->exec());
    QTimer::singleShot(0, form.get(), [&] { form->close(); });
    EXPECT_EQ(2, form->exec());
    QTimer::singleShot(0, form.get(), [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(form.get(), &escape);
    });
    EXPECT_EQ(2, form->exec());
}

// ---- Stored settings ---------------------------------------------------------

TEST_F(PrintDialogTest, CancelWritesEveryValueAsText)
{
    auto form = makeForm({4800, 6600});
    form->SverhCheck->setChecked(false);
    QTimer::singleShot(0, form.get(), [&] {
        form->BreitEdit->setValue(70);
        form->HochEdit->setValue(20);
        form->CancelBitBtn2->click();
    });
    EXPECT_EQ(2, form->exec());
    EXPECT_EQ("0", StoredValue("FormVersion"));
    EXPECT_EQ("0", StoredValue("Flags"));
    EXPECT_EQ("1", StoredValue("ShowCmd"));
    EXPECT_GT(StoredValue("PixelsPerInch").toInt(), 0);
    EXPECT_EQ("-1,-1,-1,-1", StoredValue("MinMaxPos"));
    const QStringList norm = StoredValue("NormPos").split(QLatin1Char(','));
    ASSERT_EQ(4, norm.size());
    EXPECT_EQ(form->frameGeometry().width(), norm[2].toInt() - norm[0].toInt());
    EXPECT_EQ(form->frameGeometry().height(), norm[3].toInt() - norm[1].toInt());
    EXPECT_EQ("0", StoredValue("Visible"));
    EXPECT_EQ("70", StoredValue("BreitEdit_Value"));
    EXPECT_EQ("20", StoredValue("HochEdit_Value"));
}

TEST_F(PrintDialogTest, OnlyAShownDialogWritesAndDestructionWritesVisibleOne)
{
    makeForm({4800, 6600}).reset();
    EXPECT_FALSE(QFile::exists(SettingsFile()));

    auto form = makeForm({4800, 6600});
    form->show();
    QApplication::processEvents();
    form.reset();
    EXPECT_EQ("1", StoredValue("Visible"));
    EXPECT_EQ("50", StoredValue("BreitEdit_Value"));
    EXPECT_EQ("27", StoredValue("HochEdit_Value"));
}

TEST_F(PrintDialogTest, StoredPercentagesComeBackInTheNextDialog)
{
    DIB square = MakeQuadrantPicture(100, 100);
    {
        auto form = makeForm({1000, 1000}, square);
        form->show();
        form->BreitEdit->setValue(30);
        EXPECT_EQ(30, form->HochEdit->value());
        form->CancelBitBtn2->click();
    }
    auto form = makeForm({1000, 1000}, square);
    form->show();
    EXPECT_EQ(30, form->BreitEdit->value());
    EXPECT_EQ(30, form->HochEdit->value());
    form.reset();
    deldib(square);
}

TEST_F(PrintDialogTest, RestoringRunsTheCouplingsInTheirOrder)
{
    // Width 80 drives the height (43), the stored height 20 drives the width
    // (36), and showing runs the width coupling once more (19).
    WriteSettingsText("[TPrintForm]\nFormVersion=0\nBreitEdit_Value=80\nHochEdit_Value=20\n");
    auto form = makeForm({4800, 6600});
    form->show();
    EXPECT_EQ(36, form->BreitEdit->value());
    EXPECT_EQ(19, form->HochEdit->value());
}

TEST_F(PrintDialogTest, StoredValuesAreTrimmedAndClampedAndNonNumbersBecomeTheMinimum)
{
    DIB square = MakeQuadrantPicture(100, 100);
    const struct {
        const char* text;
        int breit;
        int hoch;
    } cases[] = {
        {"[TPrintForm]\nBreitEdit_Value=250\n", 100, 100},
        {"[TPrintForm]\nHochEdit_Value=\" 42 \"\n", 42, 42},
        {"[TPrintForm]\nBreitEdit_Value=abc\n", 1, 1},
        {"[TPrintForm]\nBreitEdit_Value=-5\n", 1, 1},
        {"[TPrintForm]\nBreitEdit_Value=5,0\n", 1, 1},
        {"[TPrintForm]\nFormVersion=-1\nBreitEdit_Value=20\n", 50, 50},
        {"[TPrintForm]\nFormVersion=x\nBreitEdit_Value=20\n", 20, 20},
        {"[Other]\nBreitEdit_Value=20\n", 50, 50},
    };
    for (const auto& c : cases) {
        WriteSettingsText(c.text);
        auto form = makeForm({1000, 1000}, square);
        form->show();
        EXPECT_EQ(c.breit, form->BreitEdit->value()) << c.text;
        EXPECT_EQ(c.hoch, form->HochEdit->value()) << c.text;
    }
    deldib(square);
}

TEST_F(PrintDialogTest, ShowCmdGivesTheWindowState)
{
    WriteSettingsText("[TPrintForm]\nShowCmd=3\n");
    auto form = makeForm({4800, 6600});
    form->show();
    EXPECT_TRUE(form->windowState().testFlag(Qt::WindowMaximized));
    form.reset();
    EXPECT_EQ("3", StoredValue("ShowCmd"));

    WriteSettingsText("[TPrintForm]\nShowCmd=42\n");
    form = makeForm({4800, 6600});
    form->show();
    EXPECT_EQ(Qt::WindowNoState, form->windowState());

    // Minimised states open the modal dialog normal, where it can be seen.
    for (const char* minimised : {"2", "6", "7"}) {
        WriteSettingsText(QByteArray("[TPrintForm]\nShowCmd=") + minimised + "\n");
        form = makeForm({4800, 6600});
        form->show();
        EXPECT_EQ(Qt::WindowNoState, form->windowState()) << "ShowCmd " << minimised;
        EXPECT_FALSE(form->isMinimized());
        form->CancelBitBtn2->click();
        EXPECT_EQ("1", StoredValue("ShowCmd"));
    }
}

TEST_F(PrintDialogTest, AGarbledOrUnreadableSettingsFileGivesTheDefaults)
{
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk.append(char((i * 7919 + 13) % 256));
    WriteSettingsText(junk);
    {
        auto form = makeForm({4800, 6600});
        form->show();
        EXPECT_EQ(50, form->BreitEdit->value());
        EXPECT_EQ(27, form->HochEdit->value());
        form->BreitEdit->setValue(60);
        form->CancelBitBtn2->click();
    }
    // Closing left the values in the file for the next run.
    EXPECT_EQ("60", StoredValue("BreitEdit_Value"));
    EXPECT_TRUE(shell.messages.isEmpty());
}

TEST_F(PrintDialogTest, SettingsThatCannotBeWrittenAreReportedOnceAndKeptForTheRun)
{
    DIB square = MakeQuadrantPicture(100, 100);
    // A folder where the file should be: nothing read, nothing written
    // (and no file permissions to rely on, since tests may run as root).
    RemoveSettings();
    QDir().mkpath(SettingsFile());
    {
        auto form = makeForm({1000, 1000}, square);
        form->show();
        EXPECT_EQ(50, form->BreitEdit->value());
        form->BreitEdit->setValue(30);
        form->CancelBitBtn2->click();
        EXPECT_EQ(30, form->BreitEdit->value()) << "the dialog keeps its values";
    }
    EXPECT_TRUE(QFileInfo(SettingsFile()).isDir());
    ASSERT_EQ(1, shell.messages.size());
    EXPECT_TRUE(shell.messages[0].contains(QStringLiteral("Einstellungen des Druckdialogs ließen sich nicht")))
        << shell.messages[0].toStdString();
    EXPECT_TRUE(shell.messages[0].contains(QDir::toNativeSeparators(SettingsFile())));

    // The next dialog of the run gets the values; the cause lasts, nothing
    // more is said, also when a shown dialog is destroyed without closing.
    {
        auto form = makeForm({1000, 1000}, square);
        form->show();
        EXPECT_EQ(30, form->BreitEdit->value());
        EXPECT_EQ(30, form->HochEdit->value());
        form->BreitEdit->setValue(40);
        form->OkBitBtn1->click();
    }
    {
        auto form = makeForm({1000, 1000}, square);
        form->show();
        EXPECT_EQ(40, form->BreitEdit->value());
    }
    EXPECT_EQ(1, shell.messages.size());

    // Once the file can be written again the kept values go into it.
    RemoveSettings();
    {
        auto form = makeForm({1000, 1000}, square);
        form->show();
        EXPECT_EQ(40, form->BreitEdit->value());
        form->CancelBitBtn2->click();
    }
    EXPECT_EQ("40", StoredValue("BreitEdit_Value"));
    EXPECT_EQ(1, shell.messages.size());

    // A later failure is a new one and is reported again.
    RemoveSettings();
    QDir().mkpath(SettingsFile());
    {
        auto form = makeForm({1000, 1000}, square);
        form->show();
        form->CancelBitBtn2->click();
    }
    EXPECT_EQ(2, shell.messages.size());
    RemoveSettings();
    deldib(square);
}

TEST_F(PrintDialogTest, ASettingsFolderOnAFullDiskIsReported)
{
    // The settings folder on a file system of its own, filled up.
    RemoveSettings();
    const QString folder = QFileInfo(SettingsFile()).path();
    QDir().mkpath(folder);
    if (::mount("stillwise-test", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << ")";
    const auto unmount = qScopeGuard([&folder] { ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH); });
    {
        QFile filler(folder + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    {
        auto form = makeForm({4800, 6600});
        form->show();
        form->CancelBitBtn2->click();
    }
    ASSERT_EQ(1, shell.messages.size());
    EXPECT_TRUE(shell.messages[0].contains(QStringLiteral("Datenträger ist voll"))) << shell.messages[0].toStdString();
    EXPECT_FALSE(QFile::exists(SettingsFile()));
}

} // namespace

namespace {

// A picture of the dialog for people to look at: <build>/screenshots/.
TEST_F(PrintDialogTest, ScreenshotOfTheDialog)
{
    auto form = makeForm({4800, 6600});
    form->show();
    QApplication::processEvents();
    const QImage shot = form->grab().toImage();
    EXPECT_EQ(QSize(427, 328), shot.size());
    EXPECT_TRUE(shot.save(ScreenshotPath(QStringLiteral("print_dialog.png"))));
}

} // namespace
