// Every window the program makes, in German and in English, with the
// built-in test camera: no caption is wider than its control, no text runs
// out of its window or into a neighbour. The windows keep their fixed sizes
// in both languages, so the translation has to fit them.
// Pictures of the main window go to <build>/screenshots/.

#include "app/AverageGather.h"
#include "app/DlgTreiber.h"
#include "app/Language.h"
#include "app/ErrorHandlingApplication.h"
#include "app/MainUnit.h"
#include "camera/dialogs/FormatDialog.h"
#include "camera/dialogs/SourceDialog.h"
#include "capture/Video.h"
#include "viewer/PrintFUnit.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/AboutBoxUnit.h"
#include "widgets/ButtonsXP.h"
#include "widgets/SpinEdit.h"

#include "program/program_test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>

using namespace testing_program;

namespace {

QString WithoutShortcut(QString text)
{
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

int Widest(const QFontMetrics& fm, const QString& text)
{
    int widest = 0;
    for (const QString& line : WithoutShortcut(text).split(QLatin1Char('\n')))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

// The part of a widget (in its parent's coordinates) that its text takes,
// and the problems found with it; an empty rectangle for widgets without
// text of their own.
QRect UsedByText(QWidget* w, QStringList& problems)
{
    const QFontMetrics fm(w->font());
    QString text;
    int need = 0;
    QRect used = w->geometry();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        text = label->text();
        if (text.isEmpty() || label->textFormat() == Qt::RichText)
            return {};
        if (label->wordWrap()) {
            const int high = label->heightForWidth(label->contentsRect().width());
            if (high > label->height())
                problems << QStringLiteral("label „%1“ wraps to %2 px, has %3 px height")
                                .arg(text)
                                .arg(high)
                                .arg(label->height());
            used.setHeight(std::min(high, used.height()));
            return used;
        }
        need = Widest(fm, text) + 2 * label->margin() + std::max(0, label->indent());
        // A line's height includes a pixel below the lowest descender.
        const int lines = static_cast<int>(text.count(QLatin1Char('\n'))) + 1;
        if (lines * fm.height() - 1 > label->contentsRect().height())
            problems << QStringLiteral("label „%1“ is %2 px high, has %3 px")
                            .arg(text)
                            .arg(lines * fm.height())
                            .arg(label->contentsRect().height());
        if (label->alignment() & Qt::AlignLeft)
            used.setWidth(std::min(need, used.width()));
        if (need > label->contentsRect().width())
            problems << QStringLiteral("label „%1“ needs %2 px, has %3 px").arg(text).arg(need).arg(label->width());
        return used;
    }
    if (auto* button = qobject_cast<TBitBtnXP*>(w)) {
        text = button->text();
        // Glyph, gap and caption inside the button's 2-pixel frame (the
        // size hint adds 8 px of air on either side).
        need = button->sizeHint().width() - 16 + 4;
    } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
        text = static_cast<QAbstractButton*>(w)->text();
        need = w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
               w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w) + Widest(fm, text);
        used.setWidth(std::min(need, used.width()));
    } else if (auto* push = qobject_cast<QPushButton*>(w)) {
        text = push->text();
        // Icon and caption are drawn centred inside the button's frame.
        need = Widest(fm, text) + (push->icon().isNull() ? 0 : push->iconSize().width() + 4) +
               2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
    } else if (auto* tool = qobject_cast<QToolButton*>(w)) {
        text = tool->text();
        need = tool->sizeHint().width();
    } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
        text = group->title();
        need = Widest(fm, text) + 16;
        used = QRect(w->geometry().topLeft(), QSize(std::min(need, w->width()), fm.height()));
    } else {
        return {};
    }
    if (text.isEmpty())
        return {};
    if (need > w->width())
        problems << QStringLiteral("%1 „%2“ needs %3 px, has %4 px")
                        .arg(QString::fromLatin1(w->metaObject()->className()), text)
                        .arg(need)
                        .arg(w->width());
    return used;
}

