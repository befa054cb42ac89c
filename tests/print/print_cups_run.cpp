// Printing for real: the program's printer is the default queue of a CUPS
// scheduler that print_cups_test.sh starts, a PDF queue whose jobs end as
// files. Each print goes through the print action with its dialog accepted,
// then the job is followed in the scheduler and the PDF that came out is
// read back: title, page count, and where the picture landed on the page.
//
// Environment (set by the script): STILLWISE_PRINTER_URI (the queue),
// STILLWISE_PDF_DIR (where the queue writes its files); or
// STILLWISE_EXPECT_NO_PRINTER=1 when no scheduler runs at all.
//
// The snapshot is printed as the user prints it: from the viewer's
// "&Drucken".

#include "PrintTestSupport.h"

#include "platform/print/PrintJob.h"
#include "platform/print/Printer.h"
#include "viewer/PrintFUnit.h"
#include "viewer/PrintLayout.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QScopeGuard>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

QString env(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

// ---- The scheduler, asked with ipptool -------------------------------------

const char* const kGetJobs = R"({
  OPERATION Get-Jobs
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR name requesting-user-name $user
  ATTR keyword which-jobs all
  ATTR keyword requested-attributes job-id,job-state
  STATUS successful-ok
  DISPLAY job-id
  DISPLAY job-state
})";

// Job names are private in a job list; the job's own attributes show them.
const char* const kGetJob = R"({
  OPERATION Get-Job-Attributes
  GROUP operation-attributes-tag
  ATTR charset attributes-charset utf-8
  ATTR naturalLanguage attributes-natural-language en
  ATTR uri printer-uri $uri
  ATTR integer job-id $job_id
  ATTR name requesting-user-name $user
  ATTR keyword requested-attributes job-id,job-name,job-state
  STATUS successful-ok
  DISPLAY job-id
  DISPLAY job-name
  DISPLAY job-state
})";

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Rows of ipptool's CSV output without its header line.
QList<QStringList> ipp(const char* test, const QStringList& defines = {})
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("request.test"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(test);
    f.close();
    QStringList args{QStringLiteral("-c")};
    for (const QString& d : defines)
        args << QStringLiteral("-d") << d;
    args << env("STILLWISE_PRINTER_URI") << file;
    QList<QStringList> rows;
    const QStringList lines = run(QStringLiteral("ipptool"), args).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i)
        rows << lines[i].split(QLatin1Char(','));
    return rows;
}

// The queue's jobs. Job ids count across all queues of the scheduler and
// its history, so new jobs are told by comparing lists.
QList<int> jobIds()
{
    QList<int> ids;
    for (const QStringList& row : ipp(kGetJobs))
        ids << row.value(0).toInt();
    return ids;
}

QList<int> newJobs(const QList<int>& before)
{
    QList<int> added;
    for (int id : jobIds()) {
        if (!before.contains(id))
            added << id;
    }
    return added;
}

struct Job {
    int id = 0;
    QString name;
    QString state;
};

// Waits for the first job not in `before` to finish (the file appears a
// little before the job completes, so the job's state decides).
Job waitForNewJob(const QList<int>& before)
{
    QElapsedTimer clock;
    clock.start();
    Job job;
    while (clock.elapsed() < 60000) {
        const QList<int> added = newJobs(before);
        if (!added.isEmpty()) {
            const QList<QStringList> rows = ipp(kGetJob, {QStringLiteral("job_id=%1").arg(added.first())});
            if (!rows.isEmpty()) {
                job.id = rows[0].value(0).toInt();
                job.name = rows[0].value(1);
                job.state = rows[0].value(2);
                if (job.state == QLatin1String("completed") || job.state == QLatin1String("canceled") ||
                    job.state == QLatin1String("aborted"))
                    return job;
            }
        }
        QThread::msleep(100);
    }
    return job;
}

// ---- The PDF --------------------------------------------------------------------

QString pdfOfJob(int id)
{
    return QDir(env("STILLWISE_PDF_DIR")).filePath(QStringLiteral("job_%1-Lumora_Bild.pdf").arg(id));
}

int pageCount(const QString& pdf)
{
    for (const QString& line : run(QStringLiteral("pdfinfo"), {pdf}).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Pages:")))
            return line.mid(6).trimmed().toInt();
    }
    return -1;
}

