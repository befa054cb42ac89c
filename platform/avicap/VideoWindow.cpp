#include "platform/avicap/VideoWindow.h"

#include "camera/CameraMemory.h"
#include "camera/Notices.h"
#include "camera/dialogs/FormatDialog.h"
#include "camera/dialogs/SourceDialog.h"
#include "camera/v4l2/DeviceMonitor.h"
#include "platform/avicap/CameraReturn.h"

#include <QCoreApplication>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>

#include <algorithm>
#include <cstring>

namespace avicap {

namespace {

WORD low16(WPARAM w)
{
    return static_cast<WORD>(w & 0xFFFF);
}

bool flag(WPARAM w)
{
    return (w & 0xFF) != 0;
}

const BITMAPINFOHEADER* header(const std::vector<std::uint8_t>& format)
{
    return format.size() >= sizeof(BITMAPINFOHEADER) ? reinterpret_cast<const BITMAPINFOHEADER*>(format.data())
                                                     : nullptr;
}

std::size_t imageBytes(const BITMAPINFOHEADER& h)
{
    const std::int64_t stride = StandardRowBytes(h.biWidth, h.biBitCount);
    if (stride < 0)
        return 0;
    return static_cast<std::size_t>(stride) * static_cast<std::size_t>(h.biHeight < 0 ? -h.biHeight : h.biHeight);
}

// Copies at most `size` bytes of a record into the caller's block.
template <typename Record>
void copyOut(const Record& record, WPARAM size, LPARAM block)
{
    std::memcpy(reinterpret_cast<void*>(block), &record, std::min<std::size_t>(low16(size), sizeof(Record)));
}

} // namespace

VideoWindow::VideoWindow(DriverOpener opener, QWidget* parent) : CaptureWindow(parent), opener_(std::move(opener))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    clock_.start();
    rateTimer_.setSingleShot(true);
    rateTimer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&rateTimer_, &QTimer::timeout, this, [this] { offerPending(); });
}

VideoWindow::~VideoWindow()
{
    disconnectDriver();
}

LRESULT VideoWindow::message(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_CAP_SET_CALLBACK_STATUSA:
        statusCallback_ = reinterpret_cast<CAPSTATUSCALLBACK>(lParam);
        return 1;
    case WM_CAP_SET_CALLBACK_FRAME:
        frameCallback_ = reinterpret_cast<CAPVIDEOCALLBACK>(lParam);
        return 1;
    case WM_CAP_SET_CALLBACK_VIDEOSTREAM:
        videoStreamCallback_ = reinterpret_cast<CAPVIDEOCALLBACK>(lParam);
        return 1;
    case WM_CAP_SET_CALLBACK_WAVESTREAM:
        waveStreamCallback_ = reinterpret_cast<CAPWAVECALLBACK>(lParam);
        return 1;
    case WM_CAP_GET_USER_DATA:
        return userData_;
    case WM_CAP_SET_USER_DATA:
        userData_ = lParam;
        return 1;
    case WM_CAP_DRIVER_CONNECT:
        return connectDriver(low16(wParam));
    case WM_CAP_DRIVER_DISCONNECT:
        if (!driver_)
            return 0;
        disconnectDriver();
        return 1;
    case WM_CAP_DRIVER_GET_CAPS:
        return getCaps(wParam, lParam);
    case WM_CAP_DLG_VIDEOFORMAT:
        return formatDialog();
    case WM_CAP_DLG_VIDEOSOURCE:
        return sourceDialog();
    case WM_CAP_GET_VIDEOFORMAT:
        return getFormat(wParam, lParam);
    case WM_CAP_SET_PREVIEW:
        return setPreview(flag(wParam));
    case WM_CAP_SET_OVERLAY:
        return setOverlay(flag(wParam));
    case WM_CAP_SET_PREVIEWRATE:
        rateMs_ = low16(wParam);
        return 1;
    case WM_CAP_SET_SCALE:
        scale_ = flag(wParam);
        update();
        return 1;
    case WM_CAP_GET_STATUS:
        return getStatus(wParam, lParam);
    case WM_CAP_GRAB_FRAME:
        return grabFrame();
    default:
        return 0;
    }
}

