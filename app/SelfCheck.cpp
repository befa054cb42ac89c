#include "app/SelfCheck.h"

#include "app/FrameMeter.h"
#include "app/MainUnit.h"
#include "app/PaneArea.h"
#include "capture/Video.h"
#include "platform/avicap/VideoWindow.h"
#include "viewer/PaintBox.h"
#include "widgets/ButtonsXP.h"
#include "pixels/JpegDecoder.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLocale>
#include <QPixmap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <cstdio>

namespace {

// Everything the windows load from the program's own pictures.
QStringList missingPictures()
{
    QStringList missing;
    for (const char* path : {":/glyphs/camera_settings.bmp", ":/glyphs/snapshot.bmp", ":/buttons/about.png",
                             ":/buttons/exit.png", ":/icons/stillwise-48.png", ":/icons/stillwise.svg"}) {
        if (!QFile::exists(QString::fromLatin1(path)))
            missing << QString::fromLatin1(path);
    }
    return missing;
}

void finish(int code, const QString& line)
{
    std::fprintf(code == 0 ? stdout : stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(nullptr);
    QCoreApplication::exit(code);
}

// W x H from STILLWISE_SELFCHECK_SIZE, or an empty size.
QSize requestedSize()
{
    const QString text = qEnvironmentVariable("STILLWISE_SELFCHECK_SIZE");
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$")).match(text);
    return m.hasMatch() ? QSize(m.captured(1).toInt(), m.captured(2).toInt()) : QSize();
}

// Asks the open camera for a 24-bit format of that size, as the format
// dialog does: preview off, the new format, preview on.
bool applySize(TMainForm& form, QSize size)
{
    auto* window = dynamic_cast<avicap::VideoWindow*>(form.Video1->CaptureWindowHandle());
    camera::FormatSet* formats = window != nullptr && window->driver() != nullptr ? window->driver()->formats()
                                                                                  : nullptr;
    if (formats == nullptr)
        return false;
    form.Video1->SetVideoPreview(false);
    const bool applied = formats->apply({camera::FourccBgr24, size.width(), size.height(), {}});
    form.Video1->SetVideoPreview(true);
    return applied;
}

// Room for two whole frames of that size at 100 %, one in each pane.
void showWholeFrames(TMainForm& form, QSize frame)
{
    // Pane header, scroll box frame and a little to spare.
    constexpr int paneExtra = 25 + 8;
    form.SplitPercent = 50;
    const int panes = 2 * (frame.height() + paneExtra) + TSplitter::kThickness;
    form.resize(frame.width() + 40, form.height() - form.Panel2->height() + panes);
}

// The part of a pane's paint box the window shows.
QString shownSize(const QWidget* box)
{
    const QRect r = box->visibleRegion().boundingRect();
    return QStringLiteral("%1 x %2").arg(r.width()).arg(r.height());
}

// The capture window's count of frames handed out and dropped, on stderr
// every `seconds`.
void reportEvery(TMainForm& form, int seconds)
{
    auto* timer = new QTimer(&form);
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    QObject::connect(timer, &QTimer::timeout, &form, [&form, since] {
        CAPSTATUS status;
        if (SendMessageA(form.Video1->CaptureWindowHandle(), WM_CAP_GET_STATUS, sizeof status,
                         reinterpret_cast<LPARAM>(&status)) == 0)
            return;
        std::fprintf(stderr, "Stillwise: nach %lld s %lu Bilder gezeigt, %lu verworfen\n",
                     static_cast<long long>((since->elapsed() + 500) / 1000),
                     static_cast<unsigned long>(status.dwCurrentVideoFrame),
                     static_cast<unsigned long>(status.dwCurrentVideoFramesDropped));
        std::fflush(stderr);
    });
    timer->start(seconds * 1000);
}

// Ticks the webcam box as a user would, or says why there is none to tick.
void switchWebcamOn(TMainForm& form)
{
    QCheckBox* box = form.WebcamBox;
    if (!box->isEnabled()) {
        // The tooltip's first line says what is missing.
        std::fprintf(stdout, "Stillwise: keine virtuelle Webcam: %s\n",
                     box->toolTip().section(QLatin1Char('\n'), 0, 0).toLocal8Bit().constData());
        return;
    }
    box->click();
    std::fprintf(stdout, "Stillwise: Ausgabe als Webcam %s\n",
                 box->isChecked() ? "eingeschaltet" : "ließ sich nicht einschalten");
}

// A picture of the main window, written whole or not at all.
void grabWindow(TMainForm& form, const QString& path)
{
    QTimer::singleShot(2000, &form, [&form, path] {
        const QPixmap picture = form.grab();
        QSaveFile file(path);
        if (picture.isNull() || !file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit()) {
            finish(1, QStringLiteral("Stillwise: das Bild des Hauptfensters lässt sich nicht in %1 schreiben: %2")
                          .arg(path, file.errorString()));
            return;
        }
        finish(0, QStringLiteral("Stillwise: Bild des Hauptfensters (%1 x %2) in %3")
                      .arg(picture.width())
                      .arg(picture.height())
                      .arg(path));
    });
}

void measure(TMainForm& form, int seconds)
{
    // One second to let the panes be laid out for the frame size.
    QTimer::singleShot(1000, Qt::PreciseTimer, &form, [&form, seconds] {
        auto meter = std::make_shared<FrameMeter>(form.PaintBox1);
        QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, &form, [meter, &form] {
            const FrameRate r = meter->result();
            finish(0, QStringLiteral("Stillwise: %1 Bilder/s gezeigt, langsamste Sekunde %2, %3 % eines Kerns, in "
                                     "%4 s; sichtbar oben %5, unten %6")
                          .arg(r.framesPerSecond, 0, 'f', 1)
                          .arg(r.slowestSecond)
                          .arg(r.corePercent, 0, 'f', 1)
                          .arg(r.seconds, 0, 'f', 1)
                          .arg(shownSize(form.PaintBox1), shownSize(form.PaintBox2)));
        });
    });
}

} // namespace

