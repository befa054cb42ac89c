#pragma once
// "Auto-Glättung": the check box that switches the frame step to the
// automatic smoother, which estimates the noise by itself and spares what
// moves. While it is on, motion sparing and its threshold are not asked (the
// smoother decides per pixel), the estimated noise level is shown in the
// status bar and the box's tooltip, and the strength field's tooltip says
// how many frames a still picture may then be averaged over. The choice is remembered across starts;
// without a stored choice the box starts off, the frame step as it always was.

#include "denoise/AutoSmoother.h"

#include <QElapsedTimer>
#include <QString>

#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QWidget;
class TRxSpinEdit;

class AutoSmoothing {
public:
    // Drives `box` and `level` (a label in the status bar), which their window
    // lays out and owns; `strength` is the strength field, whose tooltip it
    // keeps while the box is on (and gives back when off); `spared` are the
    // controls that only mean something while the box is off. Reads the
    // stored choice.
    AutoSmoothing(QCheckBox* box, QLabel* level, TRxSpinEdit* strength, std::vector<QWidget*> spared);
    ~AutoSmoothing();
    AutoSmoothing(const AutoSmoothing&) = delete;
    AutoSmoothing& operator=(const AutoSmoothing&) = delete;

    // The smoother for the frame step while the box is on, else null.
    denoise::AutoSmoother* active();

    // The stream changed (another camera, a new format, the preview paused):
    // the next frame starts afresh.
    void restart();

    // After each frame step: renews the shown noise level now and then.
    void frameDone();

    // The words for a noise level, as shown in the status bar.
    static QString LevelText(double level);

    // What a strength means to the smoother: how many frames a still
    // picture may be averaged over, as the strength field's tooltip says.
    static QString StrengthText(int strength);

private:
    void toggled(bool on);
    void showLevel();
    void showStrength();

    QCheckBox* box_;
    QLabel* level_;
    TRxSpinEdit* strength_;
    QString strengthTip_; // the field's own tooltip, for while the box is off
    std::vector<QWidget*> spared_;
    denoise::AutoSmoother smoother_;
    QElapsedTimer sinceShown_;
};
