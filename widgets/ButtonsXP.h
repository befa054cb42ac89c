#pragma once
// TBitBtnXP: a push button that draws itself, a glyph beside or above its
// caption on a frame in the desktop's style (or the classic frame), with
// stock kinds (OK, Cancel, Yes, ...) that set caption, glyph, modal result
// and the default and cancel roles in one step.
//
// Connect to OnClick, not to QAbstractButton::clicked: a Help or Close
// button does its own work instead of raising OnClick. A nonzero
// ModalResult ends a modal QDialog with that result after OnClick.

#include "widgets/ButtonGlyph.h"
#include "widgets/ButtonLayout.h"

#include <QPushButton>

#include <functional>

enum TButtonStyle : int { bsAutoDetect, bsWin31, bsNew };

enum TBitBtnXPKind : int { bkCustom, bkOK, bkCancel, bkHelp, bkYes, bkNo, bkClose, bkAbort, bkRetry, bkIgnore, bkAll };

// Modal results of the stock kinds.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
inline constexpr int mrAll = 8;

class TBitBtnXP : public QPushButton {
    Q_OBJECT

public:
    explicit TBitBtnXP(QWidget* parent = nullptr);
    ~TBitBtnXP() override;

    // The glyph bitmap itself. Writing it takes a copy and makes the button
    // a custom one.
    const QImage& Glyph() const { return glyph_.Glyph(); }
    void SetGlyph(const QImage& glyph);
    int NumGlyphs() const { return glyph_.NumGlyphs(); }
    void SetNumGlyphs(int value); // above 4 counts as 4

    // Answers bkCustom as soon as Default, Cancel or ModalResult no longer
    // match the kind, or the glyph was written.
    TBitBtnXPKind Kind() const;
    void SetKind(TBitBtnXPKind kind);

    TButtonLayout Layout() const { return layout_; }
    void SetLayout(TButtonLayout layout);
    int Margin() const { return margin_; }
    void SetMargin(int margin); // values below -1 are ignored
    int Spacing() const { return spacing_; }
    void SetSpacing(int spacing);
    TButtonStyle Style() const { return style_; }
    void SetStyle(TButtonStyle style);

    // Enter clicks the default-styled button of its window, Escape a button
    // whose Cancel is set.
    bool Default() const { return default_; }
    void SetDefault(bool value);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool value);
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int value);

    // Drawn as the default button: after a focus change in its window, the
    // focused button alone; with the focus on another kind of control,
    // every button whose Default is set.
    bool DefaultStyled() const { return defaultStyled_; }

    // Room for glyph and caption side by side (or stacked) inside the frame.
    QSize sizeHint() const override;

    // Shows the application's help for a context; used by bkHelp buttons,
    // which look for the first nonzero integer property "HelpContext" on
    // themselves and their parents. Answers the handler it replaces.
    using HelpHandler = std::function<void(int context)>;
    static HelpHandler SetHelpHandler(HelpHandler handler);

signals:
    void OnClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void HandleClicked();
    void FocusChanged(QWidget* now);
    void UpdateDefaultStyled(QWidget* focus);
    GlyphColours Colours() const;
    // The caption's measured size, mnemonic marks left out; empty without one.
    QSize CaptionSize() const;

    TButtonGlyph glyph_;
    QMetaObject::Connection focusConnection_;
    mutable TBitBtnXPKind kind_ = bkCustom;
    TButtonLayout layout_ = blGlyphLeft;
    TButtonStyle style_ = bsAutoDetect;
    int spacing_ = 4;
    int margin_ = -1;
    bool default_ = false;
    bool cancel_ = false;
    int modalResult_ = mrNone;
    bool glyphModified_ = false;
    bool defaultStyled_ = false;
};

// The caption and the stock glyph of a kind (no glyph for bkCustom). The
// glyphs are loaded together on first use and kept until the program ends.
QString KindCaption(TBitBtnXPKind kind);
const QImage& StockGlyph(TBitBtnXPKind kind);
