#include "app/MainUnit.h"

#include "app/AutoSmoothing.h"
#include "app/AverageGather.h"
#include "app/FormatNotice.h"

#include "app/DlgTreiber.h"
#include "app/PaneArea.h"
#include "app/SmoothFrame.h"
#include "capture/Video.h"
#include "dib/PictureGuard.h"
#include "dib/RenderDIB.h"
#include "output/WebcamSwitch.h"
#include "resources/Resources.h"
#include "viewer/DesktopShell.h"
#include "viewer/PaintBox.h"
#include "viewer/SavePictureDialog.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/AboutBoxUnit.h"
#include "widgets/BevelPanel.h"
#include "widgets/ButtonsXP.h"
#include "widgets/ImageBtnUnit.h"
#include "widgets/MakerSite.h"
#include "widgets/SpinEdit.h"
#include "widgets/UrlOpener.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QResizeEvent>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

// Header panels of the panes: raised bevel inside a lowered one, light
// orange (red 240, green 202, blue 166).
QWidget* makePaneHeader(QWidget* parent, const QString& caption, QLabel** label)
{
    auto* header = new BevelPanel(parent, BevelPanel::Bevel::Lowered, BevelPanel::Bevel::Raised, QColor(240, 202, 166));
    header->setFixedHeight(25);
    *label = new QLabel(caption, header);
    QFont bold = (*label)->font();
    bold.setBold(true);
    (*label)->setFont(bold);
    (*label)->move(16, 6);
    (*label)->adjustSize();
    return header;
}

QScrollArea* makeScrollBox(QWidget* parent, TPaintBox** paintBox)
{
    auto* box = new QScrollArea(parent);
    box->setFrameShape(QFrame::StyledPanel);
    box->setBackgroundRole(QPalette::Dark); // the application workspace's grey
    box->setWidgetResizable(false);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    *paintBox = new TPaintBox;
    // The picture covers the whole box: nothing needs painting beneath it.
    (*paintBox)->setAttribute(Qt::WA_OpaquePaintEvent);
    (*paintBox)->resize(320, 240);
    box->setWidget(*paintBox);
    return box;
}

QWidget* makePane(QWidget* parent, QWidget** header, const QString& caption, QLabel** label, QScrollArea** scrollBox,
                  TPaintBox** paintBox)
{
    auto* pane = new QWidget(parent);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    *header = makePaneHeader(pane, caption, label);
    layout->addWidget(*header);
    *scrollBox = makeScrollBox(pane, paintBox);
    layout->addWidget(*scrollBox, 1);
    // The splitter decides the pane's height, down to nothing.
    pane->setMinimumSize(0, 0);
    (*scrollBox)->setMinimumSize(0, 0);
    return pane;
}

} // namespace

TMainForm::TMainForm(QWidget* parent, bool cameraAtStart) : QWidget(parent), CameraAtStart(cameraAtStart)
{
    StillwiseInitResources();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Varnholt Stillwise 1.0"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/stillwise-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);
    // The outer size 696 x 480 with a usual window frame around it.
    move(293, 175);
    resize(688, 453);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildControlBar();
    BuildDenoiseControls();
    layout->addWidget(Panel1);
    BuildPanes();
    BuildFormatNotice();
    layout->addWidget(Panel2, 1);
    BuildBottomBar();
    BuildWebcamOutput();
    layout->addWidget(Panel7);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setFixedHeight(19);
    layout->addWidget(StatusBar1);
    BuildAutoSmoothing();

    ApplyVideoSettings();
    FormCreate(this);
}

TMainForm::~TMainForm()
{
    FormDestroy(this);
}