LRESULT VideoWindow::connectDriver(int slot)
{
    disconnectDriver();
    std::unique_ptr<camera::Driver> driver = opener_(slot);
    if (!driver)
        return 0;
    driver_ = std::move(driver);
    slot_ = slot;
    camera::CameraMemory::User().restore(driver_->identity(), driver_->controls(), driver_->formats());
    SetLastConnectError(QString());
    update();
    return 1;
}

void VideoWindow::disconnectDriver()
{
    return_.reset();
    rateTimer_.stop();
    if (driver_)
        driver_->stop();
    driver_.reset();
    slot_ = -1;
    preview_ = false;
    overlay_ = false;
    hasPending_ = false;
    frame_.bytes.clear();
    framesDelivered_ = 0;
    framesDropped_ = 0;
    update();
}

LRESULT VideoWindow::getCaps(WPARAM size, LPARAM block)
{
    if (!driver_ || block == 0)
        return 0;
    CAPDRIVERCAPS caps;
    caps.wDeviceIndex = static_cast<UINT>(slot_);
    caps.fHasOverlay = driver_->hasOverlay() ? 1 : 0;
    caps.fHasDlgVideoSource = driver_->controls() != nullptr ? 1 : 0;
    caps.fHasDlgVideoFormat = driver_->formats() != nullptr ? 1 : 0;
    caps.fCaptureInitialized = 1;
    copyOut(caps, size, block);
    return 1;
}

LRESULT VideoWindow::getStatus(WPARAM size, LPARAM block)
{
    if (block == 0)
        return 0;
    CAPSTATUS status;
    if (driver_) {
        if (const BITMAPINFOHEADER* h = header(driver_->format())) {
            status.uiImageWidth = static_cast<UINT>(h->biWidth);
            status.uiImageHeight = static_cast<UINT>(h->biHeight < 0 ? -h->biHeight : h->biHeight);
        }
        status.fLiveWindow = preview_ ? 1 : 0;
        status.fOverlayWindow = overlay_ ? 1 : 0;
        status.fUsingDefaultPalette = 1;
        status.dwCurrentVideoFrame = framesDelivered_;
        status.dwCurrentVideoFramesDropped = framesDropped_;
    }
    status.fScale = scale_ ? 1 : 0;
    copyOut(status, size, block);
    return driver_ ? 1 : 0;
}

LRESULT VideoWindow::getFormat(WPARAM size, LPARAM block)
{
    if (!driver_)
        return 0;
    const std::vector<std::uint8_t>& format = driver_->format();
    if (block == 0)
        return static_cast<LRESULT>(format.size());
    const std::size_t n = std::min<std::size_t>(low16(size), format.size());
    std::memcpy(reinterpret_cast<void*>(block), format.data(), n);
    return static_cast<LRESULT>(n);
}

void VideoWindow::updateStream()
{
    if (!driver_)
        return;
    const bool wanted = preview_ || overlay_;
    if (wanted && !driver_->streaming()) {
        if (!driver_->start(this)) {
            preview_ = false;
            overlay_ = false;
        }
    } else if (!wanted && driver_->streaming()) {
        driver_->stop();
        rateTimer_.stop();
        hasPending_ = false;
    }
}

LRESULT VideoWindow::setPreview(bool on)
{
    if (!driver_)
        return 0;
    if (on) {
        overlay_ = false;
        creditFromNs_ = clock_.nsecsElapsed() - static_cast<qint64>(rateMs_) * 1000000; // the first frame at once
    }
    preview_ = on;
    updateStream();
    return preview_ == on ? 1 : 0;
}

