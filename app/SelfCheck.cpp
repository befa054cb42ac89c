#include "app/SelfCheck.h"

#include "app/MainUnit.h"
#include "capture/Video.h"
#include "widgets/JpegDecoder.h"

#include <QApplication>
#include <QFile>
#include <QTimer>

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

} // namespace

bool SelfCheckRequested()
{
    return qEnvironmentVariableIsSet("STILLWISE_SELFCHECK");
}

void InstallSelfCheck(TMainForm& form, const QElapsedTimer& sinceStart)
{
    // The frame handler paints both panes before it returns: the first call
    // that comes back is the first painted frame.
    TVideo* video = form.Video1;
    TVideoStream handler = video->OnFrame();
    auto done = std::make_shared<bool>(false);
    video->SetOnFrame([handler, done, &form, sinceStart](QObject* sender, PVIDEOHDR header) {
        if (handler)
            handler(sender, header);
        if (*done)
            return;
        *done = true;
        const qint64 ms = sinceStart.elapsed();
        QTimer::singleShot(0, &form, [ms] {
            const QStringList missing = missingPictures();
            if (!missing.isEmpty()) {
                finish(1, QStringLiteral("Stillwise: Bilder fehlen: %1").arg(missing.join(QStringLiteral(", "))));
                return;
            }
            QFile about(QStringLiteral(":/pictures/about.jpg"));
            if (!about.open(QIODevice::ReadOnly) || DecodeJpeg(about.readAll()).isNull()) {
                finish(1, QStringLiteral("Stillwise: das Bild des Info-Fensters lässt sich nicht lesen"));
                return;
            }
            finish(0, QStringLiteral("Stillwise: erstes Bild nach %1 ms gezeigt; Bilder und Symbol vorhanden").arg(ms));
        });
    });
    QTimer::singleShot(10000, &form, [done] {
        if (!*done)
            finish(1, QStringLiteral("Stillwise: in zehn Sekunden kam kein Bild von der Kamera"));
    });
}
