#include "app/FrameMeter.h"

#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <ctime>

void FrameTally::note(std::int64_t ms)
{
    if (ms < 0)
        return;
    const auto second = static_cast<std::size_t>(ms / 1000);
    if (perSecond_.size() <= second)
        perSecond_.resize(second + 1, 0);
    ++perSecond_[second];
    ++paints_;
}

FrameRate FrameTally::result(std::int64_t wallMs, double cpuMs) const
{
    FrameRate r;
    if (wallMs <= 0)
        return r;
    r.seconds = double(wallMs) / 1000.0;
    r.framesPerSecond = double(paints_) / r.seconds;
    r.corePercent = 100.0 * cpuMs / double(wallMs);
    // Only the seconds that lie wholly inside the measurement count; a
    // second without any paint is a dip to 0.
    const auto whole = static_cast<std::size_t>(wallMs / 1000);
    if (whole > 0) {
        r.slowestSecond = perSecond_.size() >= whole ? perSecond_[0] : 0;
        for (std::size_t s = 0; s < whole; ++s)
            r.slowestSecond = std::min(r.slowestSecond, s < perSecond_.size() ? perSecond_[s] : 0);
    }
    return r;
}

double ProcessCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

FrameMeter::FrameMeter(QWidget* widget) : widget_(widget), cpuStartMs_(ProcessCpuMs())
{
    wall_.start();
    widget_->installEventFilter(this);
}

FrameRate FrameMeter::result() const
{
    return tally_.result(wall_.elapsed(), ProcessCpuMs() - cpuStartMs_);
}

bool FrameMeter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == widget_ && event->type() == QEvent::Paint)
        tally_.note(wall_.elapsed());
    return false;
}