void TMainForm::BuildControlBar()
{
    Panel1 = new QWidget(this);
    Panel1->setFixedHeight(73);

    // The command bar's captions are set for a small dialog font; at the
    // desktop's default size they would not fit their buttons.
    QFont barFont = Panel1->font();
    barFont.setPixelSize(11);
    Panel1->setFont(barFont);

    auto button = [this](const QString& caption, const char* glyph, int x, int y, int w, int h) {
        auto* b = new TBitBtnXP(Panel1);
        b->setText(caption);
        b->SetGlyph(QImage(QString::fromLatin1(glyph))); // two images: up and disabled
        b->setGeometry(x, y, w, h);
        return b;
    };
    // Each button is as wide as its longest caption, German or English,
    // needs; the mean's button at the end of the row gives the room.
    BitBtn1 = button(tr("Cam konfigurieren"), ":/glyphs/camera_settings.bmp", 8, 8, 135, 25);
    BitBtn2 = button(tr("Cam Bildformat"), ":/glyphs/camera_format.bmp", 149, 8, 124, 25);
    SaveBtn = button(tr("Schnappschuß s&peichern..."), ":/glyphs/save_snapshot.bmp", 279, 8, 174, 25);
    DriverBtn = button(tr("Treiber wechseln..."), ":/glyphs/change_driver.bmp", 459, 8, 130, 25);

    Label2 = new QLabel(tr("Smoothing:"), Panel1);
    Label2->move(8, 40);
    Label2->adjustSize();
    SmoothEd = new TRxSpinEdit(Panel1);
    SmoothEd->setGeometry(80, 40, 57, 21);
    SmoothEd->setRange(0, 95);
    SmoothEd->setIncrement(5);
    SmoothEd->setValue(60);
    Label2->setBuddy(SmoothEd);

    Label1 = new QLabel(tr("Zoom:"), Panel1);
    Label1->move(144, 40);
    Label1->adjustSize();
    ZoomEd = new TRxSpinEdit(Panel1);
    ZoomEd->setGeometry(200, 40, 73, 21);
    ZoomEd->setRange(10, 300);
    ZoomEd->setIncrement(10);
    ZoomEd->setValue(100);
    Label1->setBuddy(ZoomEd);

    ShnapShotBtn = button(tr("&Schnappschuß"), ":/glyphs/snapshot.bmp", 279, 40, 174, 25);

    // The capture control is one pixel in the corner: the driver's own
    // preview stays practically invisible, the panes show the frames.
    Video1 = new TVideo(Panel1);
    Video1->setObjectName(QStringLiteral("Video1"));
    Video1->setGeometry(0, 0, 1, 1);

    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, SmoothEd);
    setTabOrder(SmoothEd, SaveBtn);
    setTabOrder(SaveBtn, ZoomEd);
    setTabOrder(ZoomEd, ShnapShotBtn);
    setTabOrder(ShnapShotBtn, DriverBtn);

    connect(BitBtn1, &TBitBtnXP::OnClick, this, [this] { BitBtn1Click(BitBtn1); });
    connect(BitBtn2, &TBitBtnXP::OnClick, this, [this] { BitBtn2Click(BitBtn2); });
    connect(SaveBtn, &TBitBtnXP::OnClick, this, [this] { SaveBtnClick(SaveBtn); });
    connect(DriverBtn, &TBitBtnXP::OnClick, this, [this] { DriverBtnClick(DriverBtn); });
    connect(ShnapShotBtn, &TBitBtnXP::OnClick, this, [this] { ShnapShotBtnClick(ShnapShotBtn); });
    ZoomEd->OnChange = [this](QObject* sender) { ZoomEdChange(sender); };
}

// Row 2 of the bar: motion sparing and its threshold; row 1: the N-frame
// mean, whose count is chosen from the button's menu. Neither setting is
// stored: both start as below at every start.
void TMainForm::BuildDenoiseControls()
{
    MotionBox = new QCheckBox(tr("Bewegung schonen"), Panel1);
    MotionBox->setGeometry(457, 40, 133, 21);
    MotionBox->setChecked(false);
    MotionBox->setToolTip(tr("Wo sich ein Bildpunkt um mehr als die Schwelle ändert, "
                             "wird er nicht geglättet: Bewegtes zieht keine Schleppen."));

    ThresholdLabel = new QLabel(tr("Schwelle:"), Panel1);
    ThresholdLabel->move(591, 44);
    ThresholdLabel->adjustSize();
    ThresholdEd = new TRxSpinEdit(Panel1);
    ThresholdEd->setGeometry(646, 40, 40, 21);
    ThresholdEd->setRange(1, 64);
    ThresholdEd->setIncrement(1);
    ThresholdEd->setValue(24);
    ThresholdEd->setToolTip(tr("Größter Unterschied (1 bis 64), der noch als Rauschen gilt"));
    ThresholdLabel->setBuddy(ThresholdEd);

    AverageBtn = new TBitBtnXP(Panel1);
    AverageBtn->setText(tr("Mittelwert ▾"));
    AverageBtn->setGeometry(595, 8, 91, 25);
    AverageBtn->setToolTip(tr("Mittelwert aus N Bildern: ein rauscharmes Standbild aus den "
                              "nächsten N Bildern. Die Zahl N im Menü wählen."));
    auto* menu = new QMenu(AverageBtn);
    for (int frames : denoise::FrameAverager::kCounts)
        menu->addAction(tr("Mittelwert aus %n Bildern", nullptr, frames), this,
                        [this, frames] { AverageBtnClick(frames); });
    AverageBtn->setMenu(menu);

    Averager = new AverageGather(this);
    Averager->SetSourceCheck([this] { return Video1->DriverOpen() && Video1->VideoPreview(); });
    connect(Averager, &AverageGather::MeanReady, this, &TMainForm::ShowMeanWhenFree);

    setTabOrder(DriverBtn, AverageBtn);
    setTabOrder(AverageBtn, MotionBox);
    setTabOrder(MotionBox, ThresholdEd);
}

