#include "viewer/PrintFUnit.h"

#include "dib/RenderDIB.h"
#include "platform/gdi/Gdi.h"
#include "platform/print/Printer.h"
#include "viewer/DesktopShell.h"
#include "viewer/PrintErrorRelay.h"
#include "viewer/PrintFormStorage.h"
#include "viewer/PrintLayout.h"
#include "widgets/CentreOnScreen.h"
#include "widgets/SpinEdit.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>

#include <cstdint>

// The preview surface: draws through the dialog's paint handler.
class TPrintForm::PreviewBox : public QWidget {
public:
    PreviewBox(TPrintForm& form, QWidget* parent) : QWidget(parent), form_(form) {}

protected:
    void paintEvent(QPaintEvent*) override { form_.PaintPreviewEvent(); }

private:
    TPrintForm& form_;
};

TPrintForm::TPrintForm(QWidget* owner) : QDialog(owner)
{
    BuildControls();
    ConnectHandlers();
}

TPrintForm::~TPrintForm()
{
    if (shown_ && !saved_) {
        try {
            SaveSettings(true);
        } catch (...) {
            // Nothing may leave a destructor; the values stay in memory.
        }
    }
}

void TPrintForm::BuildControls()
{
    setWindowTitle(tr("Bild drucken..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(427, 328);

    // Preview on the left.
    auto* previewPanel = new QFrame(this);
    previewPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    previewPanel->setGeometry(8, 8, 200, 225);
    auto* previewLabel = new QLabel(tr("Vorschau:"), previewPanel);
    previewLabel->setGeometry(6, 6, 150, 20);
    PrintPaintBox = new PreviewBox(*this, previewPanel);
    PrintPaintBox->setGeometry(5, 30, 190, 190);

    // Size of the print.
    auto* sizeBox = new QGroupBox(tr("Druckgröße"), this);
    sizeBox->setGeometry(216, 8, 203, 129);
    UseFullCheck = new QRadioButton(tr("Seite voll nutzen"), sizeBox);
    UseFullCheck->setGeometry(12, 22, 180, 20);
    UseFullCheck->setChecked(true);
    UserdefCheck = new QRadioButton(tr("Benutzerdefiniert"), sizeBox);
    UserdefCheck->setGeometry(12, 45, 180, 20);
    auto* breitLabel = new QLabel(tr("Breite in %:"), sizeBox);
    breitLabel->setGeometry(30, 72, 80, 21);
    BreitEdit = new TSpinEdit(sizeBox);
    BreitEdit->setRange(1, 100);
    BreitEdit->setIncrement(1);
    BreitEdit->setValue(50);
    BreitEdit->setGeometry(116, 72, 64, 22);
    breitLabel->setBuddy(BreitEdit);

    // The height field lies on the dialog itself, over the group box.
    auto* hochLabel = new QLabel(tr("Höhe in %:"), this);
    hochLabel->setGeometry(246, 106, 80, 21);
    HochEdit = new TSpinEdit(this);
    HochEdit->setRange(1, 100);
    HochEdit->setIncrement(1);
    HochEdit->setValue(50);
    HochEdit->setGeometry(332, 106, 64, 22);
    hochLabel->setBuddy(HochEdit);

    // Options.
    auto* optionsBox = new QGroupBox(tr("Druckoptionen"), this);
    optionsBox->setGeometry(216, 145, 203, 88);
    SverhCheck = new QCheckBox(tr("Seitenverhältnis beibehalten"), optionsBox);
    SverhCheck->setGeometry(8, 26, 193, 20);
    SverhCheck->setChecked(true);
    ZentrCheck = new QCheckBox(tr("Zentrierte Ausgabe"), optionsBox);
    ZentrCheck->setGeometry(8, 54, 193, 20);
    ZentrCheck->setChecked(true);

    auto* separator = new QFrame(this);
    separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    separator->setGeometry(8, 252, 411, 4);

    // Buttons.
    OkBitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), tr("&OK"), this);
    OkBitBtn1->setGeometry(8, 276, 90, 28);
    OkBitBtn1->setDefault(true);
    PrintSetupBtn = new QPushButton(tr("Drucker &einrichten..."), this);
    PrintSetupBtn->setGeometry(143, 276, 141, 28);
    CancelBitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), tr("A&bbrechen"), this);
    CancelBitBtn2->setGeometry(329, 276, 90, 28);

    setTabOrder(UseFullCheck, UserdefCheck);
    setTabOrder(UserdefCheck, BreitEdit);
    setTabOrder(BreitEdit, HochEdit);
    setTabOrder(HochEdit, SverhCheck);
    setTabOrder(SverhCheck, ZentrCheck);
    setTabOrder(ZentrCheck, OkBitBtn1);
    setTabOrder(OkBitBtn1, PrintSetupBtn);
    setTabOrder(PrintSetupBtn, CancelBitBtn2);
}

