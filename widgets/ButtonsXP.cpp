#include "widgets/ButtonsXP.h"

#include "resources/Resources.h"
#include "widgets/DialogKeys.h"
#include "widgets/VisualStyles.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>

#include <array>

namespace {

struct KindRow {
    const char* caption;
    int modalResult;
    bool isDefault;
    bool isCancel;
    const char* glyphName;
};

// Indexed by TBitBtnXPKind. The captions are translatable texts.
const std::array<KindRow, 11> kKinds = {{
    {nullptr, mrNone, false, false, nullptr},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "OK"), mrOk, true, false, "BBOKX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "Cancel"), mrCancel, false, true, "BBCANCELX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "&Help"), mrNone, false, false, "BBHELPX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "&Yes"), mrYes, true, false, "BBYESX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "&No"), mrNo, false, true, "BBNOX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "&Close"), mrNone, false, false, "BBCLOSEX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "Abort"), mrAbort, false, false, "BBABORTX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "&Retry"), mrRetry, false, false, "BBRETRYX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "&Ignore"), mrIgnore, false, false, "BBIGNOREX"},
    {QT_TRANSLATE_NOOP("TBitBtnXP", "&All"), mrAll, false, false, "BBALLX"},
}};

const KindRow& Row(TBitBtnXPKind kind)
{
    return kKinds.at(static_cast<std::size_t>(kind));
}

TBitBtnXP::HelpHandler& CurrentHelpHandler()
{
    static TBitBtnXP::HelpHandler handler;
    return handler;
}

} // namespace

QString KindCaption(TBitBtnXPKind kind)
{
    const char* caption = Row(kind).caption;
    return caption ? QCoreApplication::translate("TBitBtnXP", caption) : QString();
}

const QImage& StockGlyph(TBitBtnXPKind kind)
{
    static const std::array<QImage, kKinds.size()> glyphs = [] {
        StillwiseInitResources();
        std::array<QImage, kKinds.size()> loaded;
        for (std::size_t i = 0; i < kKinds.size(); ++i)
            if (const char* name = kKinds[i].glyphName)
                loaded[i] = QImage(QStringLiteral(":/glyphs/stock/%1.bmp").arg(QLatin1String(name)));
        return loaded;
    }();
    return glyphs.at(static_cast<std::size_t>(kind));
}

TBitBtnXP::TBitBtnXP(QWidget* parent) : QPushButton(parent)
{
    // Enter and Escape are handled by DialogKeys; QDialog's own default
    // button must not compete.
    setAutoDefault(false);
    QPushButton::setDefault(false);
    glyph_.OnChange = [this] { update(); };
    connect(this, &QAbstractButton::clicked, this, &TBitBtnXP::HandleClicked);
    focusConnection_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FocusChanged(now); });
}

TBitBtnXP::~TBitBtnXP()
{
    // QWidget's destructor still moves the focus away; by then this is no
    // longer a button to tell.
    disconnect(focusConnection_);
}

TBitBtnXP::HelpHandler TBitBtnXP::SetHelpHandler(HelpHandler handler)
{
    return std::exchange(CurrentHelpHandler(), std::move(handler));
}

void TBitBtnXP::SetGlyph(const QImage& glyph)
{
    glyph_.SetGlyph(glyph);
    glyphModified_ = true;
}

void TBitBtnXP::SetNumGlyphs(int value)
{
    glyph_.SetNumGlyphs(std::min(value, 4));
}

TBitBtnXPKind TBitBtnXP::Kind() const
{
    if (kind_ != bkCustom) {
        const KindRow& row = Row(kind_);
        if (default_ != row.isDefault || cancel_ != row.isCancel || modalResult_ != row.modalResult || glyphModified_)
            kind_ = bkCustom;
    }
    return kind_;
}

void TBitBtnXP::SetKind(TBitBtnXPKind kind)
{
    if (kind == kind_)
        return;
    if (kind != bkCustom) {
        const KindRow& row = Row(kind);
        default_ = row.isDefault;
        cancel_ = row.isCancel;
        UpdateDefaultStyled(window()->focusWidget());
        setText(KindCaption(kind));
        modalResult_ = row.modalResult;
        glyph_.SetGlyph(StockGlyph(kind));
        SetNumGlyphs(2);
        glyphModified_ = false;
    }
    kind_ = kind;
    update();
}

void TBitBtnXP::SetLayout(TButtonLayout layout)
{
    if (layout != layout_) {
        layout_ = layout;
        update();
    }
}

void TBitBtnXP::SetMargin(int margin)
{
    if (margin != margin_ && margin >= -1) {
        margin_ = margin;
        update();
    }
}

void TBitBtnXP::SetSpacing(int spacing)
{
    if (spacing != spacing_) {
        spacing_ = spacing;
        update();
    }
}

void TBitBtnXP::SetStyle(TButtonStyle style)
{
    if (style != style_) {
        style_ = style;
        update();
    }
}

void TBitBtnXP::SetDefault(bool value)
{
    default_ = value;
    UpdateDefaultStyled(window()->focusWidget());
}

void TBitBtnXP::SetCancel(bool value)
{
    cancel_ = value;
}

void TBitBtnXP::SetModalResult(int value)
{
    modalResult_ = value;
}

void TBitBtnXP::FocusChanged(QWidget* now)
{
    if (now && now->window() == window())
        UpdateDefaultStyled(now);
}

