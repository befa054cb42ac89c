#include "widgets/SpinEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cstdint>

TRxSpinEdit::TRxSpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setLocale(QLocale(QLocale::German, QLocale::Germany));
    // Typed values outside the range stay as typed until the focus leaves;
    // the base class must not correct them on its own.
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
    setKeyboardTracking(true);
    lineEdit()->setText(QString::number(min_));
    connect(lineEdit(), &QLineEdit::textChanged, this, &TRxSpinEdit::textChanged);
}

bool TRxSpinEdit::parseWholeNumber(const QString& text, int& result)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return false;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < u'0' || c > u'9')
            return false;
        // Past the int limits the value only saturates; stop growing early
        // so a long run of digits cannot overflow the 64-bit accumulator.
        if (magnitude <= std::int64_t(INT_MAX) + 1)
            magnitude = magnitude * 10 + (c.unicode() - u'0');
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    result = int(std::clamp<std::int64_t>(signedValue, INT_MIN, INT_MAX));
    return true;
}

int TRxSpinEdit::value() const
{
    int v = 0;
    return parseWholeNumber(lineEdit()->text(), v) ? v : min_;
}

void TRxSpinEdit::setValue(int v)
{
    const QString text = QString::number(std::clamp(v, min_, max_));
    if (lineEdit()->text() != text)
        lineEdit()->setText(text);
}

void TRxSpinEdit::setRange(int min, int max)
{
    min_ = min;
    max_ = std::max(min, max);
    update();
}

void TRxSpinEdit::setIncrement(int increment)
{
    increment_ = increment;
}

void TRxSpinEdit::stepBy(int steps)
{
    const std::int64_t next = std::int64_t(value()) + std::int64_t(steps) * increment_;
    setValue(int(std::clamp<std::int64_t>(next, min_, max_)));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled TRxSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    // Only the arrow that would push against a bound the value sits on is
    // off: from a typed value beyond the range either arrow brings it back.
    const int v = value();
    StepEnabled e = StepNone;
    if (v != max_)
        e |= StepUpEnabled;
    if (v != min_)
        e |= StepDownEnabled;
    return e;
}

QValidator::State TRxSpinEdit::validate(QString& input, int& /*pos*/) const
{
    for (const QChar c : input) {
        if (!(c.isDigit() && c.unicode() < 128) && c != u'+' && c != u'-') {
            QApplication::beep();
            return QValidator::Invalid;
        }
    }
    return QValidator::Acceptable;
}

void TRxSpinEdit::focusOutEvent(QFocusEvent* event)
{
    // Leaving the field settles its text: a value outside the range goes to
    // the nearer bound, a text that is no number to the minimum it reads as.
    setValue(value());
    QAbstractSpinBox::focusOutEvent(event);
}

void TRxSpinEdit::textChanged()
{
    update(); // the arrows' enabled state follows the value
    if (OnChange)
        OnChange(this);
    emit changed();
}
