#include "widgets/ButtonsXP.h"
#include "widgets/VisualStyles.h"
#include "widget_test_support.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using widget_test::GlyphStrip;
using widget_test::Grab;
using widget_test::Rgb;

using widget_test::kOlive;
using widget_test::kRed;

class StyleOverride {
public:
    explicit StyleOverride(bool themed) { visual_styles::SetOverride(themed); }
    ~StyleOverride() { visual_styles::SetOverride(std::nullopt); }
};

TEST(BitBtnXP, StartsAsTheDocumentedDefaults)
{
    TBitBtnXP b;
    EXPECT_EQ(b.Kind(), bkCustom);
    EXPECT_EQ(b.Layout(), blGlyphLeft);
    EXPECT_EQ(b.Margin(), -1);
    EXPECT_EQ(b.Spacing(), 4);
    EXPECT_EQ(b.Style(), bsAutoDetect);
    EXPECT_EQ(b.NumGlyphs(), 1);
    EXPECT_FALSE(b.Default());
    EXPECT_FALSE(b.Cancel());
    EXPECT_EQ(b.ModalResult(), 0);
}

TEST(BitBtnXP, PropertyWritesKeepTheirRanges)
{
    TBitBtnXP b;
    b.SetMargin(-2);
    EXPECT_EQ(b.Margin(), -1);
    b.SetMargin(6);
    b.SetMargin(-5);
    EXPECT_EQ(b.Margin(), 6);
    b.SetNumGlyphs(7);
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.SetGlyph(QImage(64, 16, QImage::Format_RGB32));
    EXPECT_EQ(b.NumGlyphs(), 4);
    b.SetGlyph(QImage(96, 16, QImage::Format_RGB32));
    EXPECT_EQ(b.NumGlyphs(), 1);
}

TEST(BitBtnXP, EveryKindSetsItsRowAndReadsBack)
{
    struct Expected {
        TBitBtnXPKind kind;
        const char* caption;
        int modalResult;
        bool isDefault;
        bool isCancel;
        int glyphHeight;
    };
    const Expected rows[] = {
        {bkOK, "OK", 1, true, false, 18},         {bkCancel, "Cancel", 2, false, true, 18},
        {bkHelp, "&Help", 0, false, false, 18},   {bkYes, "&Yes", 6, true, false, 18},
        {bkNo, "&No", 7, false, true, 18},        {bkClose, "&Close", 0, false, false, 18},
        {bkAbort, "Abort", 3, false, false, 18},  {bkRetry, "&Retry", 4, false, false, 18},
        {bkIgnore, "&Ignore", 5, false, false, 18}, {bkAll, "&All", 8, false, false, 19},
    };
    for (const Expected& row : rows) {
        SCOPED_TRACE(row.caption);
        TBitBtnXP b;
        b.SetKind(row.kind);
        EXPECT_EQ(b.Kind(), row.kind);
        EXPECT_EQ(b.text(), QString::fromLatin1(row.caption));
        EXPECT_EQ(b.ModalResult(), row.modalResult);
        EXPECT_EQ(b.Default(), row.isDefault);
        EXPECT_EQ(b.Cancel(), row.isCancel);
        EXPECT_EQ(b.Glyph().size(), QSize(36, row.glyphHeight));
        EXPECT_EQ(b.NumGlyphs(), 2);
    }
}

TEST(BitBtnXP, KindReadsCustomOnceItsRowNoLongerHolds)
{
    TBitBtnXP modal;
    modal.SetKind(bkOK);
    modal.SetModalResult(2);
    EXPECT_EQ(modal.Kind(), bkCustom);

    TBitBtnXP cancel;
    cancel.SetKind(bkCancel);
    cancel.SetCancel(false);
    EXPECT_EQ(cancel.Kind(), bkCustom);

    TBitBtnXP glyph;
    glyph.SetKind(bkYes);
    glyph.SetGlyph(GlyphStrip(2));
    EXPECT_EQ(glyph.Kind(), bkCustom);
    // Back to a stock kind: the glyph is the stock one again.
    glyph.SetKind(bkNo);
    EXPECT_EQ(glyph.Kind(), bkNo);
    EXPECT_EQ(glyph.Glyph().size(), QSize(36, 18));

    // Writing bkCustom changes nothing else.
    TBitBtnXP custom;
    custom.SetKind(bkOK);
    custom.SetKind(bkCustom);
    EXPECT_EQ(custom.text(), QStringLiteral("OK"));
    EXPECT_EQ(custom.ModalResult(), 1);
}