void TBitBtnXP::UpdateDefaultStyled(QWidget* focus)
{
    const bool styled = qobject_cast<QPushButton*>(focus) ? focus == this : default_;
    if (styled != defaultStyled_) {
        defaultStyled_ = styled;
        update();
    }
}

void TBitBtnXP::HandleClicked()
{
    const TBitBtnXPKind kind = Kind();
    if (kind == bkHelp) {
        for (QWidget* w = this; w; w = w->parentWidget()) {
            const int context = w->property("HelpContext").toInt();
            if (context != 0) {
                if (CurrentHelpHandler())
                    CurrentHelpHandler()(context);
                return;
            }
        }
    } else if (kind == bkClose) {
        if (QWidget* form = window(); form != this) {
            form->close();
            return;
        }
    }
    emit OnClick();
    if (modalResult_ != mrNone)
        if (auto* dialog = qobject_cast<QDialog*>(window()); dialog && dialog->isModal())
            dialog->done(modalResult_);
}

void TBitBtnXP::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Passed on to the window, where DialogKeys picks the button.
        event->ignore();
        return;
    default:
        QPushButton::keyPressEvent(event);
    }
}

void TBitBtnXP::showEvent(QShowEvent* event)
{
    QPushButton::showEvent(event);
    DialogKeys::Install(window());
    glyph_.CreateButtonGlyph(isEnabled() ? bsUp : bsDisabled, Colours());
}

QSize TBitBtnXP::CaptionSize() const
{
    return text().isEmpty() ? QSize(0, 0) : fontMetrics().size(Qt::TextShowMnemonic, text());
}

QSize TBitBtnXP::sizeHint() const
{
    const QSize glyph = glyph_.ImageSize();
    const QSize caption = CaptionSize();
    const int gap = glyph.width() > 0 && caption.width() > 0 ? std::max(spacing_, 0) : 0;
    const bool stacked = layout_ == blGlyphTop || layout_ == blGlyphBottom;
    QSize content = stacked
        ? QSize(std::max(glyph.width(), caption.width()), glyph.height() + gap + caption.height())
        : QSize(glyph.width() + gap + caption.width(), std::max(glyph.height(), caption.height()));
    // Frame, default-button frame and a little air on every side.
    return (content + QSize(2 * 8, 2 * 5)).expandedTo(QSize(75, 25));
}

GlyphColours TBitBtnXP::Colours() const
{
    const QPalette& pal = palette();
    return {pal.color(QPalette::Active, QPalette::Button).rgb(), pal.color(QPalette::Active, QPalette::Light).rgb(),
            pal.color(QPalette::Active, QPalette::Dark).rgb()};
}

void TBitBtnXP::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    const bool themed = visual_styles::InUse();
    const bool pressed = isDown();
    const bool focused = hasFocus();
    const TButtonState state = !isEnabled() ? bsDisabled : pressed ? bsDown : bsUp;
    QRect r = rect();

    if (themed)
        p.fillRect(r, pal.color(QPalette::Active, QPalette::Button));

    if ((defaultStyled_ || focused) && !themed) {
        p.setPen(pal.color(QPalette::Active, QPalette::Shadow));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }

    QStyleOptionButton panel;
    panel.initFrom(this);
    panel.rect = r;
    panel.state &= ~QStyle::State_MouseOver;
    if (defaultStyled_)
        panel.features |= QStyleOptionButton::DefaultButton;
    if (pressed) {
        if (themed) {
            panel.state |= QStyle::State_Sunken | QStyle::State_On;
            style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &panel, &p, this);
        } else {
            p.setPen(pal.color(QPalette::Active, QPalette::Dark));
            p.setBrush(pal.brush(QPalette::Active, QPalette::Button));
            p.drawRect(r.adjusted(0, 0, -1, -1));
        }
        r.adjust(1, 1, -1, -1);
    } else if (themed) {
        panel.state |= QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &panel, &p, this);
    } else {
        const QBrush face = pal.brush(QPalette::Active, QPalette::Button);
        qDrawWinButton(&p, r, pal, false, &face);
        r.adjust(2, 2, -2, -2);
    }

    if (defaultStyled_)
        r = rect().adjusted(1, 1, -1, -1);
    if (pressed)
        r.translate(1, 1);

    const QString caption = text();
    const ButtonLayoutResult layout = CalcButtonLayout(r, glyph_.ImageSize(), CaptionSize(), layout_, margin_, spacing_,
                                                       layoutDirection() == Qt::RightToLeft);
    glyph_.Draw(p, layout.glyphPos, state, Colours());
    if (!caption.isEmpty()) {
        const int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        if (state == bsDisabled) {
            p.setPen(pal.color(QPalette::Active, QPalette::Light));
            p.drawText(layout.textBounds.translated(1, 1), flags, caption);
            p.setPen(pal.color(QPalette::Active, QPalette::Dark));
        } else {
            p.setPen(pal.color(QPalette::Active, QPalette::ButtonText));
        }
        p.drawText(layout.textBounds, flags, caption);
    }

    if (defaultStyled_ && focused) {
        QStyleOptionFocusRect focusRect;
        focusRect.initFrom(this);
        focusRect.rect = rect().adjusted(4, 4, -4, -4);
        focusRect.backgroundColor = pal.color(QPalette::Active, QPalette::Button);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focusRect, &p, this);
    }
}
