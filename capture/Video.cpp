#include "capture/Video.h"

#include "capture/CaptureError.h"
#include "capture/PreviewFit.h"

#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSlots = 10;
constexpr int kDescriptionSize = 80;
constexpr int kCaptureWindowId = 5001;

// Nearest integer, halves to the even neighbour (the default rounding mode).
long roundHalfEven(double v)
{
    return std::lrint(v);
}

bool describe(int slot, QString* name, QString* version)
{
    // Slots beyond what travels in 16 bits are no slots at all (rather than
    // wrapping round to a low one).
    if (slot < 0 || slot > 0xFFFF)
        return false;
    char n[kDescriptionSize] = {};
    char v[kDescriptionSize] = {};
    if (!capGetDriverDescriptionA(static_cast<WORD>(slot), n, kDescriptionSize, v, kDescriptionSize))
        return false;
    n[kDescriptionSize - 1] = '\0';
    v[kDescriptionSize - 1] = '\0';
    if (name != nullptr)
        *name = QString::fromLocal8Bit(n);
    if (version != nullptr)
        *version = QString::fromLocal8Bit(v);
    return true;
}

} // namespace

QStringList GetDriverList()
{
    QStringList list;
    for (int slot = 0; slot < kSlots; ++slot) {
        QString name, version;
        list.append(describe(slot, &name, &version) ? name + QLatin1Char(' ') + version : QString());
    }
    return list;
}

TVideo::TVideo(QWidget* parent) : QWidget(parent)
{
    resize(100, 100);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
}

TVideo::~TVideo()
{
    CloseDriver();
    FreeDriverInfo();
}

// ---- driver selection ----

void TVideo::SetDriverIndex(int value)
{
    if (value == FDriverIndex)
        return;
    CloseDriver();
    FreeDriverInfo();
    if (value >= 0) {
        QString name;
        if (describe(value, &name, nullptr))
            FDriverName = name;
        else
            value = -1;
    }
    if (value == -1)
        FDriverName.clear();
    FDriverIndex = value;
}

void TVideo::SetDriverName(const QString& value)
{
    if (value == FDriverName)
        return;
    for (int slot = 0; slot < kSlots; ++slot) {
        QString name;
        if (describe(slot, &name, nullptr) && name == value) {
            SetDriverIndex(slot);
            FDriverName = value;
            return;
        }
    }
    FDriverName.clear();
    SetDriverIndex(-1);
}

void TVideo::SetDriverOpen(bool value)
{
    if (value == DriverOpen())
        return;
    if (value)
        OpenDriver();
    else
        CloseDriver();
}

// ---- opening and closing ----

bool TVideo::OpenDriver()
{
    if (FCapWnd != nullptr)
        return true;
    if (FDriverIndex == -1) {
        capture::ShowError(tr("Kein Videocapturetreiber ausgewählt"));
        UpdateStatus();
        return false;
    }
    const QByteArray title = objectName().toLocal8Bit();
    FCapWnd = capCreateCaptureWindowA(title.constData(), WS_CHILD | WS_VISIBLE, 0, 0, width(), height(), this,
                                      kCaptureWindowId);
    if (FCapWnd == nullptr) {
        capture::ShowError(tr("Kann Capture Window nicht erzeugen"));
        UpdateStatus();
        return false;
    }
    capSetUserData(FCapWnd, reinterpret_cast<LPARAM>(this));
    if (FOnStatusCallback)
        capSetCallbackOnStatus(FCapWnd, &TVideo::StatusCallback);
    if (FOnVideoStream)
        capSetCallbackOnVideoStream(FCapWnd, &TVideo::VideoStreamCallback);
    if (FOnFrame)
        capSetCallbackOnFrame(FCapWnd, &TVideo::FrameCallback);
    if (FOnAudioStream)
        capSetCallbackOnWaveStream(FCapWnd, &TVideo::WaveStreamCallback);
    if (!capDriverConnect(FCapWnd, FDriverIndex)) {
        // The library may know why (no permission, busy elsewhere): say so.
        capture::ShowError(tr("Kann Treiber nicht mit Fenster verbinden"), avicap::LastConnectError());
        CloseDriver();
        UpdateStatus();
        return false;
    }
    capPreviewScale(FCapWnd, FPreviewScaleToWindow);
    capPreviewRate(FCapWnd, PreviewIntervalMs(FPreviewRate));
    UpdateStatus();
    FitCaptureWindow();
    return true;
}

