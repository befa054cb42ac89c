#include "resources/Resources.h"
#include "widgets/AboutBoxUnit.h"
#include "widgets/BevelPanel.h"
#include "widgets/ButtonsXP.h"
#include "widgets/MakerSite.h"
#include "widgets/UrlOpener.h"
#include "widget_test_support.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

TEST(AboutBox, YearTakesThePlaceOfTheFirstPlaceholder)
{
    EXPECT_EQ(InsertYear(QStringLiteral("© XXXX Varnholt"), 2031), QStringLiteral("© 2031 Varnholt"));
    EXPECT_EQ(InsertYear(QStringLiteral("XXXX-XXXX"), 2031), QStringLiteral("2031-XXXX"));
    EXPECT_EQ(InsertYear(QStringLiteral(" Varnholt"), 2031), QStringLiteral("2031 Varnholt"));
    EXPECT_EQ(InsertYear(QString(), 999), QStringLiteral("999"));
}

TEST(AboutBox, ShowsItsPartsWhereTheyBelong)
{
    TAboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Info"));
    EXPECT_EQ(box.size(), QSize(664, 453));
    EXPECT_EQ(box.Panel1->geometry(), QRect(8, 8, 649, 385));
    EXPECT_EQ(box.ProgramIcon->geometry(), QRect(16, 40, 306, 322));
    EXPECT_EQ(box.ProgramIcon->pixmap().size(), QSize(306, 322));
    EXPECT_EQ(box.Copyright->pos(), QPoint(336, 40));
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_TRUE(box.Copyright->text().contains(year));
    EXPECT_FALSE(box.Copyright->text().contains(QStringLiteral("XXXX")));
    EXPECT_EQ(box.BitBtnXP1->geometry(), QRect(336, 240, 169, 25));
    EXPECT_EQ(box.BitBtnXP1->NumGlyphs(), 2);
    EXPECT_EQ(box.BitBtn1->geometry(), QRect(241, 404, 181, 37));
    EXPECT_EQ(box.BitBtn1->Kind(), bkOK);

    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QImage shot = widget_test::Grab(box, QStringLiteral("about-box"));
    // The panel's colour shows beside the picture.
    EXPECT_EQ(widget_test::Rgb(shot, 8 + 330, 8 + 300), qRgb(240, 202, 166));
}

TEST(AboutBox, DamagedPictureLeavesItsPlaceEmpty)
{
    StillwiseInitResources();
    QFile file(QStringLiteral(":/pictures/about.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    for (const QByteArray& bad : {good.left(good.size() / 2), QByteArray()}) {
        TAboutBox box(nullptr, bad);
        EXPECT_TRUE(box.ProgramIcon->pixmap().isNull());
        EXPECT_EQ(box.ProgramIcon->geometry(), QRect(16, 40, 306, 322));
        const QImage shot = widget_test::Grab(box, QStringLiteral("about-box-no-picture"));
        EXPECT_EQ(widget_test::Rgb(shot, 8 + 16 + 150, 8 + 40 + 160), qRgb(240, 202, 166));
    }
}

TEST(AboutBox, WebButtonOpensTheMakersSiteThroughTheDesktopAndSaysWhenItCannot)
{
    QList<QUrl> opened;
    bool desktopOpens = true;
    const auto previous = url_opener::SetOpener([&](const QUrl& url) {
        opened.push_back(url);
        return desktopOpens;
    });
    QStringList notices;
    const auto previousNotice = url_opener::SetNotice([&notices](QWidget*, const QString& text) { notices << text; });
    TAboutBox box;
    box.BitBtnXP1->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl(QString::fromUtf8(kMakerSite)));
    EXPECT_TRUE(notices.isEmpty());

    // No browser to start: the user is told, in German, with the address.
    desktopOpens = false;
    box.BitBtnXP1->click();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("Die Adresse https://stillwise.example/ ließ sich nicht")))
        << notices[0].toStdString();
    EXPECT_TRUE(notices[0].contains(QStringLiteral("xdg-utils")));
    url_opener::SetOpener(previous);
    url_opener::SetNotice(previousNotice);
}

// The real desktop with nothing to open addresses with: Qt's answer is
// taken as it comes, and a failure reaches the user.
TEST(AboutBox, ADesktopWithoutAnOpenerIsReportedNotJustWarnedOnStandardError)
{
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    QStringList notices;
    const auto previousNotice = url_opener::SetNotice([&notices](QWidget*, const QString& text) { notices << text; });
    const bool opened = url_opener::OpenOrSay(nullptr, QUrl::fromLocalFile(QStringLiteral("/tmp/bild.png")));
    qputenv("PATH", path);
    url_opener::SetNotice(previousNotice);
    EXPECT_FALSE(opened);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0], url_opener::CannotOpenText(QUrl::fromLocalFile(QStringLiteral("/tmp/bild.png"))));
}

TEST(AboutBox, OkAndTheCloseBoxBothEndTheShowing)
{
    {
        TAboutBox box;
        QTimer::singleShot(0, &box, [&box] { box.BitBtn1->click(); });
        EXPECT_EQ(box.exec(), mrOk);
    }
    {
        TAboutBox box;
        QTimer::singleShot(0, &box, [&box] { box.close(); });
        EXPECT_EQ(box.exec(), mrCancel);
        EXPECT_FALSE(box.isVisible());
    }
    {
        // Enter on the focused OK button.
        TAboutBox box;
        QTimer::singleShot(0, &box, [&box] {
            box.activateWindow();
            QTest::keyClick(box.BitBtn1, Qt::Key_Return);
        });
        EXPECT_EQ(box.exec(), mrOk);
    }
}

} // namespace
