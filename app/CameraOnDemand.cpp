#include "app/CameraOnDemand.h"

#include "app/MainUnit.h"
#include "capture/Video.h"

#include <QCheckBox>
#include <QEvent>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

// The placeholder's grey: calm, neither black (a reader might take that
// for a broken camera) nor bright.
constexpr int PlaceholderGrey = 72;

} // namespace

CameraOnDemand::CameraOnDemand(TMainForm& window, bool closedAtStart, QObject* parent)
    : QObject(parent), window_(window), closedHere_(closedAtStart)
{
    look_.setInterval(LookInterval);
    connect(&look_, &QTimer::timeout, this, &CameraOnDemand::lookForReaders);
    window_.installEventFilter(this);
    // Queued: the box is ticked before the ways out behind it are started.
    connect(window_.WebcamBox, &QCheckBox::toggled, this, &CameraOnDemand::reconsider, Qt::QueuedConnection);
    // After the window's start: the decision waits for the event loop, so
    // that the start options have shown the window or not.
    QTimer::singleShot(0, this, &CameraOnDemand::reconsider);
}

CameraOnDemand::~CameraOnDemand()
{
    window_.removeEventFilter(this);
}

bool CameraOnDemand::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_ &&
        (event->type() == QEvent::Show || event->type() == QEvent::Hide ||
         event->type() == QEvent::WindowStateChange))
        QTimer::singleShot(0, this, &CameraOnDemand::reconsider);
    return QObject::eventFilter(watched, event);
}

void CameraOnDemand::reconsider()
{
    const bool shown = window_.isVisible() && !window_.isMinimized();
    const bool webcam = window_.WebcamBox->isChecked();
    if (shown || (webcam && !window_.WebcamTellsReaders()) || (!webcam && window_.isVisible())) {
        // As always: the window shows the camera, or a way out that cannot
        // tell its readers gets the camera's pictures all the time. A
        // minimised window keeps its camera, as it always has.
        look_.stop();
        openFailed_ = false;
        openCamera();
        return;
    }
    if (!webcam) {
        // In the tray with the output off: nobody sees the camera.
        look_.stop();
        closeCamera();
        return;
    }
    if (!look_.isActive()) {
        // The camera stays open for the grace time, in case a reader is
        // linking just now.
        lastReader_ = Clock::now();
        held_ = false;
        look_.start();
        lookForReaders();
    }
}

void CameraOnDemand::lookForReaders()
{
    // A dialog opened from here (a camera that cannot be opened says why)
    // runs its own event loop, in which this timer goes on.
    if (busy_)
        return;
    busy_ = true;
    const auto now = Clock::now();
    const bool reading = window_.WebcamRead();
    if (reading) {
        lastReader_ = now;
        if (closedHere_ && !openFailed_) {
            openCamera();
            openFailed_ = closedHere_;
        }
    } else if (now - lastReader_ >= Grace) {
        openFailed_ = false;
        closeCamera();
    }
    // A reader waits for the camera's first frame: the placeholder stands in.
    const bool waiting = reading && (!window_.CameraOpen() || window_.FramesTaken == framesAtOpen_);
    if (waiting || !held_) {
        holdPlaceholder();
        held_ = true;
    }
    busy_ = false;
}

void CameraOnDemand::openCamera()
{
    if (!closedHere_ || window_.CameraOpen())
        return;
    framesAtOpen_ = window_.FramesTaken;
    window_.OpenCamera();
    closedHere_ = !window_.CameraOpen();
}

void CameraOnDemand::closeCamera()
{
    if (!window_.CameraOpen())
        return;
    window_.CloseCamera();
    closedHere_ = true;
}

void CameraOnDemand::holdPlaceholder()
{
    // The size of the pictures the readers had, so that they need not
    // agree on another one when the camera comes.
    const DIB& picture = window_.CorrectedPic;
    const int width = DIBHoldsPicture(picture) ? DIBWidth(picture) : 640;
    const int height = DIBHoldsPicture(picture) ? DIBHeight(picture) : 480;
    if (!placeholder_ || !placeholder_->holdsPicture() || DIBWidth(placeholder_->get()) != width ||
        DIBHeight(placeholder_->get()) != height)
        placeholder_ = std::make_unique<PictureGuard>(Placeholder(width, height));
    if (placeholder_->holdsPicture())
        window_.HoldWebcam(placeholder_->get());
}

DIB CameraOnDemand::Placeholder(int width, int height)
{
    if (width <= 0 || height <= 0)
        return DIB{};
    QImage image(width, height, QImage::Format_BGR888);
    image.fill(QColor(PlaceholderGrey, PlaceholderGrey, PlaceholderGrey));
    // The icon at a quarter of the smaller side, where it is that large.
    const int side = std::min(width, height) / 4;
    if (side >= 16) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect((width - side) / 2, (height - side) / 2, side, side),
                          QImage(QStringLiteral(":/icons/stillwise-128.png")));
    }
    DIB dib = newdib(width, height, 24, nullptr, 0);
    if (!DIBHoldsPicture(dib))
        return dib;
    // Bottom-up rows, as the frame step keeps its pictures.
    for (int y = 0; y < height; ++y)
        std::memcpy(dib.bits + static_cast<std::ptrdiff_t>(height - 1 - y) * dib.rowbytes, image.constScanLine(y),
                    static_cast<std::size_t>(width) * 3);
    return dib;
}