void TVideo::CloseDriver()
{
    if (FCapWnd == nullptr)
        return;
    HWND wnd = FCapWnd;
    FCapWnd = nullptr;
    capDriverDisconnect(wnd);
    delete wnd; // a child widget of ours; deleting it detaches it
}

void TVideo::FreeDriverInfo()
{
    FDriverCaps.reset();
    FCapStatus.reset();
}

bool TVideo::QueryDriverCaps()
{
    if (FDriverCaps)
        return true;
    if (FDriverIndex == -1)
        return false;
    const bool wasOpen = FCapWnd != nullptr;
    if (!wasOpen)
        OpenDriver();
    if (FCapWnd == nullptr)
        return false;
    auto caps = std::make_unique<CAPDRIVERCAPS>();
    // The record is the platform's own; its size here is what the window may fill.
    const bool ok = capDriverGetCaps(FCapWnd, caps.get(), sizeof(CAPDRIVERCAPS));
    if (ok)
        FDriverCaps = std::move(caps);
    if (!wasOpen)
        CloseDriver();
    return ok;
}

bool TVideo::HasOverlay()
{
    return QueryDriverCaps() && FDriverCaps->fHasOverlay != 0;
}

bool TVideo::UpdateStatus()
{
    bool fetched = false;
    if (FCapWnd != nullptr) {
        if (!FCapStatus)
            FCapStatus = std::make_unique<CAPSTATUS>();
        fetched = capGetStatus(FCapWnd, FCapStatus.get(), sizeof(CAPSTATUS));
    }
    if (FOnStatus)
        FOnStatus(this);
    return fetched;
}

bool TVideo::GrabFrame()
{
    if (FCapWnd == nullptr)
        return false;
    const bool ok = capGrabFrame(FCapWnd);
    if (ok)
        UpdateStatus();
    return ok;
}

// ---- preview and overlay ----

bool TVideo::VideoPreview() const
{
    return FCapWnd != nullptr && FCapStatus && FCapStatus->fLiveWindow != 0;
}

void TVideo::SetVideoPreview(bool value)
{
    if (value == VideoPreview())
        return;
    if (value && FCapWnd == nullptr)
        OpenDriver();
    capPreview(FCapWnd, value);
    UpdateStatus();
    update();
}

bool TVideo::VideoOverlay() const
{
    return FCapWnd != nullptr && FCapStatus && FCapStatus->fOverlayWindow != 0;
}

void TVideo::SetVideoOverlay(bool value)
{
    if (value == VideoOverlay())
        return;
    if (!HasOverlay()) {
        capture::ShowError(tr("Treiber kann kein Overlay"));
        return;
    }
    if (value) {
        if (FCapWnd == nullptr)
            OpenDriver();
        GrabFrame();
    }
    capOverlay(FCapWnd, value);
    UpdateStatus();
    update();
}

// ---- preview geometry ----

void TVideo::SetPreviewScaleToWindow(bool value)
{
    if (value == FPreviewScaleToWindow)
        return;
    FPreviewScaleToWindow = value;
    if (FCapWnd != nullptr) {
        capPreviewScale(FCapWnd, value);
        FitCaptureWindow();
    }
    repaint();
}

void TVideo::SetPreviewScaleProportional(bool value)
{
    if (value == FPreviewScaleProportional)
        return;
    FPreviewScaleProportional = value;
    if (FCapWnd != nullptr)
        FitCaptureWindow();
    repaint();
}

int TVideo::ImageWidth() const
{
    return FCapStatus ? static_cast<int>(FCapStatus->uiImageWidth & 0xFFFF) : 0;
}

int TVideo::ImageHeight() const
{
    return FCapStatus ? static_cast<int>(FCapStatus->uiImageHeight & 0xFFFF) : 0;
}

void TVideo::FitCaptureWindow()
{
    if (FCapWnd == nullptr)
        return;
    const QSize fit = FitPreview(size(), QSize(ImageWidth(), ImageHeight()), FPreviewScaleToWindow,
                                 FPreviewScaleProportional);
    FCapWnd->setGeometry(0, 0, fit.width(), fit.height());
    FCapWnd->repaint();
}

void TVideo::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (FCapWnd != nullptr && FPreviewScaleToWindow)
        FitCaptureWindow();
}

void TVideo::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
}

// ---- rates and stored settings ----

int TVideo::PreviewIntervalMs(std::uint16_t rate)
{
    return static_cast<int>(roundHalfEven(1.0 / rate * 1000.0));
}

