#include "widgets/DialogKeys.h"

#include "widgets/ButtonsXP.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

// The letter marked with "&" in a caption ("&&" is a plain "&"); null when
// there is none.
QChar Mnemonic(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&'))
            continue;
        if (caption[i + 1] != QLatin1Char('&'))
            return caption[i + 1].toLower();
        ++i;
    }
    return {};
}

bool CanFocus(const QWidget* w)
{
    return w->isVisible() && w->isEnabled();
}

} // namespace

void DialogKeys::Install(QWidget* window)
{
    if (!window->findChild<QObject*>(QString::fromLatin1(kName), Qt::FindDirectChildrenOnly))
        new DialogKeys(window);
}

bool DialogKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* window = qobject_cast<QWidget*>(watched);
    if (!window)
        return false;
    TBitBtnXP* target = Target(window, *static_cast<QKeyEvent*>(event));
    if (!target)
        return false;
    target->click();
    return true;
}

DialogKeys::DialogKeys(QWidget* window) : QObject(window)
{
    setObjectName(QString::fromLatin1(kName));
    window->installEventFilter(this);
}

TBitBtnXP* DialogKeys::Target(QWidget* window, const QKeyEvent& key)
{
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    const auto buttons = window->findChildren<TBitBtnXP*>();
    auto first = [&](auto&& wanted) -> TBitBtnXP* {
        for (TBitBtnXP* b : buttons)
            if (b->window() == window && CanFocus(b) && wanted(b))
                return b;
        return nullptr;
    };
    switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return modifiers == Qt::NoModifier ? first([](TBitBtnXP* b) { return b->DefaultStyled(); }) : nullptr;
    case Qt::Key_Escape:
        return modifiers == Qt::NoModifier ? first([](TBitBtnXP* b) { return b->Cancel(); }) : nullptr;
    default:
        break;
    }
    if ((modifiers & ~Qt::ShiftModifier) != Qt::NoModifier || key.text().size() != 1 ||
        !key.text()[0].isLetterOrNumber())
        return nullptr;
    // A plain letter is a mnemonic only while the focus is on a control
    // that never takes text; a field that refused a letter it does not
    // accept must not click a button instead.
    const QWidget* focus = QApplication::focusWidget();
    if (focus && !qobject_cast<const QAbstractButton*>(focus))
        return nullptr;
    const QChar letter = key.text()[0].toLower();
    return first([letter](TBitBtnXP* b) { return Mnemonic(b->text()) == letter; });
}
