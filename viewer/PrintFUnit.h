#pragma once
// The print dialog "Bild drucken...", the page-layout rule shared by its
// preview and by printing, and the print action of the snapshot viewer.

#include "dib/Pixmill.h"

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

// How the picture is to be laid out on the page.
struct PrintOptions {
    bool FullPage = true;   // "Seite voll nutzen"
    bool KeepAspect = true; // "Seitenverhältnis beibehalten"
    bool Centred = true;    // "Zentrierte Ausgabe"
    int Width = 50;         // "Breite in %:" (user-defined size only)
    int Height = 50;        // "Höhe in %:"
};

// A rectangle on a page, relative to the page's top-left corner.
struct PrintRect {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    friend bool operator==(const PrintRect&, const PrintRect&) = default;
};

// Where a picture of IW x IH pixels lands on a page of PW x PH pixels.
// The whole page (with keep aspect: as wide or as high as the page allows,
// the other side in proportion, cut toward zero), or Width and Height
// percent of the page rounded to the nearest pixel (halves to even);
// centred or at the top-left corner.
PrintRect CalcPrintRect(int PW, int PH, int IW, int IH, const PrintOptions& options);

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
    template <class F> void Guarded(F handler);

    bool FUpdating = false;
    bool shown_ = false;
    bool saved_ = false;
    bool noPrinterTold_ = false;
    gdi::PainterDC* previewDC_ = nullptr; // set while the preview paints
    std::string lastError_;               // the dialog's error last shown
};

// The viewer's "&Drucken": asks for the layout with a fresh TPrintForm owned
// by owner and, after "&OK", prints picture on one page of the current
// printer as the job "Lumora Bild". Errors of the printer go to the
// application's general error handler; a job that fails half-way is ended
// on the way out. A record without a picture prints nothing.
void PrintPicture(QWidget* owner, const DIB& picture);
