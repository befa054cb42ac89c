#pragma once
// The corrected picture as a PipeWire camera: a node of class Video/Source,
// role Camera, called "Stillwise", that offers the picture's size in YUY2,
// I420, NV12 and BGRx at the rate the pictures arrive at. Each picture is
// converted straight into a buffer PipeWire lends, in the GUI thread, with
// the stream's loop locked only for the conversion (see PipeWireDaemon.cpp).
// While no reader is linked the node is paused and nothing is converted.

#include "output/PipeWireStream.h"
#include "output/WebcamOutput.h"
#include "pixels/YuyvConversion.h"

#include <memory>

namespace output {

class PipeWireCamera final : public WebcamOutput {
public:
    explicit PipeWireCamera(PipeWireSystem& system);
    ~PipeWireCamera() override;
    PipeWireCamera(const PipeWireCamera&) = delete;
    PipeWireCamera& operator=(const PipeWireCamera&) = delete;

    // Connects to the daemon. The node appears with the first picture,
    // whose size it offers.
    bool start() override;
    void stop();
    bool running() const { return started_; }
    const QString& error() const override { return error_; }
    // A reader is linked and the node streams.
    bool read() override;
    bool tellsReaders() const override { return true; }
    // Publishes the node at the placeholder's size where it is not yet,
    // and hands the placeholder to a reader; the rate offered stays.
    Result hold(const BgrPicture& placeholder) override;

    const StreamOffer& offered() const { return offer_; }
    std::uint64_t written() const { return written_; }
    // Pictures not converted because no reader was linked.
    std::uint64_t idle() const { return idle_; }
    // Pictures dropped because every buffer was still with the readers.
    std::uint64_t dropped() const { return dropped_; }
    // Buffers refused: too small for the picture, or in a format not offered.
    std::uint64_t refused() const { return refused_; }

private:
    Result writeAt(const BgrPicture& picture, Clock::time_point when) override;
    Result deliver(const BgrPicture& picture);
    // Converts into `buffer`; the bytes written, 0 when it is refused.
    std::size_t convert(const BgrPicture& picture, const LentBuffer& buffer);
    Result fail(QString why);

    PipeWireSystem& system_;
    std::unique_ptr<PipeWireStream> stream_;
    bool started_ = false;
    QString error_;
    pixels::YuyvConverter yuyv_;
    FrameRateMeter meter_;
    StreamOffer offer_;
    std::uint64_t written_ = 0, idle_ = 0, dropped_ = 0, refused_ = 0;
};

// The tooltip's advice when no PipeWire daemon runs.
QString NoPipeWireHint();

} // namespace output
