#pragma once
// A numeric field for whole numbers with a minimum, a maximum and an
// increment. Its arrows, the arrow keys and the mouse wheel add or subtract
// the increment, never past the range; from a typed value beyond the range
// either direction lands in it. While typing, the field takes only
// digits and the signs + and -, so the user may pass through values outside
// the range; the value is brought to the nearer bound when the field loses the
// focus. A text that is not a whole number reads as the minimum (and becomes
// it when the focus leaves).

#include <QAbstractSpinBox>

#include <functional>

class QFocusEvent;
class QObject;
class QString;

class TRxSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TRxSpinEdit(QWidget* parent = nullptr);

    // The field's value as it reads now: the typed whole number (possibly
    // outside the range while the user types, saturated to int), or the
    // minimum for any other text.
    int value() const;
    // Shows v, brought into the range.
    void setValue(int v);

    int minValue() const { return min_; }
    int maxValue() const { return max_; }
    int increment() const { return increment_; }
    // max below min is taken as max = min. The shown value is not changed.
    void setRange(int min, int max);
    void setIncrement(int increment);

    // Whole-number parsing used by value(): an optional sign and at least one
    // digit, nothing else; saturates at the int limits. Answers false for any
    // other text.
    static bool parseWholeNumber(const QString& text, int& result);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;

    // Called after every change of the text, with the field as sender.
    std::function<void(QObject* sender)> OnChange;

signals:
    // Emitted after every change of the text, like OnChange.
    void changed();

protected:
    StepEnabled stepEnabled() const override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void textChanged();

    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
};