void TMainForm::AverageBtnClick(int frames)
{
    Averager->Start(frames);
}

void TMainForm::ShowMeanWhenFree()
{
    // The frames keep coming while a snapshot or a file dialog is open, so
    // a mean can be ready then; it waits for that window to close rather
    // than open the viewer a second time over it.
    if (QApplication::activeModalWidget() != nullptr) {
        QTimer::singleShot(250, this, &TMainForm::ShowMeanWhenFree);
        return;
    }
    const PictureGuard still(Averager->TakeMean());
    if (still.holdsPicture())
        ShowStill(still.get());
}

void TMainForm::BuildPanes()
{
    Panel2 = new TPaneArea(this);
    Panel3 = makePane(Panel2, &Panel5, tr("Korrigiertes Bild - Eine Kombination von mehreren Bildern"), &RxLabel8,
                      &ScrollBox2, &PaintBox1);
    Panel4 = makePane(Panel2, &Panel6, tr("Orginalbild - keine Korrektur"), &RxLabel1, &ScrollBox3, &PaintBox2);
    Panel2->setPanes(Panel3, Panel4);
    Panel2->setTopHeight(174);
    Splitter1 = Panel2->splitter();

    Splitter1->OnMoved = [this](QObject* sender) { Splitter1Moved(sender); };
    PaintBox1->OnPaint = [this](QObject* sender) { PaintBox1Paint(sender); };
    PaintBox2->OnPaint = [this](QObject* sender) { PaintBox2Paint(sender); };
}

void TMainForm::BuildFormatNotice()
{
    Notice = new FormatNotice({ScrollBox2, ScrollBox3}, this);
}

void TMainForm::BuildBottomBar()
{
    Panel7 = new QWidget(this);
    Panel7->setFixedHeight(41);

    wwwBtn = new QToolButton(Panel7);
    wwwBtn->setAutoRaise(true); // a flat speed button
    wwwBtn->setText(QString::fromUtf8(kMakerSite));
    wwwBtn->setToolTip(tr("Auf zur Varnholt Homepage..."));
    wwwBtn->setIcon(QIcon(QPixmap(QStringLiteral(":/glyphs/web_single.bmp"))));
    wwwBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Wide enough for the whole address next to the glyph.
    wwwBtn->setGeometry(5, 5, std::max(137, wwwBtn->sizeHint().width()), 33);
    connect(wwwBtn, &QToolButton::clicked, this, [this] { wwwBtnClick(wwwBtn); });

    Panel8 = new QWidget(Panel7);
    auto* bottomLayout = new QHBoxLayout(Panel7);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->addStretch(1);
    Panel8->setFixedWidth(214);
    bottomLayout->addWidget(Panel8);

    auto pictureButton = [this](const char* picture, const char* pressed, int x, const QString& hint) {
        auto* b = new TImageBtn(Panel8);
        b->SetPicture(QPixmap(QString::fromLatin1(picture)));
        b->SetPicture2(QPixmap(QString::fromLatin1(pressed)));
        b->move(x, 8);
        b->setToolTip(hint);
        b->setCursor(Qt::PointingHandCursor);
        return b;
    };
    ueberbtn = pictureButton(":/buttons/about.png", ":/buttons/about_pressed.png", 0,
                             tr("Informationen über das Programm"));
    endebtn = pictureButton(":/buttons/exit.png", ":/buttons/exit_pressed.png", 104,
                            tr("Hiermit verlassen Sie das Programm"));
    connect(ueberbtn, &TImageBtn::OnClick, this, [this] { ueberbtnClick(ueberbtn); });
    connect(endebtn, &TImageBtn::OnClick, this, [this] { endebtnClick(endebtn); });
}

