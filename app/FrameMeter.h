#pragma once
// Counts how often a widget is painted and how much processor time the
// program takes meanwhile, so that a measuring run can report the frames
// shown per second, the slowest whole second and the share of one core.

#include <QElapsedTimer>
#include <QObject>

#include <cstdint>
#include <vector>

class QWidget;

struct FrameRate {
    double framesPerSecond = 0; // over the whole measurement
    int slowestSecond = 0;      // fewest paints in any whole second
    double corePercent = 0;     // processor time / wall time, in % of one core
    double seconds = 0;         // wall time measured
};

// The arithmetic, apart from any clock: paints are noted with their time
// since the start, processor time is given at the end.
class FrameTally {
public:
    void note(std::int64_t ms);
    // wallMs: length of the measurement; cpuMs: processor time used in it.
    FrameRate result(std::int64_t wallMs, double cpuMs) const;

private:
    std::vector<int> perSecond_;
    std::int64_t paints_ = 0;
};

class FrameMeter : public QObject {
public:
    // Starts counting the paint events of widget at once.
    explicit FrameMeter(QWidget* widget);
    FrameRate result() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_;
    QElapsedTimer wall_;
    double cpuStartMs_;
    FrameTally tally_;
};

// Processor time used by the whole program so far, in milliseconds.
double ProcessCpuMs();
