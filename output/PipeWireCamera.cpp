#include "output/PipeWireCamera.h"

#include "pixels/Yuv420Conversion.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdlib>

namespace output {

namespace {

// Until the arrival rate is known the readers are told this one.
constexpr int StartRate = 30;

bool Offered(PixelLayout layout)
{
    return std::find(std::begin(OfferedLayouts), std::end(OfferedLayouts), layout) != std::end(OfferedLayouts);
}

// Bottom-up BGR into BGRx rows, top-down.
void ConvertToBgrx(const BgrPicture& picture, int width, int height, std::uint8_t* out, int stride)
{
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* in = picture.bits +
                                 static_cast<std::ptrdiff_t>(picture.height - 1 - row) * picture.rowbytes;
        std::uint8_t* o = out + static_cast<std::ptrdiff_t>(row) * stride;
        for (int x = 0; x < width; ++x, in += 3, o += 4) {
            o[0] = in[0];
            o[1] = in[1];
            o[2] = in[2];
            o[3] = 0xFF;
        }
    }
}

} // namespace

FrameGeometry GeometryOf(PixelLayout layout, int width, int height)
{
    // Every layout the node offers has an even size: 4:2:2 and 4:2:0 share
    // colour between pixel pairs (and row pairs).
    if (width < 2 || height < 2 || width % 2 != 0 || height % 2 != 0)
        return {};
    const auto w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
    switch (layout) {
    case PixelLayout::YUY2:
        return {width * 2, 0, w * 2 * h};
    case PixelLayout::I420:
        return {width, width / 2, w * h * 3 / 2};
    case PixelLayout::NV12:
        return {width, width, w * h * 3 / 2};
    case PixelLayout::BGRx:
        return {width * 4, 0, w * 4 * h};
    case PixelLayout::Other:
        break;
    }
    return {};
}

QString NoPipeWireHint()
{
    return QCoreApplication::translate(
        "output::PipeWireCamera", "Für die Ausgabe als PipeWire-Kamera muss PipeWire laufen (in den meisten Desktops "
                                  "von selbst, sonst: sudo apt install pipewire wireplumber).");
}

PipeWireCamera::PipeWireCamera(PipeWireSystem& system) : system_(system) {}

PipeWireCamera::~PipeWireCamera()
{
    stop();
}

bool PipeWireCamera::start()
{
    stop();
    error_.clear();
    if (!system_.reachable()) {
        error_ =
            QCoreApplication::translate("output::PipeWireCamera", "PipeWire läuft nicht. %1").arg(NoPipeWireHint());
        return false;
    }
    started_ = true;
    return true;
}

void PipeWireCamera::stop()
{
    stream_.reset();
    started_ = false;
    offer_ = {};
    meter_ = FrameRateMeter{};
}

bool PipeWireCamera::read()
{
    return stream_ && stream_->state() == StreamState::Streaming;
}

PipeWireCamera::Result PipeWireCamera::fail(QString why)
{
    stop();
    error_ = std::move(why);
    return Result::Stopped;
}

PipeWireCamera::Result PipeWireCamera::writeAt(const BgrPicture& picture, Clock::time_point when)
{
    if (!started_)
        return Result::Stopped;
    meter_.tick(when);
    return deliver(picture);
}

PipeWireCamera::Result PipeWireCamera::hold(const BgrPicture& placeholder)
{
    if (!started_)
        return Result::Stopped;
    return deliver(placeholder);
}

PipeWireCamera::Result PipeWireCamera::deliver(const BgrPicture& picture)
{
    // The node offers even sizes; an odd last column or row is left out.
    const int width = picture.width & ~1, height = picture.height & ~1;
    if (picture.bits == nullptr || width < 2 || height < 2 || picture.rowbytes < picture.width * 3) {
        ++dropped_;
        return Result::Dropped;
    }
    const int measured = meter_.framesPerSecond();
    StreamOffer wanted{width, height, offer_.framesPerSecond};
    if (measured > 0 && std::abs(measured - wanted.framesPerSecond) > std::max(1, wanted.framesPerSecond / 10))
        wanted.framesPerSecond = measured;
    if (wanted.framesPerSecond == 0)
        wanted.framesPerSecond = StartRate;
    if (!stream_) {
        QString why;
        stream_ = system_.publish(wanted, why);
        if (!stream_)
            return fail(why);
        offer_ = wanted;
    } else if (wanted != offer_) {
        // A new size is offered at once: a linked reader agrees on it anew
        // before the next buffer it lends. A new rate waits until nobody
        // reads. Told mid-stream, a reader agrees anew as well, and a
        // camera whose rate wanders (in dim light, on a busy machine) kept
        // GStreamer's readers agreeing rather than reading, until one
        // stalled for good. A reader needs the rate only to plan; the
        // pictures come when they come.
        const bool newSize = wanted.width != offer_.width || wanted.height != offer_.height;
        if (newSize || stream_->state() != StreamState::Streaming) {
            stream_->offer(wanted);
            offer_ = wanted;
        }
    }
    switch (stream_->state()) {
    case StreamState::Failed:
        return fail(stream_->failure());
    case StreamState::Connecting:
    case StreamState::Paused:
        ++idle_;
        return Result::Dropped;
    case StreamState::Streaming:
        break;
    }
    bool wrote = false;
    const bool lent = stream_->fill([&](const LentBuffer& buffer) {
        const std::size_t bytes = convert(picture, buffer);
        wrote = bytes > 0;
        return bytes;
    });
    if (!lent) {
        // A reader that stopped reading keeps its buffers: the picture is
        // dropped, the preview goes on.
        ++dropped_;
        return Result::Dropped;
    }
    if (!wrote)
        return Result::Dropped;
    ++written_;
    return Result::Written;
}

std::size_t PipeWireCamera::convert(const BgrPicture& picture, const LentBuffer& buffer)
{
    const StreamFormat& f = buffer.format;
    const FrameGeometry g = GeometryOf(f.layout, f.width, f.height);
    // The daemon's word is checked, never trusted: a format we did not
    // offer, a size not the one offered now (a reader that has not agreed
    // on the new size yet), or a buffer too small for the frame is given
    // back unwritten.
    if (!Offered(f.layout) || f.width != offer_.width || f.height != offer_.height || g.bytes == 0 ||
        buffer.data == nullptr || buffer.size < g.bytes) {
        ++refused_;
        return 0;
    }
    switch (f.layout) {
    case PixelLayout::YUY2:
        yuyv_.convert(picture.bits, picture.rowbytes, picture.height, f.width, f.height, buffer.data, g.stride);
        break;
    case PixelLayout::I420:
    case PixelLayout::NV12: {
        std::uint8_t* colour = buffer.data + static_cast<std::size_t>(g.stride) * f.height;
        const pixels::Yuv420Planes planes{buffer.data, colour,
                                          colour + static_cast<std::size_t>(g.colourStride) * (f.height / 2), g.stride,
                                          g.colourStride};
        pixels::ConvertToYuv420(picture.bits, picture.rowbytes, picture.height, f.width, f.height,
                                f.layout == PixelLayout::I420 ? pixels::Yuv420Layout::I420 : pixels::Yuv420Layout::NV12,
                                planes);
        break;
    }
    case PixelLayout::BGRx:
        ConvertToBgrx(picture, f.width, f.height, buffer.data, g.stride);
        break;
    case PixelLayout::Other:
        return 0;
    }
    return g.bytes;
}

} // namespace output