TEST(BitBtnXP, CloseKindClosesItsFormWithoutAClickEvent)
{
    QDialog form;
    auto* close = new TBitBtnXP(&form);
    close->SetKind(bkClose);
    QSignalSpy clicks(close, &TBitBtnXP::OnClick);
    form.show();
    ASSERT_TRUE(form.isVisible());
    close->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(clicks.count(), 0);

    // A custom button raises its event once per click.
    QDialog other;
    auto* plain = new TBitBtnXP(&other);
    QSignalSpy plainClicks(plain, &TBitBtnXP::OnClick);
    other.show();
    plain->click();
    EXPECT_EQ(plainClicks.count(), 1);
    EXPECT_TRUE(other.isVisible());
}

TEST(BitBtnXP, HelpKindShowsTheNearestHelpContextInsteadOfClicking)
{
    int shown = -1;
    const auto previous = TBitBtnXP::SetHelpHandler([&shown](int context) { shown = context; });
    QWidget form;
    form.setProperty("HelpContext", 17);
    QWidget box(&form);
    auto* help = new TBitBtnXP(&box);
    help->SetKind(bkHelp);
    QSignalSpy clicks(help, &TBitBtnXP::OnClick);
    help->click();
    EXPECT_EQ(shown, 17);
    EXPECT_EQ(clicks.count(), 0);

    form.setProperty("HelpContext", 0);
    help->click(); // no context anywhere: an ordinary click
    EXPECT_EQ(clicks.count(), 1);
    TBitBtnXP::SetHelpHandler(previous);
}

TEST(BitBtnXP, ModalResultEndsAModalDialog)
{
    QDialog dialog;
    auto* ok = new TBitBtnXP(&dialog);
    ok->SetKind(bkOK);
    QTimer::singleShot(0, ok, [ok] { ok->click(); });
    EXPECT_EQ(dialog.exec(), 1);

    auto* retry = new TBitBtnXP(&dialog);
    retry->SetKind(bkRetry);
    QTimer::singleShot(0, retry, [retry] { retry->click(); });
    EXPECT_EQ(dialog.exec(), 4);
}

TEST(BitBtnXP, EnterEscapeAndTheMarkedLetterClickTheirButtons)
{
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    auto* ok = new TBitBtnXP(&dialog);
    ok->SetKind(bkOK);
    auto* cancel = new TBitBtnXP(&dialog);
    cancel->SetKind(bkCancel);
    auto* snap = new TBitBtnXP(&dialog);
    snap->setText(QStringLiteral("&Schnappschuß"));
    QSignalSpy okClicks(ok, &TBitBtnXP::OnClick);
    QSignalSpy cancelClicks(cancel, &TBitBtnXP::OnClick);
    QSignalSpy snapClicks(snap, &TBitBtnXP::OnClick);
    dialog.setModal(false); // keep the modal results from closing it
    ok->SetModalResult(0);
    cancel->SetModalResult(0);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(okClicks.count(), 1); // the Default button is default-styled
    QTest::keyClick(edit, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(okClicks.count(), 1); // not with a modifier
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_EQ(cancelClicks.count(), 1);
    QTest::keyClick(edit, Qt::Key_S); // the edit takes letters itself
    EXPECT_EQ(snapClicks.count(), 0);
    edit->setReadOnly(true); // and a field that passes a letter on clicks nothing
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_S, Qt::NoModifier, QStringLiteral("s"));
    letter.ignore();
    QApplication::sendEvent(&dialog, &letter);
    EXPECT_EQ(snapClicks.count(), 0);
    edit->setReadOnly(false);

    // With a button focused, Enter clicks that button, a letter its owner.
    cancel->setFocus();
    QTest::keyClick(cancel, Qt::Key_Return);
    EXPECT_EQ(cancelClicks.count(), 2);
    EXPECT_EQ(okClicks.count(), 1);
    QTest::keyClick(cancel, Qt::Key_S);
    EXPECT_EQ(snapClicks.count(), 1);
    QTest::keyClick(cancel, Qt::Key_S, Qt::AltModifier); // a shortcut: clicks after a short press
    EXPECT_TRUE(QTest::qWaitFor([&] { return snapClicks.count() == 2; }, 2000));

    // A disabled button is never clicked from the keyboard.
    edit->setFocus();
    ok->setEnabled(false);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(okClicks.count(), 1);
}