void TMainForm::BuildWebcamOutput()
{
    // The control bar is full; the bottom bar has room between the web
    // address and the picture buttons.
    WebcamBox = new QCheckBox(tr("Als Webcam ausgeben"), Panel7);
    const int left = std::max(170, wwwBtn->geometry().right() + 12);
    WebcamBox->setGeometry(left, (Panel7->height() - 21) / 2, WebcamBox->sizeHint().width(), 21);
    Webcam = std::make_unique<output::WebcamSwitch>(WebcamBox, [this](const QString& why) {
        desktop::CurrentShell().message(this, QMessageBox::Warning, tr("Als Webcam ausgeben"), why);
    });
}

// The automatic smoother's switch sits in the bottom bar beside the webcam
// output, as the control bar's two rows are full; the noise level it
// estimates is shown in the status bar.
void TMainForm::BuildAutoSmoothing()
{
    AutoBox = new QCheckBox(tr("Auto-Glättung"), Panel7);
    const int left = WebcamBox->geometry().right() + 8;
    AutoBox->setGeometry(left, (Panel7->height() - 21) / 2, AutoBox->sizeHint().width(), 21);
    NoiseLabel = new QLabel(StatusBar1);
    StatusBar1->addWidget(NoiseLabel, 1);
    AutoSmooth = std::make_unique<AutoSmoothing>(AutoBox, NoiseLabel, SmoothEd,
                                                 std::vector<QWidget*>{MotionBox, ThresholdLabel, ThresholdEd});
    setTabOrder(ThresholdEd, AutoBox);
}

void TMainForm::SetWebcamSystem(camera::V4l2System& system)
{
    Webcam->setSystem(system);
}

void TMainForm::SetWebcamSystems(camera::V4l2System& system, output::PipeWireSystem& pipewire)
{
    Webcam->setSystems(system, pipewire);
}

bool TMainForm::WebcamRead() const
{
    return Webcam->read();
}

bool TMainForm::WebcamTellsReaders() const
{
    return Webcam->tellsReaders();
}

void TMainForm::HoldWebcam(const DIB& placeholder)
{
    if (!DIBHoldsPicture(placeholder) || DIBBitCount(placeholder) != 24)
        return;
    Webcam->hold(output::BgrPicture{placeholder.bits, placeholder.rowbytes, DIBWidth(placeholder),
                                    DIBHeight(placeholder)});
}

// Started without its camera, the window still learns the camera's picture
// size: the webcam output offers it from the start, so that a reader need
// not agree on another size when the camera comes (some readers stall on a
// change of size). The driver is opened for the question only; nothing
// streams.
QSize TMainForm::CameraPictureSize()
{
    QSize size(640, 480);
    Video1->SetDriverOpen(true);
    if (!Video1->DriverOpen())
        return size;
    const FormatBlock format(*Video1);
    if (format.info() != nullptr) {
        const int width = format.info()->bmiHeader.biWidth;
        const int height = std::abs(format.info()->bmiHeader.biHeight);
        if (width > 0 && height > 0 && width <= 8192 && height <= 8192)
            size = QSize(width, height);
    }
    Video1->SetDriverOpen(false);
    return size;
}

bool TMainForm::CameraOpen() const
{
    return Video1->DriverOpen() && Video1->VideoPreview();
}

void TMainForm::OpenCamera()
{
    if (CameraOpen())
        return;
    FreshStart = true;
    AutoSmooth->restart();
    // A driver that cannot be opened has said why; the preview would only
    // try and say it again.
    Video1->SetDriverOpen(true);
    if (Video1->DriverOpen())
        Video1->SetVideoPreview(true);
}

void TMainForm::CloseCamera()
{
    if (!Video1->DriverOpen())
        return;
    // A mean being gathered cannot be finished; nobody watches, so nobody
    // is told.
    Averager->Cancel(QString());
    Video1->SetVideoPreview(false);
    Video1->SetDriverOpen(false);
}

void TMainForm::SendToWebcam()
{
    if (!DIBHoldsPicture(CorrectedPic) || DIBBitCount(CorrectedPic) != 24)
        return;
    Webcam->send(
        output::BgrPicture{CorrectedPic.bits, CorrectedPic.rowbytes, DIBWidth(CorrectedPic), DIBHeight(CorrectedPic)});
}

