#pragma once
// A line over each picture pane that says when the camera's frames come in
// a format the frame step does not take (anything but 24-bit colour), so
// that the panes do not simply freeze on the last picture they had.

#include <QObject>

#include <vector>

class QLabel;
class QWidget;
class VideoFormatSource;

class FormatNotice final : public QObject {
public:
    static const QString& Text();

    // Puts a hidden notice over each of `panes`, which own them.
    FormatNotice(const std::vector<QWidget*>& panes, QObject* parent);

    // After a frame the frame step did not take: shows the notice when the
    // reason is the format; after a frame it took: hides it.
    void frameTaken(bool taken, VideoFormatSource& source);

    bool shown() const { return shown_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place(QLabel* label);

    std::vector<QLabel*> labels_;
    bool shown_ = false;
};