TEST(BitBtnXP, DefaultStyleFollowsTheFocus)
{
    QDialog dialog;
    auto* edit = new QLineEdit(&dialog);
    auto* ok = new TBitBtnXP(&dialog);
    ok->SetDefault(true);
    auto* other = new TBitBtnXP(&dialog);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    edit->setFocus();
    EXPECT_TRUE(ok->DefaultStyled());
    EXPECT_FALSE(other->DefaultStyled());
    other->setFocus();
    EXPECT_FALSE(ok->DefaultStyled());
    EXPECT_TRUE(other->DefaultStyled());
    ok->setFocus();
    EXPECT_TRUE(ok->DefaultStyled());
    EXPECT_FALSE(other->DefaultStyled());
    // Dropping Default while another control has the focus drops the look.
    edit->setFocus();
    ok->SetDefault(false);
    EXPECT_FALSE(ok->DefaultStyled());
}

// ---- what a person sees ----

class BitBtnXPPicture : public ::testing::TestWithParam<bool> {};

TEST_P(BitBtnXPPicture, GlyphSitsWhereTheLayoutPutsItAndMovesWhenPressed)
{
    const bool themed = GetParam();
    StyleOverride style(themed);
    const QString look = themed ? QStringLiteral("themed") : QStringLiteral("classic");
    TBitBtnXP b;
    b.resize(100, 30);
    b.SetGlyph(GlyphStrip(2)); // red up image, grey disabled image
    b.show();

    // Face 96 x 26 inside the classic frame, the whole button when themed:
    // the 16 x 16 glyph is centred at (42, 7) either way.
    QImage up = Grab(b, "bitbtn-up-" + look);
    EXPECT_EQ(Rgb(up, 42, 7), kRed);
    EXPECT_EQ(Rgb(up, 57, 22), kRed);
    EXPECT_NE(Rgb(up, 41, 7), kRed);
    EXPECT_NE(Rgb(up, 42, 6), kRed);
    EXPECT_NE(Rgb(up, 42, 22), kRed); // transparent corner shows the face
    EXPECT_NE(Rgb(up, 42, 22), kOlive);

    b.setDown(true);
    QImage down = Grab(b, "bitbtn-down-" + look);
    EXPECT_EQ(Rgb(down, 43, 8), kRed);
    EXPECT_EQ(Rgb(down, 58, 23), kRed);
    EXPECT_NE(Rgb(down, 42, 7), kRed);
    b.setDown(false);

    b.setEnabled(false);
    QImage disabled = Grab(b, "bitbtn-disabled-" + look);
    const QRgb shadow = b.palette().color(QPalette::Active, QPalette::Dark).rgb();
    EXPECT_EQ(Rgb(disabled, 42, 7), shadow); // grey second image, recoloured
    EXPECT_EQ(Rgb(disabled, 57, 22), shadow);
}

TEST_P(BitBtnXPPicture, ThirdImageIsTheDownImage)
{
    StyleOverride style(GetParam());
    TBitBtnXP b;
    b.resize(100, 30);
    b.SetGlyph(GlyphStrip(3)); // red, grey, blue
    ASSERT_EQ(b.NumGlyphs(), 3);
    b.setDown(true);
    b.show();
    QImage down = Grab(b, QStringLiteral("bitbtn-three-down"));
    EXPECT_EQ(Rgb(down, 50, 15), qRgb(0, 0, 255));
}

