#pragma once
// The print dialog "Bild drucken...": the layout of the print chosen with a
// preview of the page.

#include "dib/Pixmill.h"
#include "viewer/PrintLayout.h"

#include <QDialog>

#include <exception>
#include <string>

class QCheckBox;
class QObject;
class QRadioButton;
class QPushButton;
class TRxSpinEdit;
using TSpinEdit = TRxSpinEdit;

namespace gdi {
class PainterDC;
}

// The print dialog. Made afresh for each print, given the picture in
// PrintPic, shown modally (exec() answers 1 for "&OK", 2 for "A&bbrechen"
// and the close box), read through Options() and destroyed.
//
// The two percentages and the window state are kept in the user's settings
// file (section "TPrintForm") from one run to the next: restored when the
// dialog is shown, written when it closes, or when a dialog that was shown
// is destroyed without having written them.
class TPrintForm : public QDialog {
    Q_OBJECT
public:
    explicit TPrintForm(QWidget* owner = nullptr);
    ~TPrintForm() override;

    // Borrowed: shares the caller's pixels, never freed here.
    DIB PrintPic;

    PrintOptions Options() const;

    // Whether this dialog has told the user that there is no printer. It
    // says so once, then lays the picture out on an A4 page.
    bool ToldNoPrinter() const { return noPrinterTold_; }

    // Handlers; the sender is not looked at.
    // Draws the preview page with the picture laid out on it, then runs the
    // width coupling. Outside a paint it has the preview painted at once.
    void PrintPaintBoxPaint(QObject* Sender = nullptr);
    // With keep aspect ticked, set the other percentage so the picture keeps
    // its aspect on the page (once corrected when it leaves 1..100), then
    // repaint the preview. One guard stops the other coupling meanwhile.
    void BreitEditChange(QObject* Sender = nullptr);
    void HochEditChange(QObject* Sender = nullptr);
    void UserdefCheckClick(QObject* Sender = nullptr);
    void FormShow(QObject* Sender = nullptr);
    // The printer setup dialog, then a fresh preview.
    void PrintSetupBtnClick(QObject* Sender = nullptr);

    // Controls.
    QRadioButton* UseFullCheck = nullptr;
    QRadioButton* UserdefCheck = nullptr;
    TSpinEdit* BreitEdit = nullptr;
    TSpinEdit* HochEdit = nullptr;
    QCheckBox* SverhCheck = nullptr;
    QCheckBox* ZentrCheck = nullptr;
    QWidget* PrintPaintBox = nullptr;
    QPushButton* PrintSetupBtn = nullptr;
    QPushButton* OkBitBtn1 = nullptr;
    QPushButton* CancelBitBtn2 = nullptr;

    // Closing by any button or the close box writes the settings. reject()
    // (close box, Escape) ends with 2 like "A&bbrechen".
    void done(int result) override;
    void reject() override;
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class PreviewBox;

    void BuildControls();
    void ConnectHandlers();
    void PaintPreviewEvent();
    void DrawPreview(gdi::PainterDC& dc);
    // The printer's page, or the standard page while there is no printer.
    QSize LayoutPage();
    void RepaintPreview();
    // One coupling of the two percentages under the keep-aspect option.
    void CoupleFields(TSpinEdit* changed, TSpinEdit* other, bool widthChanged);
    void RestoreSettings();
    void SaveSettings(bool destroying);
    // Runs a handler reached from a control. An error is handed to the
    // application's error handler once the control is done with its event.
    template <class F>
    void Guarded(F handler);

    bool FUpdating = false;
    bool shown_ = false;
    bool saved_ = false;
    bool noPrinterTold_ = false;
    gdi::PainterDC* previewDC_ = nullptr; // set while the preview paints
    std::string lastError_;               // the dialog's error last shown
};