LRESULT VideoWindow::setOverlay(bool on)
{
    if (!driver_ || (on && !driver_->hasOverlay()))
        return 0;
    if (on)
        preview_ = false;
    overlay_ = on;
    updateStream();
    return overlay_ == on ? 1 : 0;
}

LRESULT VideoWindow::grabFrame()
{
    if (!driver_ || inCallback_)
        return 0;
    if (!driver_->grab(pending_) || !frameFitsFormat(pending_))
        return 0;
    hasPending_ = true;
    QPointer<VideoWindow> alive(this);
    deliver();
    return alive ? 1 : 0;
}

LRESULT VideoWindow::sourceDialog()
{
    if (!driver_ || driver_->controls() == nullptr)
        return 0;
    camera::RememberingControls remembering(*driver_->controls(), camera::CameraMemory::User(), driver_->identity());
    camera::SourceDialog dialog(remembering, this);
    dialog.exec();
    return 1;
}

LRESULT VideoWindow::formatDialog()
{
    if (!driver_ || driver_->formats() == nullptr)
        return 0;
    camera::RememberingFormats remembering(*driver_->formats(), camera::CameraMemory::User(), driver_->identity());
    camera::FormatDialog dialog(remembering, this);
    const int result = dialog.exec();
    // Frames of the old format may still wait here; they no longer fit.
    if (result == QDialog::Accepted && hasPending_ && !frameFitsFormat(pending_))
        hasPending_ = false;
    // A driver that could not go on in the new format has stopped.
    if ((preview_ || overlay_) && !driver_->streaming()) {
        preview_ = false;
        overlay_ = false;
    }
    update();
    return 1;
}

bool VideoWindow::frameFitsFormat(const camera::Frame& frame) const
{
    const BITMAPINFOHEADER* h = driver_ ? header(driver_->format()) : nullptr;
    return h != nullptr && frame.bytes.size() == imageBytes(*h);
}

void VideoWindow::frameReady()
{
    const bool replacing = hasPending_;
    if (!driver_ || !driver_->takeFrame(pending_))
        return;
    if (replacing)
        ++framesDropped_;
    hasPending_ = frameFitsFormat(pending_);
    if (!hasPending_) {
        ++framesDropped_;
        return;
    }
    if (overlay_) {
        std::swap(frame_, pending_);
        hasPending_ = false;
        ++framesDelivered_;
        update();
        return;
    }
    if (preview_)
        offerPending();
}

// Hands the pending frame out unless that would exceed one frame per
// preview interval on average; otherwise waits until it would not, and
// whatever frame is latest by then goes out. The allowance builds up to
// one and a half frames, so a camera whose period equals the interval
// loses no frame to the jitter of its arrivals or of the timer, while two
// frames never go out less than half an interval apart.
void VideoWindow::offerPending()
{
    if (!hasPending_ || !preview_)
        return;
    const qint64 intervalNs = static_cast<qint64>(rateMs_) * 1000000;
    const qint64 now = clock_.nsecsElapsed();
    const qint64 from = std::max(creditFromNs_, now - intervalNs * 3 / 2);
    if (inCallback_ || now - from < intervalNs) {
        if (!rateTimer_.isActive())
            rateTimer_.start(static_cast<int>(std::max<qint64>(1, (intervalNs - (now - from) + 999999) / 1000000)));
        return;
    }
    creditFromNs_ = from + intervalNs;
    deliver();
}

void VideoWindow::deliver()
{
    std::swap(frame_, pending_);
    hasPending_ = false;
    ++framesDelivered_;
    if (frameCallback_ != nullptr) {
        VIDEOHDR hdr;
        hdr.lpData = frame_.bytes.data();
        hdr.dwBufferLength = static_cast<DWORD>(frame_.bytes.size());
        hdr.dwBytesUsed = hdr.dwBufferLength;
        hdr.dwTimeCaptured = frame_.timeMs;
        hdr.dwFlags = VHDR_DONE | VHDR_KEYFRAME;
        QPointer<VideoWindow> alive(this);
        inCallback_ = true;
        frameCallback_(this, &hdr);
        if (!alive)
            return;
        inCallback_ = false;
    }
    update();
}

