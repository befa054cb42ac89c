#pragma once
// DialogKeys: the keys a window hands on when the focused control does not
// take them: Enter for the default-styled button, Escape for a cancel
// button, a plain letter for the button whose caption marks it. One per
// window, shared by all its buttons (TBitBtnXP); it sees a key only after
// the focused control let it pass.

#include <QObject>

class QKeyEvent;
class QWidget;
class TBitBtnXP;

class DialogKeys : public QObject {
public:
    // Gives window its router, unless it has one already.
    static void Install(QWidget* window);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr const char* kName = "stillwise-dialog-keys";

    explicit DialogKeys(QWidget* window);

    static TBitBtnXP* Target(QWidget* window, const QKeyEvent& key);
};