QImage renderPage(const QString& pdf)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("page"));
    run(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("50"),
                                     QStringLiteral("-singlefile"), pdf, base});
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// The smallest rectangle holding every pixel that is not paper white.
QRect inkBox(const QImage& page)
{
    QRect box;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() < 235 || c.green() < 235 || c.blue() < 235)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

// ---- Printing through the action ------------------------------------------

struct RealPrintChecks {
    // The laid-out rectangle on the rendered page, and the picture's four
    // quadrants inside it.
    static void expectPictureAt(const QImage& page, QSize pageSize, const PrintRect& r)
    {
        ASSERT_FALSE(page.isNull());
        const double sx = double(page.width()) / pageSize.width();
        const double sy = double(page.height()) / pageSize.height();
        const QRect expected(qRound(r.X * sx), qRound(r.Y * sy), qRound(r.Width * sx), qRound(r.Height * sy));
        const QRect found = inkBox(page);
        EXPECT_NEAR(expected.left(), found.left(), 2) << "page " << page.width() << "x" << page.height();
        EXPECT_NEAR(expected.top(), found.top(), 2);
        EXPECT_NEAR(expected.right(), found.right(), 2);
        EXPECT_NEAR(expected.bottom(), found.bottom(), 2);

        const int qx = expected.width() / 4;
        const int qy = expected.height() / 4;
        const QPoint c = expected.topLeft();
        const int tolerance = 24;
        EXPECT_TRUE(SameColour(kTopLeft, page.pixelColor(c + QPoint(qx, qy)), tolerance));
        EXPECT_TRUE(SameColour(kTopRight, page.pixelColor(c + QPoint(3 * qx, qy)), tolerance));
        EXPECT_TRUE(SameColour(kBottomLeft, page.pixelColor(c + QPoint(qx, 3 * qy)), tolerance));
        EXPECT_TRUE(SameColour(kBottomRight, page.pixelColor(c + QPoint(3 * qx, 3 * qy)), tolerance))
            << page.pixelColor(c + QPoint(3 * qx, 3 * qy)).name().toStdString();
    }
};

class RealPrint : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        if (env("STILLWISE_PRINTER_URI").isEmpty())
            GTEST_SKIP() << "no print queue given";
        RemoveSettings();
        ShownErrors().clear();
        picture = MakeQuadrantPicture(640, 480);
    }
    void TearDown() override { deldib(picture); }

    // Prints from the viewer, follows the job to its end and answers the
    // rendered page, checking what every print must give.
    QImage printAndFetch(std::function<void(TPrintForm&)> answer, QSize& pageSize, const char* shotName = nullptr)
    {
        pageSize = print::CurrentPrinter().PageSize();
        const QList<int> before = jobIds();
        TViewPicForm viewer;
        viewer.ViewPic = picture;
        viewer.show();
        WhenPrintDialogOpens(std::move(answer));
        viewer.PrintBrn->click();
        QApplication::processEvents();
        viewer.hide();
        viewer.ViewPic = {};
        EXPECT_TRUE(ShownErrors().isEmpty()) << ShownErrors().join(QLatin1Char('\n')).toStdString();

        const Job job = waitForNewJob(before);
        EXPECT_EQ(QStringLiteral("completed"), job.state);
        EXPECT_EQ(QStringLiteral("Lumora Bild"), job.name);
        EXPECT_EQ(QList<int>{job.id}, newJobs(before)) << "exactly one job";
        const QString pdf = pdfOfJob(job.id);
        EXPECT_TRUE(QFile::exists(pdf)) << pdf.toStdString();
        EXPECT_EQ(1, pageCount(pdf));
        QImage page = renderPage(pdf);
        if (shotName) // for people to look at
            page.save(ScreenshotPath(QLatin1String(shotName)));
        return page;
    }

    static void expectPictureAt(const QImage& page, QSize pageSize, const PrintRect& r)
    {
        RealPrintChecks::expectPictureAt(page, pageSize, r);
    }

    DIB picture{};
};


TEST_F(RealPrint, TheQueueIsTheProgramsPrinter)
{
    EXPECT_FALSE(QPrinterInfo::defaultPrinter().isNull());
    const QSize page = print::CurrentPrinter().PageSize();
    // A4 at 1200 dpi less the queue's own margins.
    EXPECT_GT(page.width(), 9000);
    EXPECT_LE(page.width(), 9917);
    EXPECT_GT(page.height(), 13000);
    EXPECT_LE(page.height(), 14033);
}