void TVideo::SetPreviewRate(std::uint16_t value)
{
    if (value == FPreviewRate)
        return;
    if (value == 0)
        value = 1;
    if (value > 30)
        value = 30;
    FPreviewRate = value;
    if (FCapWnd != nullptr)
        capPreviewRate(FCapWnd, PreviewIntervalMs(value));
}

void TVideo::SetMicroSecPerFrame(std::uint32_t value)
{
    if (value == FMicroSecPerFrame)
        return;
    FMicroSecPerFrame = std::max<std::uint32_t>(value, 33333);
}

std::uint16_t TVideo::FrameRate() const
{
    if (FMicroSecPerFrame == 0)
        return 0;
    return static_cast<std::uint16_t>(roundHalfEven(1.0 / FMicroSecPerFrame * 1000000.0));
}

void TVideo::SetFrameRate(std::uint16_t value)
{
    if (value == 0)
        value = 10;
    FMicroSecPerFrame = static_cast<std::uint32_t>(roundHalfEven(1.0 / value * 1000000.0));
}

void TVideo::SetCapIndexSize(std::uint32_t value)
{
    FCapIndexSize = value == 0 ? 0 : std::clamp<std::uint32_t>(value, 1800, 324000);
}

// ---- events ----

void TVideo::SetOnStatusCallback(TCapStatusCallback handler)
{
    FOnStatusCallback = std::move(handler);
    if (FCapWnd != nullptr)
        capSetCallbackOnStatus(FCapWnd, FOnStatusCallback ? &TVideo::StatusCallback : nullptr);
}

void TVideo::SetOnVideoStream(TVideoStream handler)
{
    FOnVideoStream = std::move(handler);
    if (FCapWnd != nullptr)
        capSetCallbackOnVideoStream(FCapWnd, FOnVideoStream ? &TVideo::VideoStreamCallback : nullptr);
}

void TVideo::SetOnFrame(TVideoStream handler)
{
    FOnFrame = std::move(handler);
    if (FCapWnd != nullptr)
        capSetCallbackOnFrame(FCapWnd, FOnFrame ? &TVideo::FrameCallback : nullptr);
}

void TVideo::SetOnAudioStream(TAudioStream handler)
{
    FOnAudioStream = std::move(handler);
    if (FCapWnd != nullptr)
        capSetCallbackOnWaveStream(FCapWnd, FOnAudioStream ? &TVideo::WaveStreamCallback : nullptr);
}

TVideo* TVideo::Owner(HWND hWnd)
{
    return reinterpret_cast<TVideo*>(capGetUserData(hWnd));
}

LRESULT TVideo::StatusCallback(HWND hWnd, int nID, const char* lpsz)
{
    TVideo* v = Owner(hWnd);
    if (v != nullptr && v->FOnStatusCallback)
        v->FOnStatusCallback(v, nID, lpsz != nullptr ? QString::fromLocal8Bit(lpsz) : QString());
    return 1;
}

LRESULT TVideo::FrameCallback(HWND hWnd, VIDEOHDR* lpVHdr)
{
    TVideo* v = Owner(hWnd);
    if (v != nullptr && v->FOnFrame)
        v->FOnFrame(v, lpVHdr);
    return 1;
}

LRESULT TVideo::VideoStreamCallback(HWND hWnd, VIDEOHDR* lpVHdr)
{
    TVideo* v = Owner(hWnd);
    if (v != nullptr && v->FOnVideoStream)
        v->FOnVideoStream(v, lpVHdr);
    return 1;
}

LRESULT TVideo::WaveStreamCallback(HWND hWnd, WAVEHDR* lpWHdr)
{
    TVideo* v = Owner(hWnd);
    if (v != nullptr && v->FOnAudioStream)
        v->FOnAudioStream(v, lpWHdr);
    return 1;
}

// ---- dialogs and format queries ----

LRESULT TVideo::ShowSourceDialog()
{
    return capDlgVideoSource(FCapWnd);
}

LRESULT TVideo::ShowFormatDialog()
{
    return capDlgVideoFormat(FCapWnd);
}

std::uint32_t TVideo::GetVideoFormatSize()
{
    return capGetVideoFormatSize(FCapWnd);
}

std::uint32_t TVideo::GetVideoFormat(BITMAPINFO* format, std::uint32_t size)
{
    return capGetVideoFormat(FCapWnd, format, static_cast<int>(size & 0xFFFF));
}
