#include "app/AverageGather.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

#include <new>

AverageGather::AverageGather(QWidget* window) : QObject(window), window_(window), watch_(new QTimer(this))
{
    watch_->setInterval(500);
    connect(watch_, &QTimer::timeout, this, &AverageGather::CheckSource);
}

AverageGather::~AverageGather()
{
    deldib(mean_);
    CloseProgress();
}

QString AverageGather::SizeChangedText()
{
    return tr("Mittelwert abgebrochen: Die Bildgröße hat sich geändert.");
}

QString AverageGather::SourceStoppedText()
{
    return tr("Mittelwert abgebrochen: Die Kamera liefert keine Bilder mehr.");
}

QString AverageGather::DriverChangedText()
{
    return tr("Mittelwert abgebrochen: Der Treiber wird gewechselt.");
}

QString AverageGather::PreviewStoppedText()
{
    return tr("Mittelwert abgebrochen: Die Vorschau wird für die Einstellungen der Kamera angehalten.");
}

QString AverageGather::NoMemoryText()
{
    return tr("Mittelwert abgebrochen: Nicht genug Speicher.");
}

int AverageGather::Counted() const
{
    return averager_ ? averager_->Counted() : 0;
}

bool AverageGather::Start(int frames)
{
    if (Gathering() || !denoise::FrameAverager::IsValidCount(frames))
        return false;
    frames_ = frames;
    averager_.reset();
    lastMessage_.clear();

    auto* progress = new QProgressDialog(window_);
    progress->setWindowModality(Qt::NonModal);
    progress->setWindowTitle(tr("Mittelwert aus %n Bildern", nullptr, frames));
    progress->setLabelText(tr("Bild %1 von %2").arg(0).arg(frames));
    progress->setCancelButtonText(tr("Abbrechen"));
    progress->setRange(0, frames);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(0);
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, [this] { Cancel(QString()); });
    progress_ = progress;
    progress->show();
    sinceFrame_.start();
    watch_->start();
    return true;
}

void AverageGather::Feed(const DIB& raw)
{
    if (!Gathering() || !DIBHoldsPicture(raw) || raw.info == nullptr)
        return;
    sinceFrame_.start();
    const denoise::FrameShape shape{DIBWidth(raw), DIBHeight(raw), static_cast<std::size_t>(raw.rowbytes)};
    if (!averager_) {
        try {
            averager_ = std::make_unique<denoise::FrameAverager>(frames_, shape);
        } catch (const std::bad_alloc&) {
            Cancel(NoMemoryText());
            return;
        }
        if (averager_->Failed()) {
            Cancel(NoMemoryText());
            return;
        }
        format_ = raw.info->bmiHeader;
    }
    switch (averager_->Add(raw.bits, shape)) {
    case denoise::FrameAverager::AddResult::WrongShape:
        Cancel(SizeChangedText());
        return;
    case denoise::FrameAverager::AddResult::Complete:
        Finish();
        return;
    case denoise::FrameAverager::AddResult::Added:
    case denoise::FrameAverager::AddResult::Full:
        break;
    }
    if (progress_) {
        progress_->setValue(averager_->Counted());
        progress_->setLabelText(tr("Bild %1 von %2").arg(averager_->Counted()).arg(frames_));
    }
}

void AverageGather::Finish()
{
    const denoise::FrameShape& shape = averager_->Shape();
    BITMAPINFO header{};
    header.bmiHeader = format_;
    DIB mean = newdibuninitialized(shape.width, shape.height, 24, &header, 0);
    if (!DIBHoldsPicture(mean) || static_cast<std::size_t>(mean.rowbytes) != shape.rowbytes) {
        deldib(mean);
        Cancel(NoMemoryText());
        return;
    }
    averager_->Mean(mean.bits);
    averager_.reset();
    frames_ = 0;
    watch_->stop();
    CloseProgress();
    deldib(mean_); // an earlier mean nobody took
    mean_ = mean;
    QMetaObject::invokeMethod(this, &AverageGather::MeanReady, Qt::QueuedConnection);
}

void AverageGather::Cancel(const QString& reason)
{
    if (!Gathering())
        return;
    averager_.reset();
    frames_ = 0;
    watch_->stop();
    CloseProgress();
    if (reason.isEmpty())
        return;
    lastMessage_ = reason;
    // Not modal: the frame step that noticed the change is still running.
    auto* box = new QMessageBox(QMessageBox::Information, tr("Mittelwert"), reason, QMessageBox::Ok, window_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

DIB AverageGather::TakeMean()
{
    const DIB mean = mean_;
    mean_ = DIB{};
    return mean;
}

void AverageGather::CloseProgress()
{
    if (!progress_)
        return;
    QProgressDialog* progress = progress_;
    progress_ = nullptr;
    progress->disconnect(this);
    progress->hide();
    progress->deleteLater();
}

void AverageGather::CheckSource()
{
    if (!Gathering())
        return;
    if ((sourceAlive_ && !sourceAlive_()) || sinceFrame_.elapsed() > stallMs_)
        Cancel(SourceStoppedText());
}