TEST_F(RealPrint, TheSetupDialogKeepsThePrintableArea)
{
    print::Printer& printer = print::CurrentPrinter();
    const QSize before = printer.PageSize();
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            seen = true;
            dialog->grab().save(ScreenshotPath(QStringLiteral("printer_setup.png")));
            dialog->accept();
        }
    });
    EXPECT_TRUE(printer.Setup(nullptr));
    EXPECT_TRUE(seen);
    EXPECT_EQ(before, printer.PageSize());
}

TEST_F(RealPrint, FullPageKeepsTheAspectAndCentres)
{
    QSize pageSize;
    const QImage page = printAndFetch([](TPrintForm& form) { form.OkBitBtn1->click(); }, pageSize,
                                     "printed_full_page.png");
    PrintOptions o;
    expectPictureAt(page, pageSize, CalcPrintRect(pageSize.width(), pageSize.height(), 640, 480, o));
}

TEST_F(RealPrint, UserDefinedSizeAtTheCorner)
{
    QSize pageSize;
    const QImage page = printAndFetch(
        [](TPrintForm& form) {
            form.SverhCheck->setChecked(false);
            form.ZentrCheck->setChecked(false);
            form.UserdefCheck->setChecked(true);
            form.BreitEdit->setValue(60);
            form.HochEdit->setValue(30);
            form.OkBitBtn1->click();
        },
        pageSize, "printed_60x30_percent.png");
    PrintOptions o;
    o.FullPage = false;
    o.KeepAspect = false;
    o.Centred = false;
    o.Width = 60;
    o.Height = 30;
    expectPictureAt(page, pageSize, CalcPrintRect(pageSize.width(), pageSize.height(), 640, 480, o));
}

TEST_F(RealPrint, ASecondJobWhileOneIsOpenFailsAndAnAbandonedJobFreesThePrinter)
{
    print::Printer& printer = print::CurrentPrinter();
    {
        print::PrintJob job(printer, QStringLiteral("Lumora Bild"));
        try {
            printer.BeginDoc(QStringLiteral("Lumora Bild"));
            ADD_FAILURE() << "a second job began";
        } catch (const print::PrinterError& e) {
            EXPECT_STREQ("Das Drucken ist im Gang", e.what());
        }
        // Leaving without Finish() ends the job.
    }
    EXPECT_FALSE(printer.Printing());
    QSize pageSize;
    printAndFetch([](TPrintForm& form) { form.OkBitBtn1->click(); }, pageSize);
}

// Runs cupsreject / cupsaccept on the test queue; answers whether it worked.
bool setAccepting(bool accepting, const QString& reason = {})
{
    QStringList args;
    if (!reason.isEmpty())
        args << QStringLiteral("-r") << reason;
    args << env("PRINTER");
    QProcess p;
    p.start(accepting ? QStringLiteral("cupsaccept") : QStringLiteral("cupsreject"), args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST_F(RealPrint, ARejectingQueueSaysWhyAndPrintsNothing)
{
    const QString reason = QStringLiteral("Papierfach leer (Test)");
    ASSERT_TRUE(setAccepting(false, reason));
    const auto accept = qScopeGuard([] { setAccepting(true); });
    const QList<int> before = jobIds();
    TViewPicForm viewer;
    viewer.ViewPic = picture;
    viewer.show();
    WhenPrintDialogOpens([](TPrintForm& form) { form.OkBitBtn1->click(); });
    viewer.PrintBrn->click();
    QApplication::processEvents();
    viewer.hide();
    viewer.ViewPic = {};
    ASSERT_EQ(1, ShownErrors().size()) << ShownErrors().join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(ShownErrors()[0].startsWith(
        QStringLiteral("Der Drucker „%1“ nimmt zur Zeit keine Druckaufträge an. Grund: %2").arg(env("PRINTER"), reason)))
        << ShownErrors()[0].toStdString();
    EXPECT_TRUE(ShownErrors()[0].endsWith(QStringLiteral("Es wurde nichts gedruckt.")));
    QThread::msleep(1000);
    EXPECT_EQ(QList<int>{}, newJobs(before)) << "no job";
}

TEST_F(RealPrint, AQueueThatStopsTakingJobsWhileOneIsDrawnIsNotTakenForPrinted)
{
    print::Printer& printer = print::CurrentPrinter();
    const QList<int> before = jobIds();
    {
        print::PrintJob job(printer, QStringLiteral("Lumora Bild"));
        job.Page().fillRect(QRect(0, 0, 2000, 2000), Qt::black);
        ASSERT_TRUE(setAccepting(false, QStringLiteral("Wartung")));
        try {
            job.Finish();
            ADD_FAILURE() << "a refused job passed for printed";
        } catch (const print::PrinterError& e) {
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("Wartung"))) << e.what();
            EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("Es wurde nichts gedruckt."))) << e.what();
        }
    }
    ASSERT_TRUE(setAccepting(true));
    EXPECT_FALSE(printer.Printing());
    QThread::msleep(1000);
    EXPECT_EQ(QList<int>{}, newJobs(before)) << "no job";
    // Accepting again, the queue prints as before.
    QSize pageSize;
    printAndFetch([](TPrintForm& form) { form.OkBitBtn1->click(); }, pageSize);
}

