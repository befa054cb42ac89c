#pragma once
// The dialog "Videotreiber wechseln...": one drop-down list of the capture
// driver slots 0..9, OK and cancel. exec() answers 1 for OK, 0 otherwise.
// The list's item i stays slot i, but empty slots are not shown in the
// drop-down, which is only as tall as the drivers need; while the dialog is
// open the list follows cameras being plugged in and out.

#include <QDialog>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QShowEvent;
class QWidget;

class TDlgEinstell : public QDialog {
    Q_OBJECT
public:
    explicit TDlgEinstell(QWidget* owner = nullptr);

    QLabel* Label1 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QWidget* Panel1 = nullptr;
    QFrame* Bevel1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

    // Shows only the slots that hold a driver (done on showing).
    void HideEmptySlots();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RefreshDriverList();
};
