// The pictures the program ships: each must load and have the shape the
// buttons and dialogs that show it rely on.
#include "resources/Resources.h"
#include "widgets/ButtonsXP.h"
#include "widgets/ImageBtnUnit.h"
#include "widget_test_support.h"

#include <QDialog>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using widget_test::kOlive;

QImage Load(const QString& path)
{
    StillwiseInitResources();
    return QImage(path);
}

// A 16-colour glyph of `images` images, transparent in its bottom-left
// corner, with something visible in every image.
void ExpectGlyph(const QString& path, QSize size, int images)
{
    SCOPED_TRACE(path.toStdString());
    const QImage glyph = Load(path);
    ASSERT_FALSE(glyph.isNull());
    EXPECT_EQ(glyph.size(), size);
    EXPECT_LE(glyph.colorCount(), 16);
    EXPECT_EQ(glyph.pixel(0, glyph.height() - 1), kOlive);
    const int width = size.width() / images;
    for (int i = 0; i < images; ++i) {
        int visible = 0;
        for (int y = 0; y < glyph.height(); ++y)
            for (int x = i * width; x < (i + 1) * width; ++x)
                visible += glyph.pixel(x, y) != kOlive;
        EXPECT_GT(visible, 10) << "image " << i;
    }
}

TEST(ProgramPictures, CommandButtonGlyphsAreTwoImagesOf16By16)
{
    for (const char* name : {"camera_settings", "camera_format", "save_snapshot", "change_driver", "snapshot", "web"})
        ExpectGlyph(QStringLiteral(":/glyphs/%1.bmp").arg(QLatin1String(name)), QSize(32, 16), 2);
    ExpectGlyph(QStringLiteral(":/glyphs/web_single.bmp"), QSize(16, 16), 1);
}

TEST(ProgramPictures, StockGlyphsAreTwoImagesAndDistinct)
{
    QSet<QByteArray> seen;
    for (TBitBtnXPKind kind : {bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll}) {
        const QImage& glyph = StockGlyph(kind);
        ASSERT_FALSE(glyph.isNull()) << kind;
        EXPECT_EQ(glyph.size(), QSize(36, kind == bkAll ? 19 : 18)) << kind;
        EXPECT_EQ(glyph.pixel(0, glyph.height() - 1), kOlive) << kind;
        seen.insert(QByteArray(reinterpret_cast<const char*>(glyph.constBits()), glyph.sizeInBytes()));
    }
    EXPECT_EQ(seen.size(), 10);
    EXPECT_TRUE(StockGlyph(bkCustom).isNull());
}

TEST(ProgramPictures, PictureButtonPairsAreEqualSizedAndDiffer)
{
    for (const char* name : {"about", "exit"}) {
        const QImage normal = Load(QStringLiteral(":/buttons/%1.png").arg(QLatin1String(name)));
        const QImage pressed = Load(QStringLiteral(":/buttons/%1_pressed.png").arg(QLatin1String(name)));
        EXPECT_EQ(normal.size(), QSize(101, 30)) << name;
        EXPECT_EQ(pressed.size(), QSize(101, 30)) << name;
        EXPECT_NE(normal, pressed) << name;
    }
}

TEST(ProgramPictures, IconComesScalableAndAsPictures)
{
    StillwiseInitResources();
    QFile svg(QStringLiteral(":/icons/stillwise.svg"));
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    EXPECT_TRUE(svg.readAll().contains("<svg"));
    for (int size : {16, 32, 48, 64, 128, 256})
        EXPECT_EQ(Load(QStringLiteral(":/icons/stillwise-%1.png").arg(size)).size(), QSize(size, size));
}

// The command bar's buttons as a person sees them, for a look by eye.
TEST(ProgramPictures, CommandButtonsWithTheirGlyphs)
{
    QDialog bar;
    bar.resize(600, 80);
    QFont font(QStringLiteral("MS Sans Serif")); // the main window's font, 11 pixels high
    font.setPixelSize(11);
    bar.setFont(font);
    struct Button {
        const char* caption;
        const char* glyph;
        QRect geometry;
    };
    const Button buttons[] = {
        {"Cam konfigurieren", "camera_settings", {8, 8, 129, 25}},
        {"Cam Bildformat", "camera_format", {144, 8, 129, 25}},
        {"Schnappschuß s&peichern...", "save_snapshot", {280, 8, 169, 25}},
        {"Treiber wechseln...", "change_driver", {456, 8, 121, 25}},
        {"&Schnappschuß", "snapshot", {280, 40, 169, 25}},
    };
    for (const Button& b : buttons) {
        auto* button = new TBitBtnXP(&bar);
        button->setText(QString::fromUtf8(b.caption));
        button->SetGlyph(Load(QStringLiteral(":/glyphs/%1.bmp").arg(QLatin1String(b.glyph))));
        button->setGeometry(b.geometry);
        EXPECT_EQ(button->NumGlyphs(), 2);
    }
    auto* about = new TImageBtn(&bar);
    about->SetPicture(QPixmap::fromImage(Load(QStringLiteral(":/buttons/about.png"))));
    about->move(8, 40);
    auto* off = new TBitBtnXP(&bar);
    off->setText(QStringLiteral("Cam Bildformat"));
    off->SetGlyph(Load(QStringLiteral(":/glyphs/camera_format.bmp")));
    off->setGeometry(456, 40, 129, 25);
    off->setEnabled(false);
    bar.show();
    const QImage shot = widget_test::Grab(bar, QStringLiteral("command-buttons"));
    EXPECT_EQ(about->size(), QSize(101, 30));
    // The disabled button shows the glyph's own second image, not the first.
    const QImage glyph = Load(QStringLiteral(":/glyphs/camera_format.bmp"));
    int red = 0;
    for (int y = 40; y < 65; ++y)
        for (int x = 456; x < 585; ++x)
            red += widget_test::Rgb(shot, x, y) == qRgb(255, 0, 0);
    EXPECT_EQ(red, 0);
    ASSERT_GT(widget_test::CountColour(glyph.copy(0, 0, 16, 16).convertToFormat(QImage::Format_RGB32), qRgb(255, 0, 0)), 0);
}

} // namespace
