#pragma once
// "Mittelwert aus N Bildern": gathers the exact mean of the next N raw frames
// while the live panes keep running. A small window without modality counts
// the frames and offers to cancel. Only one picture of sums is held, never
// the frames. A frame of another size, or a source that stops delivering
// (driver closed, preview off, camera gone), cancels with a message; nothing
// half made is ever handed on.

#include "denoise/FrameAverager.h"
#include "dib/Pixmill.h"

#include <QObject>
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <functional>
#include <memory>

class QTimer;
class QWidget;

class AverageGather : public QObject {
    Q_OBJECT
public:
    // Messages and the progress window belong to `window`.
    explicit AverageGather(QWidget* window);
    ~AverageGather() override;

    // Begins gathering the next `frames` frames. Answers false (and changes
    // nothing) while a mean is being gathered or for a count not offered.
    bool Start(int frames);
    bool Gathering() const { return frames_ > 0; }
    int Frames() const { return frames_; }
    int Counted() const;

    // One raw frame as the frame step took it. Ignored while not gathering.
    void Feed(const DIB& raw);

    // Stops gathering and drops the sums. A reason, if given, is shown to the
    // user without blocking the live panes.
    void Cancel(const QString& reason);

    // Asked twice a second while gathering: whether frames can still come.
    void SetSourceCheck(std::function<bool()> alive) { sourceAlive_ = std::move(alive); }
    // A camera pulled out may leave the driver open and simply send nothing:
    // gathering also stops when no frame came for this long.
    void SetStallTimeout(int ms) { stallMs_ = ms; }

    // The finished mean, handed over to the caller (who frees it with
    // deldib); a record without pixels when none is ready.
    DIB TakeMean();

    QProgressDialog* Progress() const { return progress_; }
    // The last message shown, for those who need to know what happened.
    const QString& LastMessage() const { return lastMessage_; }

    // The messages, as shown.
    static QString SizeChangedText();
    static QString SourceStoppedText();
    static QString DriverChangedText();
    static QString PreviewStoppedText();
    static QString NoMemoryText();

signals:
    // A mean is ready for TakeMean. Delivered through the event loop, never
    // from inside the frame step.
    void MeanReady();

private:
    void Finish();
    void CloseProgress();
    void CheckSource();

    QWidget* window_;
    int frames_ = 0;
    std::unique_ptr<denoise::FrameAverager> averager_;
    BITMAPINFOHEADER format_{}; // the header of the first frame, template of the mean
    DIB mean_;
    QPointer<QProgressDialog> progress_;
    QTimer* watch_; // asks whether the source still delivers, while gathering
    QElapsedTimer sinceFrame_;
    int stallMs_ = 5000;
    std::function<bool()> sourceAlive_;
    QString lastMessage_;
};