void VideoWindow::streamFailed(const QString& message)
{
    const bool wasLive = preview_ || overlay_;
    const bool wasPreview = preview_;
    rateTimer_.stop();
    hasPending_ = false;
    preview_ = false;
    overlay_ = false;
    if (driver_)
        driver_->stop();
    update();
    if (wasLive)
        awaitReturn(wasPreview);
    QPointer<VideoWindow> alive(this);
    if (statusCallback_ != nullptr) {
        const QByteArray text = message.toUtf8();
        statusCallback_(this, 1, text.constData());
        if (!alive)
            return;
    }
    camera::ReportToUser(message);
}

void VideoWindow::awaitReturn(bool preview)
{
    if (!finder_ || !driver_ || driver_->identity().empty() || QCoreApplication::instance() == nullptr)
        return;
    const std::string identity = driver_->identity();
    return_ = std::make_unique<CameraReturn>(camera::DeviceMonitor::Instance(),
                                             [this, identity, preview] { return resume(identity, preview); });
}

// The camera that was lost is back (perhaps under another node): it takes
// the old one's place with its remembered settings, and the picture goes
// on as before, without asking the user anything.
bool VideoWindow::resume(const std::string& identity, bool preview)
{
    auto [slot, driver] = finder_(identity);
    if (!driver)
        return false;
    rateTimer_.stop();
    hasPending_ = false;
    if (driver_)
        driver_->stop();
    driver_ = std::move(driver);
    slot_ = slot;
    camera::CameraMemory::User().restore(identity, driver_->controls(), driver_->formats());
    if (preview)
        setPreview(true);
    else
        setOverlay(true);
    if (statusCallback_ != nullptr)
        statusCallback_(this, 0, ""); // the failure's status text no longer holds
    return preview_ || overlay_;
}

void VideoWindow::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const BITMAPINFOHEADER* h = driver_ ? header(driver_->format()) : nullptr;
    if (h == nullptr || frame_.bytes.empty() || frame_.bytes.size() != imageBytes(*h))
        return;
    const int width = h->biWidth;
    const int height = h->biHeight < 0 ? -h->biHeight : h->biHeight;
    const bool bottomUp = h->biHeight > 0;
    const std::size_t stride = frame_.bytes.size() / static_cast<std::size_t>(height);
    // Unscaled, only the rows this paint exposes are needed: this window
    // repaints for every frame and may be almost hidden.
    QRect shown(0, 0, width, height);
    if (!scale_) {
        shown &= event->rect();
        if (shown.isEmpty())
            return;
    }
    const int first = bottomUp ? height - 1 - shown.bottom() : shown.top();
    std::uint8_t* rows = frame_.bytes.data() + static_cast<std::size_t>(first) * stride;
    QImage image;
    if (h->biBitCount == 24) {
        image = QImage(rows, width, shown.height(), static_cast<qsizetype>(stride), QImage::Format_BGR888);
    } else if (h->biBitCount == 8) {
        image = QImage(rows, width, shown.height(), static_cast<qsizetype>(stride), QImage::Format_Indexed8);
        const std::vector<std::uint8_t>& format = driver_->format();
        const std::size_t entries = std::min<std::size_t>(ColorTableEntries(*h),
                                                          (format.size() - h->biSize) / sizeof(RGBQUAD));
        const RGBQUAD* table = ColorTable(reinterpret_cast<const BITMAPINFO*>(format.data()));
        QList<QRgb> colours;
        for (std::size_t i = 0; i < entries; ++i)
            colours.append(qRgb(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue));
        image.setColorTable(colours);
    } else {
        return;
    }
    // Rows arrive bottom row first.
    if (bottomUp)
        image = image.mirrored(false, true);
    if (scale_)
        painter.drawImage(rect(), image);
    else
        painter.drawImage(0, shown.top(), image);
}

} // namespace avicap