// Every text of a window: fits its control, stays inside the control's
// parent, and keeps off the controls beside it.
QStringList TextProblems(QWidget* window)
{
    QStringList problems;
    QHash<QWidget*, QRect> texts;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->isWindow())
            continue;
        const QRect used = UsedByText(w, problems);
        if (!used.isEmpty())
            texts.insert(w, used);
    }
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        QWidget* w = it.key();
        const QRect used = it.value();
        const QString text = WithoutShortcut(w->property("text").toString());
        QWidget* parent = w->parentWidget();
        if (!parent->rect().contains(used))
            problems << QStringLiteral("„%1“ (%2) runs out of its parent %3")
                            .arg(text, QString::fromLatin1(w->metaObject()->className()),
                                 QString::fromLatin1(parent->metaObject()->className()));
        for (QWidget* sibling : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (sibling == w || !sibling->isVisibleTo(window) || sibling->isWindow())
                continue;
            // A panel or group with controls of its own may carry a label
            // drawn over it; its controls are checked as the label's
            // neighbours where they are its siblings.
            const bool container = std::any_of(sibling->children().cbegin(), sibling->children().cend(), [](QObject* o) {
                return o->isWidgetType() && static_cast<QWidget*>(o)->isVisible();
            });
            if (container && !qobject_cast<QAbstractButton*>(sibling))
                continue;
            // A neighbour with text counts with the part its text takes.
            if (used.intersects(texts.value(sibling, sibling->geometry())))
                problems << QStringLiteral("„%1“ (%2) overlaps %3 %4")
                                .arg(text, QString::fromLatin1(w->metaObject()->className()),
                                     QString::fromLatin1(sibling->metaObject()->className()),
                                     sibling->property("text").toString());
        }
    }
    return problems;
}

// The shortcut letters of one window's controls, each used once.
QStringList RepeatedShortcuts(QWidget* window)
{
    QStringList seen, repeated;
    for (auto* b : window->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(window))
            continue;
        const QString text = QString(b->text()).replace(QLatin1String("&&"), QString());
        const qsizetype at = text.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= text.size())
            continue;
        const QString key = text.mid(at + 1, 1).toLower();
        if (seen.contains(key))
            repeated << b->text();
        seen << key;
    }
    return repeated;
}

QString g_language;

// Where the pictures go; a run with other fonts keeps its own.
QString ScreenshotDir()
{
    return qEnvironmentVariable("STILLWISE_SCREENSHOT_DIR", QStringLiteral(STILLWISE_SCREENSHOT_DIR));
}

void ExpectTidy(QWidget* window, const char* what)
{
    // A picture of every window checked, for a look by eye.
    const QString screenshots = ScreenshotDir();
    QDir().mkpath(screenshots);
    window->grab().save(QDir(screenshots).filePath(QStringLiteral("%1-%2.png").arg(
        QString::fromLatin1(what).replace(QLatin1Char(' '), QLatin1Char('-')), g_language)));
    const QStringList problems = TextProblems(window);
    EXPECT_TRUE(problems.isEmpty()) << what << ":\n  " << problems.join(QStringLiteral("\n  ")).toStdString();
}

class WindowTexts : public ::testing::TestWithParam<UiLanguage> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(InstallLanguage(*QCoreApplication::instance(), GetParam()), GetParam());
        g_language = English() ? QStringLiteral("en") : QStringLiteral("de");
        // Without a printer the print dialog says so; that message is
        // checked below, any other is a failure.
        previousSink_ = ErrorHandlingApplication::SetErrorSink([this](const QString& text) { shown_ << text; });
    }
    void TearDown() override
    {
        ErrorHandlingApplication::SetErrorSink(previousSink_);
        InstallGermanLanguage(*QCoreApplication::instance());
    }
    ErrorHandlingApplication::ErrorSink previousSink_;
    QStringList shown_;
    bool English() const { return GetParam() == UiLanguage::English; }
    QString Name(const char* base) const
    {
        return QStringLiteral("%1-%2.png")
            .arg(QLatin1String(base), English() ? QLatin1String("en") : QLatin1String("de"));
    }
};