TEST_P(BitBtnXPPicture, DisabledCaptionIsEtchedInHighlightAndShadow)
{
    StyleOverride style(GetParam());
    TBitBtnXP b;
    QFont font = b.font();
    font.setStyleStrategy(QFont::NoAntialias);
    font.setPixelSize(14);
    b.setFont(font);
    b.resize(120, 30);
    b.setText(QStringLiteral("Treiber"));
    b.show();
    const QRgb text = b.palette().color(QPalette::Active, QPalette::ButtonText).rgb();
    const QRgb light = b.palette().color(QPalette::Active, QPalette::Light).rgb();
    const QRgb dark = b.palette().color(QPalette::Active, QPalette::Dark).rgb();

    const QImage enabled = Grab(b, QStringLiteral("bitbtn-caption"));
    EXPECT_GT(widget_test::CountColour(enabled, text), 20);

    b.setEnabled(false);
    const QImage disabled = Grab(b, QStringLiteral("bitbtn-caption-disabled"));
    // Each shadow pixel of the caption has its highlight copy one pixel right
    // and down, unless the shadow pass covered that spot.
    int shadowPixels = 0;
    int litBelowRight = 0;
    const QRect inner = b.rect().adjusted(4, 4, -4, -4);
    for (int y = inner.top(); y < inner.bottom(); ++y)
        for (int x = inner.left(); x < inner.right(); ++x)
            if (Rgb(disabled, x, y) == dark) {
                ++shadowPixels;
                const QRgb next = Rgb(disabled, x + 1, y + 1);
                litBelowRight += next == light || next == dark;
            }
    EXPECT_GT(shadowPixels, 20);
    EXPECT_EQ(litBelowRight, shadowPixels);
    EXPECT_EQ(widget_test::CountColour(disabled, text), 0);
}

INSTANTIATE_TEST_SUITE_P(Looks, BitBtnXPPicture, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Themed" : "Classic"; });

TEST(BitBtnXPPicture, ClassicFrameMarksTheDefaultButtonAndThemedDrawsTheFocusInside)
{
    QDialog dialog;
    dialog.resize(300, 100);
    auto* edit = new QLineEdit(&dialog);
    edit->setGeometry(200, 10, 80, 20);
    auto* b = new TBitBtnXP(&dialog);
    b->setGeometry(10, 10, 100, 30);
    b->setText(QStringLiteral("OK"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    edit->setFocus();
    const QRgb frame = b->palette().color(QPalette::Active, QPalette::Shadow).rgb();

    {
        StyleOverride classic(false);
        const QImage plain = Grab(*b, QStringLiteral("bitbtn-classic-plain"));
        b->SetDefault(true);
        const QImage marked = Grab(*b, QStringLiteral("bitbtn-classic-default"));
        b->SetDefault(false);
        // The default button gets a 1-pixel frame around the classic one.
        EXPECT_EQ(Rgb(marked, 50, 0), frame);
        EXPECT_EQ(Rgb(marked, 0, 15), frame);
        EXPECT_EQ(Rgb(marked, 50, 1), Rgb(plain, 50, 0)); // the frame moved in by one
    }
    {
        StyleOverride themed(true);
        dialog.setAttribute(Qt::WA_KeyboardFocusChange);
        edit->setFocus();
        const QImage unfocused = Grab(*b, QStringLiteral("bitbtn-themed-unfocused"));
        b->setFocus();
        ASSERT_TRUE(b->DefaultStyled());
        const QImage focused = Grab(*b, QStringLiteral("bitbtn-themed-focused"));
        // The focus rectangle lies 4 pixels inside the edge.
        const QRect ring = b->rect().adjusted(4, 4, -4, -4);
        int changedOnRing = 0;
        for (int x = ring.left() + 8; x < ring.right() - 8; ++x)
            changedOnRing += Rgb(focused, x, ring.top()) != Rgb(unfocused, x, ring.top());
        EXPECT_GT(changedOnRing, 10);
    }
}

} // namespace
