#pragma once
// A PipeWire daemon behind the seam, with the habits the camera must live
// with: the node stays paused until a reader links; a linked reader agrees
// on a format (by default the first offered layout at the offered size, and
// again after each new offer); readers keep buffers while they read, a
// stalled one keeps them all; and a daemon may hand out a buffer too small
// or agree on a format nobody offered. The daemon can stop and start again.

#include "output/PipeWireStream.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace simpw {

using output::PixelLayout;
using output::StreamFormat;
using output::StreamOffer;
using output::StreamState;

struct Daemon {
    bool running = true;

    // The reader's side.
    bool linked = false;
    PixelLayout readerLayout = PixelLayout::YUY2;
    bool readerFollowsOffers = true; // agrees on each new offer at once
    bool stalled = false;            // keeps every buffer it is given
    int bufferCount = 4;
    std::size_t shortBy = 0; // buffers this many bytes smaller than the frame
    std::size_t slack = 64;  // bytes after each buffer's end, kept at 0xEE
    bool keepFrames = true;  // copies each frame out for the tests (not when measuring)

    // The node as the daemon sees it.
    int published = 0;
    std::vector<StreamOffer> offers;
    StreamFormat agreed;
    std::vector<std::vector<std::uint8_t>> buffers;
    std::deque<std::size_t> free;

    // What the reader got.
    std::vector<std::uint8_t> lastFrame;
    StreamFormat lastFormat;
    int frames = 0;

    // A reader links and agrees on `layout` at the size offered now.
    void link(PixelLayout layout)
    {
        readerLayout = layout;
        linked = true;
        agree({layout, offers.empty() ? 0 : offers.back().width, offers.empty() ? 0 : offers.back().height});
    }
    void unlink()
    {
        linked = false;
        agreed = {};
        buffers.clear();
        free.clear();
    }
    // The format is settled; fresh buffers of its size (less `shortBy`).
    void agree(const StreamFormat& format)
    {
        agreed = format;
        const output::FrameGeometry g = output::GeometryOf(format.layout, format.width, format.height);
        const std::size_t size = (g.bytes > 0 ? g.bytes : std::size_t{4096}) - shortBy;
        buffers.assign(static_cast<std::size_t>(bufferCount), std::vector<std::uint8_t>(size + slack, 0xEE));
        free.clear();
        for (std::size_t i = 0; i < buffers.size(); ++i)
            free.push_back(i);
    }
    // Whether any byte past a buffer's lent size was touched.
    bool slackIntact() const
    {
        for (const auto& b : buffers)
            for (std::size_t i = b.size() - slack; i < b.size(); ++i)
                if (b[i] != 0xEE)
                    return false;
        return true;
    }
    // A stalled reader catches up and gives its buffers back.
    void resume()
    {
        stalled = false;
        free.clear();
        for (std::size_t i = 0; i < buffers.size(); ++i)
            free.push_back(i);
    }
};

class Stream final : public output::PipeWireStream {
public:
    explicit Stream(Daemon& daemon) : daemon_(daemon) {}

    StreamState state() override
    {
        if (!daemon_.running)
            return StreamState::Failed;
        return daemon_.linked ? StreamState::Streaming : StreamState::Paused;
    }
    QString failure() override { return QStringLiteral("PipeWire wurde beendet (simuliert)."); }

    void offer(const StreamOffer& offer) override
    {
        daemon_.offers.push_back(offer);
        if (daemon_.linked && daemon_.readerFollowsOffers)
            daemon_.agree({daemon_.readerLayout, offer.width, offer.height});
    }

    bool fill(const Fill& fill) override
    {
        if (state() != StreamState::Streaming || daemon_.free.empty())
            return false;
        const std::size_t index = daemon_.free.front();
        daemon_.free.pop_front();
        std::vector<std::uint8_t>& b = daemon_.buffers[index];
        const output::LentBuffer lent{b.data(), b.size() - daemon_.slack, daemon_.agreed};
        const std::size_t used = fill(lent);
        if (used == 0 || used > lent.size) {
            daemon_.free.push_front(index);
            return true;
        }
        if (daemon_.keepFrames)
            daemon_.lastFrame.assign(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(used));
        daemon_.lastFormat = daemon_.agreed;
        ++daemon_.frames;
        if (!daemon_.stalled)
            daemon_.free.push_back(index);
        return true;
    }

private:
    Daemon& daemon_;
};

class System final : public output::PipeWireSystem {
public:
    explicit System(Daemon& daemon) : daemon_(daemon) {}
    bool reachable() override { return daemon_.running; }
    std::unique_ptr<output::PipeWireStream> publish(const StreamOffer& offer, QString& error) override
    {
        if (!daemon_.running) {
            error = QStringLiteral("Keine Verbindung zu PipeWire (simuliert).");
            return nullptr;
        }
        ++daemon_.published;
        daemon_.offers.push_back(offer);
        daemon_.unlink();
        return std::make_unique<Stream>(daemon_);
    }

private:
    Daemon& daemon_;
};

} // namespace simpw