TEST_P(WindowTexts, MainWindowAndItsDialogsFit)
{
    CaptureErrors errors;
    ScriptedShell shell;
    TMainForm form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(form.Video1->VideoPreview()) << "slot 0 must hold the test camera";
    QTest::qWait(300);

    EXPECT_EQ(form.BitBtn1->text(),
              English() ? QStringLiteral("Configure camera…") : QStringLiteral("Cam konfigurieren"));
    EXPECT_EQ(form.ShnapShotBtn->text(), English() ? QStringLiteral("&Snapshot") : QStringLiteral("&Schnappschuß"));
    EXPECT_EQ(form.MotionBox->text(), English() ? QStringLiteral("Spare motion") : QStringLiteral("Bewegung schonen"));
    EXPECT_EQ(form.AutoBox->text(), English() ? QStringLiteral("Auto smoothing") : QStringLiteral("Auto-Glättung"));
    form.AutoBox->setChecked(!form.AutoBox->isChecked());
    EXPECT_EQ(form.SmoothEd->toolTip(), English()
                                            ? QStringLiteral("Auto smoothing: a still picture is averaged over up to 64 frames.")
                                            : QStringLiteral("Auto-Glättung: ein stillstehendes Bild wird über bis zu 64 Bilder gemittelt."));
    form.AutoBox->setChecked(!form.AutoBox->isChecked());
    EXPECT_EQ(form.size(), QSize(688, 453));
    ExpectTidy(&form, "main window");
    EXPECT_TRUE(RepeatedShortcuts(&form).isEmpty()) << RepeatedShortcuts(&form).join(' ').toStdString();
    const QString screenshots = ScreenshotDir();
    QDir().mkpath(screenshots);
    EXPECT_TRUE(form.grab().save(QDir(screenshots).filePath(Name("main-window"))));

    WhenModal<TDlgEinstell>([&](TDlgEinstell* d) {
        QTest::qWait(20);
        EXPECT_EQ(d->BitBtn2->text(), English() ? QStringLiteral("Cancel") : QStringLiteral("Abbrechen"));
        ExpectTidy(d, "driver dialog");
        d->BitBtn2->click();
    });
    form.DriverBtnClick(form.DriverBtn);

    WhenModal<camera::SourceDialog>([&](camera::SourceDialog* d) {
        QTest::qWait(20);
        EXPECT_EQ(d->windowTitle(), English() ? QStringLiteral("Video source") : QStringLiteral("Videoquelle"));
        ExpectTidy(d, "source dialog");
        d->reject();
    });
    form.BitBtn1Click(form.BitBtn1);

    WhenModal<camera::FormatDialog>([&](camera::FormatDialog* d) {
        QTest::qWait(20);
        EXPECT_EQ(d->windowTitle(), English() ? QStringLiteral("Video format") : QStringLiteral("Videoformat"));
        ExpectTidy(d, "format dialog");
        d->reject();
    });
    form.BitBtn2Click(form.BitBtn2);

    // The viewer, and the print dialog from it.
    WhenModal<TViewPicForm>([&](TViewPicForm* viewer) {
        QTest::qWait(50);
        ExpectTidy(viewer, "snapshot viewer");
        EXPECT_TRUE(RepeatedShortcuts(viewer).isEmpty() || !English())
            << RepeatedShortcuts(viewer).join(' ').toStdString();
        WhenModal<TPrintForm>([&](TPrintForm* print) {
            QTest::qWait(50);
            ExpectTidy(print, "print dialog");
            EXPECT_TRUE(RepeatedShortcuts(print).isEmpty()) << RepeatedShortcuts(print).join(' ').toStdString();
            print->CancelBitBtn2->click();
        });
        viewer->PrintBrn->click();
        viewer->ReadyBtn->click();
    });
    form.ShnapShotBtnClick(form.ShnapShotBtn);

    // The mean's progress window.
    ASSERT_TRUE(form.Averager->Start(16));
    QProgressDialog* progress = form.Averager->Progress();
    ASSERT_NE(progress, nullptr);
    QTest::qWait(100);
    EXPECT_TRUE(progress->windowTitle().startsWith(English() ? QStringLiteral("Mean of 16")
                                                             : QStringLiteral("Mittelwert aus 16")));
    ExpectTidy(progress, "progress of the mean");
    form.Averager->Cancel(QString());

    TAboutBox about(&form);
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    ExpectTidy(&about, "about box");
    EXPECT_TRUE(errors.texts.empty());
    for (const QString& text : shown_)
        EXPECT_EQ(text, English() ? QStringLiteral("No default printer is chosen")
                                  : QStringLiteral("Zur Zeit ist kein Standard-Drucker gewählt"));
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, WindowTexts, ::testing::Values(UiLanguage::German, UiLanguage::English),
                         [](const ::testing::TestParamInfo<UiLanguage>& info) {
                             return info.param == UiLanguage::English ? std::string("English") : std::string("German");
                         });

} // namespace