bool SelfCheckRequested()
{
    return qEnvironmentVariableIsSet("STILLWISE_SELFCHECK");
}

// The main window's captions as the user reads them, and a number as the
// program writes it: which language the program chose.
static void printCaptions(const TMainForm& form)
{
    QStringList captions;
    for (const QAbstractButton* b : {static_cast<const QAbstractButton*>(form.BitBtn1),
                                     static_cast<const QAbstractButton*>(form.ShnapShotBtn),
                                     static_cast<const QAbstractButton*>(form.MotionBox),
                                     static_cast<const QAbstractButton*>(form.WebcamBox)})
        captions << b->text();
    std::fprintf(stdout, "Stillwise: Beschriftungen: %s; Zahl: %s\n",
                 captions.join(QStringLiteral(" | ")).toUtf8().constData(), QLocale().toString(1.5).toUtf8().constData());
}

void InstallSelfCheck(TMainForm& form, const QElapsedTimer& sinceStart)
{
    // The frame handler paints both panes before it returns: the first call
    // that comes back is the first painted frame.
    const QSize size = requestedSize();
    if (size.isValid() && !applySize(form, size)) {
        QTimer::singleShot(0, &form, [size] {
            finish(1, QStringLiteral("Stillwise: die Kamera liefert keine %1 x %2 Bildpunkte").arg(size.width()).arg(size.height()));
        });
        return;
    }
    if (qEnvironmentVariableIntValue("STILLWISE_SELFCHECK_WHOLE") == 1)
        showWholeFrames(form, size.isValid() ? size : QSize(form.Video1->ImageWidth(), form.Video1->ImageHeight()));
    const int seconds = std::clamp(qEnvironmentVariableIntValue("STILLWISE_SELFCHECK_SECONDS"), 0, 3600);
    const int every = std::clamp(qEnvironmentVariableIntValue("STILLWISE_SELFCHECK_EVERY"), 0, 3600);
    const bool webcam = qEnvironmentVariableIntValue("STILLWISE_SELFCHECK_WEBCAM") == 1;
    const QString grabPath = qEnvironmentVariable("STILLWISE_SELFCHECK_GRAB");

    TVideo* video = form.Video1;
    TVideoStream handler = video->OnFrame();
    auto done = std::make_shared<bool>(false);
    video->SetOnFrame([=, &form](QObject* sender, PVIDEOHDR header) {
        if (handler)
            handler(sender, header);
        if (*done)
            return;
        *done = true;
        const qint64 ms = sinceStart.elapsed();
        QTimer::singleShot(0, &form, [ms, seconds, every, webcam, grabPath, &form] {
            const QStringList missing = missingPictures();
            if (!missing.isEmpty()) {
                finish(1, QStringLiteral("Stillwise: Bilder fehlen: %1").arg(missing.join(QStringLiteral(", "))));
                return;
            }
            QFile about(QStringLiteral(":/pictures/about.jpg"));
            if (!about.open(QIODevice::ReadOnly) || pixels::DecodeJpeg(about.readAll()).isNull()) {
                finish(1, QStringLiteral("Stillwise: das Bild des Info-Fensters lässt sich nicht lesen"));
                return;
            }
            if (qEnvironmentVariableIntValue("STILLWISE_SELFCHECK_TEXTS") == 1)
                printCaptions(form);
            const QString first =
                QStringLiteral("Stillwise: erstes Bild nach %1 ms gezeigt; Bilder und Symbol vorhanden").arg(ms);
            if (!grabPath.isEmpty()) {
                std::fprintf(stdout, "%s\n", first.toLocal8Bit().constData());
                std::fflush(stdout);
                grabWindow(form, grabPath);
                return;
            }
            if (seconds <= 0) {
                finish(0, first);
                return;
            }
            std::fprintf(stdout, "%s\n", first.toLocal8Bit().constData());
            if (webcam)
                switchWebcamOn(form);
            std::fflush(stdout);
            if (every > 0)
                reportEvery(form, every);
            measure(form, seconds);
        });
    });
    QTimer::singleShot(10000, &form, [done] {
        if (!*done)
            finish(1, QStringLiteral("Stillwise: in zehn Sekunden kam kein Bild von der Kamera"));
    });
}