void TPrintForm::ConnectHandlers()
{
    // Radio buttons report becoming selected; check boxes every change.
    connect(UseFullCheck, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Guarded([this] { PrintPaintBoxPaint(); });
    });
    connect(UserdefCheck, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Guarded([this] { UserdefCheckClick(); });
    });
    connect(SverhCheck, &QCheckBox::toggled, this, [this] { Guarded([this] { PrintPaintBoxPaint(); }); });
    connect(ZentrCheck, &QCheckBox::toggled, this, [this] { Guarded([this] { PrintPaintBoxPaint(); }); });
    BreitEdit->OnChange = [this](QObject*) { Guarded([this] { BreitEditChange(); }); };
    HochEdit->OnChange = [this](QObject*) { Guarded([this] { HochEditChange(); }); };
    connect(PrintSetupBtn, &QPushButton::clicked, this, [this] { Guarded([this] { PrintSetupBtnClick(); }); });
    connect(OkBitBtn1, &QPushButton::clicked, this, [this] { done(1); });
    connect(CancelBitBtn2, &QPushButton::clicked, this, [this] { done(2); });
}

template <class F>
void TPrintForm::Guarded(F handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        lastError_ = e.what();
        RaiseInEventLoop(std::current_exception());
    } catch (...) {
        RaiseInEventLoop(std::current_exception());
    }
}

PrintOptions TPrintForm::Options() const
{
    PrintOptions o;
    o.FullPage = UseFullCheck->isChecked();
    o.KeepAspect = SverhCheck->isChecked();
    o.Centred = ZentrCheck->isChecked();
    o.Width = BreitEdit->value();
    o.Height = HochEdit->value();
    return o;
}

// ---- Preview -------------------------------------------------------------

// Shows the page with the picture where it will be printed.
void TPrintForm::PrintPaintBoxPaint(QObject* /*Sender*/)
{
    // Outside a paint the box is painted now, which comes back here.
    if (!previewDC_) {
        PrintPaintBox->repaint();
        return;
    }
    DrawPreview(*previewDC_);
    BreitEditChange();
}

void TPrintForm::RepaintPreview()
{
    // Inside the preview's own painting the repaint draws on the same
    // surface at once, as a nested paint would.
    PrintPaintBoxPaint();
}

void TPrintForm::PaintPreviewEvent()
{
    gdi::WidgetDC dc(PrintPaintBox);
    previewDC_ = &dc;
    const auto reset = qScopeGuard([this] { previewDC_ = nullptr; });
    try {
        PrintPaintBoxPaint();
        lastError_.clear();
    } catch (const std::exception& e) {
        // Every paint meets the same failure again (even the message box
        // closing brings a paint): the user has been told once already when
        // the dialog's last error says the same, until a drawing succeeds.
        if (lastError_ != e.what()) {
            lastError_ = e.what();
            RaiseInEventLoop(std::current_exception());
        }
    } catch (...) {
        RaiseInEventLoop(std::current_exception());
    }
}

QSize TPrintForm::LayoutPage()
{
    try {
        return print::CurrentPrinter().PageSize();
    } catch (const print::NoPrinterError&) {
        // Said once per print; meanwhile the layout is shown on a standard
        // page, and "Drucker einrichten..." can offer a PDF file instead.
        if (!noPrinterTold_) {
            noPrinterTold_ = true;
            RaiseInEventLoop(std::current_exception());
        }
        return print::DefaultPageSize();
    }
}

void TPrintForm::DrawPreview(gdi::PainterDC& dc)
{
    const QSize page = LayoutPage();
    const int PW = page.width();
    const int PH = page.height();
    // A page without area has nothing to show.
    if (PW <= 0 || PH <= 0)
        return;

    const int BW = PrintPaintBox->width();
    const int BH = PrintPaintBox->height();
    int pw = 0;
    int ph = 0;
    if (PH < PW) {
        pw = BW;
        ph = saturated(std::int64_t(BW) * PH / PW);
    } else {
        ph = BH;
        pw = saturated(std::int64_t(BH) * PW / PH);
    }
    const int left = (BW - pw) / 2;
    const int top = (BH - ph) / 2;

    dc.painter().fillRect(left, top, pw, ph, Qt::white);

    if (!hasPixels(PrintPic))
        return;
    const int IW = DIBWidth(PrintPic);
    const int IH = DIBHeight(PrintPic);
    const PrintRect r = CalcPrintRect(pw, ph, IW, IH, Options());
    RenderDIB(&dc, left + r.X, top + r.Y, r.Width, r.Height, PrintPic, 0, 0, IW, IH, true, SRCCOPY, true, nullptr);
}

// ---- Couplings -------------------------------------------------------------

// A new width: the height follows when the picture keeps its aspect.
void TPrintForm::BreitEditChange(QObject* /*Sender*/)
{
    CoupleFields(BreitEdit, HochEdit, true);
}