TEST(NoPrinter, TheProgramsPrinterSaysSoBeforeAnyPainting)
{
    TestApp();
    if (env("STILLWISE_EXPECT_NO_PRINTER") != QLatin1String("1"))
        GTEST_SKIP() << "a scheduler may be running";
    ASSERT_TRUE(QPrinterInfo::defaultPrinter().isNull());
    print::Printer& printer = print::CurrentPrinter();
    for (int i = 0; i < 2; ++i) {
        try {
            i == 0 ? void(printer.PageSize()) : printer.BeginDoc(QStringLiteral("Lumora Bild"));
            ADD_FAILURE() << "no error without a printer";
        } catch (const print::PrinterError& e) {
            EXPECT_STREQ("Zur Zeit ist kein Standard-Drucker gewählt", e.what());
        }
    }
    EXPECT_FALSE(printer.Printing());
}

// No printer at all: the setup offers a PDF file (Qt's own print dialog
// with its file output), and the print writes the picture into it.
TEST(NoPrinter, TheSetupOffersAPdfFileAndThePrintWritesThePictureIntoIt)
{
    TestApp();
    if (env("STILLWISE_EXPECT_NO_PRINTER") != QLatin1String("1"))
        GTEST_SKIP() << "a printer may be there";
    ASSERT_TRUE(QPrinterInfo::availablePrinterNames().isEmpty());
    RemoveSettings();
    ShownErrors().clear();
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("schnappschuss.pdf"));
    DIB picture = MakeQuadrantPicture(640, 480);

    bool setupSeen = false;
    QSize pageSize;
    TViewPicForm viewer;
    viewer.ViewPic = picture;
    viewer.show();
    WhenPrintDialogOpens([&](TPrintForm& form) {
        QApplication::processEvents(); // the message about the missing printer
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || dialog == &form)
                return;
            auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
            if (file == nullptr)
                return;
            setupSeen = true;
            file->setText(pdf);
            dialog->grab().save(ScreenshotPath(QStringLiteral("printer_setup_pdf.png")));
            dialog->accept();
        });
        form.PrintSetupBtn->click();
        pageSize = print::CurrentPrinter().PageSize();
        form.OkBitBtn1->click();
    });
    viewer.PrintBrn->click();
    QApplication::processEvents();
    viewer.hide();
    viewer.ViewPic = {};

    EXPECT_TRUE(setupSeen) << "no PDF file offered";
    EXPECT_EQ(QStringList{QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt")}, ShownErrors())
        << "said once per print";
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_EQ(1, pageCount(pdf));
    EXPECT_TRUE(run(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("Lumora Bild")));
    // A4 portrait at 1200 dpi, the whole sheet.
    EXPECT_NEAR(9921, pageSize.width(), 10);
    EXPECT_NEAR(14031, pageSize.height(), 10);
    const QImage page = renderPage(pdf);
    page.save(ScreenshotPath(QStringLiteral("printed_into_pdf.png")));
    RealPrintChecks::expectPictureAt(page, pageSize, CalcPrintRect(pageSize.width(), pageSize.height(), 640, 480, {}));
    deldib(picture);
}

} // namespace
