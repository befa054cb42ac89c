#include "viewer/ViewPicFUnit.h"

#include "dib/RenderDIB.h"
#include "viewer/PaintBox.h"
#include "viewer/PrintAction.h"
#include "viewer/SavePictureDialog.h"
#include "widgets/SpinEdit.h"
#include "widgets/CentreOnScreen.h"
#include "widgets/UrlOpener.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

TViewPicForm::TViewPicForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ViewPicForm"));
    setWindowTitle(tr("Bild betrachten..."));
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);
    resize(532, 420);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel5 = new QWidget(this);
    Panel5->setFixedHeight(65);
    layout->addWidget(Panel5);

    ReadyBtn = new QPushButton(tr("Zurück..."), Panel5);
    ReadyBtn->setGeometry(8, 8, 97, 25);
    PrintBrn = new QPushButton(tr("&Drucken"), Panel5);
    PrintBrn->setGeometry(112, 8, 97, 25);
    SaveBtn = new QPushButton(tr("&Speichern..."), Panel5);
    SaveBtn->setGeometry(216, 8, 97, 25);
    SaveandOpenBtn = new QPushButton(tr("&Speichern und dann öffnen..."), Panel5);
    SaveandOpenBtn->setGeometry(320, 8, 185, 25);
    for (QPushButton* b : {ReadyBtn, PrintBrn, SaveBtn, SaveandOpenBtn})
        b->setAutoDefault(false);

    Label1 = new QLabel(tr("Zoom:"), Panel5);
    Label1->setGeometry(8, 40, 40, 17);
    ZoomEd = new TRxSpinEdit(Panel5);
    ZoomEd->setGeometry(48, 38, 97, 21);
    ZoomEd->setRange(5, 9000);
    ZoomEd->setIncrement(10);
    ZoomEd->setValue(100);
    Label1->setBuddy(ZoomEd);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setFrameShape(QFrame::StyledPanel);
    ScrollBox1->setBackgroundRole(QPalette::Dark); // the application workspace's grey
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(ScrollBox1, 1);

    PaintBox1 = new TPaintBox;
    PaintBox1->resize(105, 105);
    PaintBox1->setCursor(Qt::PointingHandCursor);
    ScrollBox1->setWidget(PaintBox1);

    StatusBar1 = new QStatusBar(this);
    layout->addWidget(StatusBar1);

    connect(ReadyBtn, &QPushButton::clicked, this, [this] { done(1); });
    connect(PrintBrn, &QPushButton::clicked, this, [this] { PrintBrnClick(PrintBrn); });
    connect(SaveBtn, &QPushButton::clicked, this, [this] { SaveBtnClick(SaveBtn); });
    connect(SaveandOpenBtn, &QPushButton::clicked, this, [this] { SaveandOpenBtnClick(SaveandOpenBtn); });
    ZoomEd->OnChange = [this](QObject* sender) { ZoomEdChange(sender); };
    PaintBox1->OnPaint = [this](QObject* sender) { PaintBox1Paint(sender); };
    PaintBox1->OnMouseDown = [this](QObject* s, Qt::MouseButton b, int x, int y) { PaintBox1MouseDown(s, b, x, y); };
    PaintBox1->OnMouseMove = [this](QObject* s, Qt::MouseButton b, int x, int y) { PaintBox1MouseMove(s, b, x, y); };
    PaintBox1->OnMouseUp = [this](QObject* s, Qt::MouseButton b, int x, int y) { PaintBox1MouseUp(s, b, x, y); };
}

TViewPicForm::~TViewPicForm() = default;

void TViewPicForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the desktop, whatever window it belongs to.
    CentreOnScreen(this);
}

QSize TViewPicForm::ZoomedSize() const
{
    if (ViewPic.info == nullptr)
        return {0, 0};
    const double z = ZoomEd->value();
    auto zoomed = [z](int size) {
        const double v = std::trunc(double(size) * z / 100.0);
        return int(std::clamp(v, 0.0, double(QWIDGETSIZE_MAX)));
    };
    return {zoomed(DIBWidth(ViewPic)), zoomed(DIBHeight(ViewPic))};
}

// A new zoom shows the snapshot at that size.
void TViewPicForm::ZoomEdChange(QObject* /*Sender*/)
{
    PaintBox1Paint(this);
}

// Draws the snapshot at the zoom, the surface first sized to it.
void TViewPicForm::PaintBox1Paint(QObject* /*Sender*/)
{
    if (!DIBHoldsPicture(ViewPic))
        return;
    // A new size only resizes; the repaint that follows draws.
    const QSize z = ZoomedSize();
    if (z.width() != PaintBox1->width()) {
        PaintBox1->resize(z.width(), PaintBox1->height());
        return;
    }
    if (z.height() != PaintBox1->height()) {
        PaintBox1->resize(PaintBox1->width(), z.height());
        return;
    }
    if (!PaintBox1->isPainting()) {
        PaintBox1->repaint();
        return;
    }
    gdi::WidgetDC dc(PaintBox1);
    RenderDIB(&dc, 0, 0, z.width(), z.height(), ViewPic, 0, 0, DIBWidth(ViewPic), DIBHeight(ViewPic), true,
              SRCCOPY, false, nullptr);
}

// A press on the snapshot starts dragging it.
void TViewPicForm::PaintBox1MouseDown(QObject* /*Sender*/, Qt::MouseButton /*Button*/, int X, int Y)
{
    FDragging = true;
    FDownX = X;
    FDownY = Y;
}

// While dragging, the snapshot follows the pointer.
void TViewPicForm::PaintBox1MouseMove(QObject* /*Sender*/, Qt::MouseButton /*Button*/, int X, int Y)
{
    if (!FDragging)
        return;
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    // Limited to the content's extent here; the scroll bars limit further
    // to what can be scrolled.
    const int nx = std::clamp(h->value() + (FDownX - X), 0, std::max(0, PaintBox1->width() - 1));
    const int ny = std::clamp(v->value() + (FDownY - Y), 0, std::max(0, PaintBox1->height() - 1));
    h->setValue(nx);
    v->setValue(ny);
}

// Letting go of the button ends the drag.
void TViewPicForm::PaintBox1MouseUp(QObject* /*Sender*/, Qt::MouseButton /*Button*/, int /*X*/, int /*Y*/)
{
    FDragging = false;
}

// "&Drucken": the print dialog, then the snapshot on the printer.
void TViewPicForm::PrintBrnClick(QObject* /*Sender*/)
{
    PrintPicture(this, ViewPic);
}

// "&Speichern...": the snapshot into a file the user picks.
void TViewPicForm::SaveBtnClick(QObject* /*Sender*/)
{
    SavePictureAs(this, ViewPic);
}

// Saves the snapshot, then opens the file with the desktop's program for it.
void TViewPicForm::SaveandOpenBtnClick(QObject* /*Sender*/)
{
    const QString fileName = SavePictureAs(this, ViewPic);
    if (!fileName.isEmpty())
        url_opener::OpenOrSay(this, QUrl::fromLocalFile(fileName));
}