// A new height: the width follows when the picture keeps its aspect.
void TPrintForm::HochEditChange(QObject* /*Sender*/)
{
    CoupleFields(HochEdit, BreitEdit, false);
}

void TPrintForm::CoupleFields(TSpinEdit* changed, TSpinEdit* other, bool widthChanged)
{
    if (FUpdating)
        return;
    // Cleared again also when the step fails, so the couplings keep working
    // after an error.
    const QScopedValueRollback updating(FUpdating, true);
    if (SverhCheck->isChecked() && hasPixels(PrintPic)) {
        const QSize page = LayoutPage();
        if (page.width() > 0 && page.height() > 0) {
            // Picture and page sides, seen from the field that changed: a is
            // the picture side the other field follows, b the changed one.
            const int IW = DIBWidth(PrintPic);
            const int IH = DIBHeight(PrintPic);
            const int a = widthChanged ? IH : IW;
            const int b = widthChanged ? IW : IH;
            const int pa = widthChanged ? page.width() : page.height();
            const int pb = widthChanged ? page.height() : page.width();
            const double x = coupled(a, changed->value(), b, pa, pb);
            other->setValue(truncated(x));
            if (x > 100 || x < 1)
                changed->setValue(truncated(coupled(b, other->value(), a, pb, pa)));
        }
    }
    RepaintPreview();
}

// A size of one's own: the percentages kept to the aspect, the page redrawn.
void TPrintForm::UserdefCheckClick(QObject* /*Sender*/)
{
    if (!UserdefCheck->isChecked())
        return;
    BreitEditChange();
    RepaintPreview();
}

// "Drucker einrichten...": another printer or page, and the preview on it.
void TPrintForm::PrintSetupBtnClick(QObject* /*Sender*/)
{
    print::CurrentPrinter().Setup(this);
    RepaintPreview();
}

// On opening, the height follows the restored width when the aspect is kept.
void TPrintForm::FormShow(QObject* /*Sender*/)
{
    BreitEditChange();
}

// ---- Showing, closing and the stored settings -----------------------------

void TPrintForm::setVisible(bool visible)
{
    if (visible && !shown_ && !isVisible()) {
        shown_ = true;
        CentreOnScreen(this, screen());
        Guarded([this] { RestoreSettings(); });
    }
    QDialog::setVisible(visible);
}

void TPrintForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        Guarded([this] { FormShow(); });
}

void TPrintForm::RestoreSettings()
{
    const StoredPrintForm stored = ReadPrintFormSettings();
    if (!stored.applies)
        return;
    if (stored.showCmd) {
        switch (*stored.showCmd) {
        // A modal dialog opened minimised looks like a program that hangs:
        // a stored minimised state opens it in the normal state.
        case 3:
            setWindowState(Qt::WindowMaximized);
            break;
        default:
            setWindowState(Qt::WindowNoState);
            break;
        }
    }
    // Each assignment that changes a field runs its coupling.
    if (stored.breitValue)
        BreitEdit->setValue(*stored.breitValue);
    if (stored.hochValue)
        HochEdit->setValue(*stored.hochValue);
}

void TPrintForm::SaveSettings(bool destroying)
{
    PrintFormPlacement p;
    const Qt::WindowStates state = windowState();
    p.showCmd = state.testFlag(Qt::WindowMinimized)   ? SW_SHOWMINIMIZED
                : state.testFlag(Qt::WindowMaximized) ? SW_SHOWMAXIMIZED
                                                      : SW_SHOWNORMAL;
    if (const QScreen* s = screen())
        p.pixelsPerInch = qRound(s->logicalDotsPerInch());
    const QRect frame = frameGeometry();
    p.normPos[0] = frame.left();
    p.normPos[1] = frame.top();
    p.normPos[2] = frame.left() + frame.width();
    p.normPos[3] = frame.top() + frame.height();
    p.visible = destroying;
    p.breitValue = BreitEdit->value();
    p.hochValue = HochEdit->value();
    QString file;
    const SettingsWrite written = WritePrintFormSettings(p, &file);
    saved_ = true;
    // Told once, not at every close while the cause lasts.
    if (written == SettingsWrite::Failed) {
        desktop::CurrentShell().message(
            this, QMessageBox::Warning, tr("Einstellungen nicht gespeichert"),
            tr("Die Einstellungen des Druckdialogs ließen sich nicht in der Datei „%1“ speichern "
               "(kein Zugriff auf die Datei oder ihren Ordner, oder der Datenträger ist voll).\n\n"
               "Bis zum Ende des Programms bleiben sie erhalten; beim nächsten Start gelten wieder "
               "die zuletzt gespeicherten.")
                .arg(QDir::toNativeSeparators(file)));
    }
}

void TPrintForm::done(int result)
{
    if (shown_)
        SaveSettings(false);
    QDialog::done(result);
}

void TPrintForm::reject()
{
    done(2);
}
