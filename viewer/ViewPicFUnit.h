#pragma once
// The window "Bild betrachten...": one snapshot, zoomed from 5 % to 9000 %,
// panned by dragging it with any mouse button, printed or saved.

#include "dib/Pixmill.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QScrollArea;
class QShowEvent;
class QStatusBar;
class QWidget;
class TPaintBox;
class TRxSpinEdit;

class TViewPicForm : public QDialog {
    Q_OBJECT
public:
    explicit TViewPicForm(QWidget* parent = nullptr);
    ~TViewPicForm() override;

    // The snapshot, borrowed from the caller for the time the window is
    // shown; the caller frees it afterwards and clears this record. Nothing
    // is drawn while it holds no picture.
    DIB ViewPic;

    // Handlers.
    void ZoomEdChange(QObject* Sender);
    void PaintBox1Paint(QObject* Sender);
    void PaintBox1MouseDown(QObject* Sender, Qt::MouseButton Button, int X, int Y);
    void PaintBox1MouseMove(QObject* Sender, Qt::MouseButton Button, int X, int Y);
    void PaintBox1MouseUp(QObject* Sender, Qt::MouseButton Button, int X, int Y);
    void PrintBrnClick(QObject* Sender);
    void SaveBtnClick(QObject* Sender);
    void SaveandOpenBtnClick(QObject* Sender);

    // The surface's size for the current zoom: the picture's size times the
    // zoom in percent, cut toward zero; 0 for a zoom of 0 or less.
    QSize ZoomedSize() const;

    // Controls.
    QWidget* Panel5 = nullptr;
    QPushButton* ReadyBtn = nullptr;
    QPushButton* PrintBrn = nullptr;
    QPushButton* SaveBtn = nullptr;
    QPushButton* SaveandOpenBtn = nullptr;
    QLabel* Label1 = nullptr;
    TRxSpinEdit* ZoomEd = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool FDragging = false;
    int FDownX = 0;
    int FDownY = 0;
};
