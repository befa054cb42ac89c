#pragma once
// Hands frames from a worker thread to the GUI thread, latest frame wins:
// there is one waiting frame at most, and a newer one replaces it. Buffers
// change hands by swapping, so a running stream allocates nothing.

#include "camera/Driver.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace camera {

// How long a grab waits. A camera just started may take long for its first
// frame (exposure, USB bandwidth): up to FirstFrameWait. One that streams
// already sends the next within a frame interval or two, so a grab then
// waits four of them at `interval`, but never less than a quarter second
// nor more than FirstFrameWait (also where the rate is unknown, 0/0): the
// GUI thread waits meanwhile.
inline constexpr std::chrono::milliseconds FirstFrameWait{3000};
std::chrono::milliseconds NextFrameWait(const FrameInterval& interval);

class FrameExchange {
public:
    // Worker: makes `frame` the waiting one and gives back an older buffer
    // in its place. Answers true when the receiver must be told (it has not
    // been told of a waiting frame yet).
    bool publish(Frame& frame);

    // Receiver: takes the waiting frame, if any.
    bool take(Frame& frame);

    // Receiver: waits until a frame newer than any taken so far arrives, or
    // the time is up.
    bool takeNext(Frame& frame, std::chrono::milliseconds timeout);

    // Drops the waiting frame (the format changed or the stream stopped).
    void clear();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    Frame waiting_;
    bool fresh_ = false;
    bool told_ = false;
};

} // namespace camera