void TMainForm::ApplyVideoSettings()
{
    // In this order none of them opens the driver.
    Video1->SetDriverOpen(false);
    Video1->SetDriverIndex(-1);
    Video1->SetVideoOverlay(false);
    Video1->SetVideoPreview(false);
    Video1->SetPreviewScaleToWindow(false);
    Video1->SetPreviewScaleProportional(false);
    Video1->SetPreviewRate(30);
    Video1->SetMicroSecPerFrame(40000);
    Video1->SetFrameRate(25);
    Video1->SetCapAudio(false);
    Video1->SetVideoFileName(QStringLiteral("Video.avi"));
    Video1->SetSingleImageFile(QStringLiteral("Capture.bmp"));
    Video1->SetCapTimeLimit(0);
    Video1->SetCapIndexSize(0);
    Video1->SetCapToFile(false);
    Video1->SetOnFrame([this](QObject* sender, PVIDEOHDR lpVhdr) { Video1Frame(sender, lpVhdr); });
}

// At start: driver 0 with preview, the panes split 60:40, two empty 640x480 pictures.
void TMainForm::FormCreate(QObject* /*Sender*/)
{
    Video1->SetDriverIndex(0);
    if (CameraAtStart)
        Video1->SetVideoPreview(true);
    SplitPercent = 60;
    const QSize size = CameraAtStart ? QSize(640, 480) : CameraPictureSize();
    CorrectedPic = newdib(size.width(), size.height(), 24, nullptr, 0);
    RawPic = newdib(640, 480, 24, nullptr, 0);
}

// At the end: the webcam output and preview off, both pictures freed.
void TMainForm::FormDestroy(QObject* /*Sender*/)
{
    Webcam->stop();
    Video1->SetVideoPreview(false);
    deldib(CorrectedPic);
    deldib(RawPic);
    CorrectedPic = DIB{};
    RawPic = DIB{};
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize(this);
}

// The window changed size: the bar between the panes keeps its share of the height.
void TMainForm::FormResize(QObject* /*Sender*/)
{
    Panel2->setTopHeight(Panel2->height() * SplitPercent / 100);
}

// The bar between the panes moved: keep its share of the height.
void TMainForm::Splitter1Moved(QObject* /*Sender*/)
{
    if (Panel2->height() <= 0)
        return;
    SplitPercent = std::clamp(Panel2->topHeight() * 100 / Panel2->height(), 10, 90);
}

// "Cam konfigurieren": the camera's own settings dialog, preview paused meanwhile.
void TMainForm::BitBtn1Click(QObject* /*Sender*/)
{
    Averager->Cancel(AverageGather::PreviewStoppedText());
    AutoSmooth->restart();
    Video1->SetVideoPreview(false);
    Video1->ShowSourceDialog();
    Video1->SetVideoPreview(true);
}

// "Cam Bildformat": the camera's format dialog, preview paused meanwhile.
void TMainForm::BitBtn2Click(QObject* /*Sender*/)
{
    Averager->Cancel(AverageGather::PreviewStoppedText());
    AutoSmooth->restart();
    Video1->SetVideoPreview(false);
    Video1->ShowFormatDialog();
    Video1->SetVideoPreview(true);
}

// "Schnappschuß": the corrected picture of this moment into the viewer.
void TMainForm::ShnapShotBtnClick(QObject* /*Sender*/)
{
    const PictureGuard snapshot(CopyPicture(CorrectedPic));
    if (!snapshot.holdsPicture())
        return;
    ShowStill(snapshot.get());
}

void TMainForm::ShowStill(const DIB& still)
{
    if (ViewPicForm == nullptr)
        ViewPicForm = new TViewPicForm(this);
    // The viewer borrows the snapshot only while it is shown; afterwards its
    // record must not point at the freed picture.
    struct Lend {
        TViewPicForm* viewer;
        ~Lend() { viewer->ViewPic = DIB{}; }
    } lend{ViewPicForm};
    ViewPicForm->ViewPic = still;
    ViewPicForm->exec();
}

// "Schnappschuß speichern...": the corrected picture of this moment into a file.
void TMainForm::SaveBtnClick(QObject* /*Sender*/)
{
    // Frames keep arriving while the dialog is open: what is saved is the
    // corrected picture of the moment of the click.
    const PictureGuard still(CopyPicture(CorrectedPic));
    if (!still.holdsPicture())
        return;
    SavePictureAs(this, still.get());
}

// "Treiber wechseln...": choose another capture driver.
void TMainForm::DriverBtnClick(QObject* /*Sender*/)
{
    const std::unique_ptr<TDlgEinstell> dialog = std::make_unique<TDlgEinstell>(this);
    dialog->ComboBox1->addItems(GetDriverList());
    Averager->Cancel(AverageGather::DriverChangedText());
    AutoSmooth->restart();
    Video1->SetDriverOpen(false);
    dialog->ComboBox1->setCurrentIndex(Video1->DriverIndex());
    if (dialog->exec() == 1)
        Video1->SetDriverIndex(dialog->ComboBox1->currentIndex());
    Video1->SetDriverOpen(true);
}

// The about button: the about dialog.
void TMainForm::ueberbtnClick(QObject* /*Sender*/)
{
    const auto about = std::make_unique<TAboutBox>(this);
    about->exec();
}

// The exit button: closes the program.
void TMainForm::endebtnClick(QObject* /*Sender*/)
{
    Leaving = true;
    close();
    Leaving = false;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (OnCloseQuery && !OnCloseQuery(Leaving)) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// The web address: opens the maker's site in the browser.
void TMainForm::wwwBtnClick(QObject* /*Sender*/)
{
    url_opener::OpenOrSay(this, QUrl(QString::fromUtf8(kMakerSite)));
}

// Every frame: blend it into the corrected picture, keep it as the raw one, feed the mean and the webcam, draw.
void TMainForm::Video1Frame(QObject* /*Sender*/, PVIDEOHDR lpVhdr)
{
    if (lpVhdr == nullptr || CorrectedPic.info == nullptr)
        return;
    VideoFormatSource& source = FormatSource != nullptr ? *FormatSource : *Video1;
    const MotionSparing motion{MotionBox->isChecked(), std::clamp(ThresholdEd->value(), 1, 64)};
    const bool taken = TakeFrame(source, *lpVhdr, FreshStart ? 0 : SmoothEd->value(), CorrectedPic, RawPic, motion,
                                 AutoSmooth->active());
    Notice->frameTaken(taken, source);
    if (!taken)
        return;
    FreshStart = false;
    ++FramesTaken;
    AutoSmooth->frameDone();
    Averager->Feed(RawPic);
    SendToWebcam();
    PaintBox1Paint(this);
    PaintBox2Paint(this);
    DrawMarkedPanes();
}

QSize TMainForm::ZoomedSize() const
{
    if (CorrectedPic.info == nullptr)
        return {0, 0};
    const std::int64_t z = ZoomEd->value();
    auto zoomed = [z](std::int64_t size) { return int(std::clamp<std::int64_t>(size * z / 100, 0, QWIDGETSIZE_MAX)); };
    return {zoomed(DIBWidth(CorrectedPic)), zoomed(DIBHeight(CorrectedPic))};
}

void TMainForm::PaintPane(TPaintBox* box, const DIB& picture)
{
    if (CorrectedPic.info == nullptr || !DIBHoldsPicture(picture))
        return;
    // A new size only lays the box out; the repaint that the resizing
    // brings draws at the new size.
    const QSize zoomed = ZoomedSize();
    if (zoomed != box->size()) {
        box->resize(zoomed);
        return;
    }
    if (!box->isPainting()) {
        // Drawing happens inside the box's paint event. The caller draws
        // every marked box at once (DrawMarkedPanes), so that both panes
        // reach the screen in one paint cycle and one flush.
        box->update();
        MarkedPane = box;
        return;
    }
    if (zoomed.isEmpty())
        return;
    gdi::WidgetDC dc(box);
    RenderDIB(&dc, 0, 0, box->width(), box->height(), picture, 0, 0, DIBWidth(picture), DIBHeight(picture), false,
              SRCCOPY, false, nullptr);
}

void TMainForm::DrawMarkedPanes()
{
    TPaintBox* const box = std::exchange(MarkedPane, nullptr);
    // An immediate repaint of one marked box paints everything marked in the
    // window before it returns, then flushes once.
    if (box != nullptr)
        box->repaint();
}

// Draws the corrected picture in the top pane.
void TMainForm::PaintBox1Paint(QObject* /*Sender*/)
{
    PaintPane(PaintBox1, CorrectedPic);
}

// Draws the raw frame in the bottom pane.
void TMainForm::PaintBox2Paint(QObject* /*Sender*/)
{
    PaintPane(PaintBox2, RawPic);
}

// "Zoom" changed: both panes take the new size.
void TMainForm::ZoomEdChange(QObject* /*Sender*/)
{
    PaintBox2Paint(this);
    PaintBox1Paint(this);
    DrawMarkedPanes();
}
