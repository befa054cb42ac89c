#pragma once
// A simulated PipeWire registry behind the camera seam, for unit tests: a
// node list the test sets (telling the change handler), formats and
// controls per node, a daemon that can be away or refuse streams, and
// streams the test drives frame by frame. Header-only, so the benchmark can
// use it as well. (Namespace simpwcam: tests/output/SimulatedPipeWire.h has simpw.)

#include "camera/pipewire/PipeWireCameras.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace simpwcam {

class Cameras;

// One stream from a simulated node. Frames reach the receiver on whatever
// thread calls deliver(), or on the stream's own feeding thread.
class Stream final : public camera::PipeWireCameraStream {
public:
    Stream(Cameras& cameras, camera::PipeWireNode node, const camera::FormatSetting& format,
           camera::PipeWireReceiver& receiver);
    ~Stream() override;

    camera::PipeWireState state() override
    {
        std::lock_guard lock(mutex_);
        return state_;
    }
    QString failure() override
    {
        std::lock_guard lock(mutex_);
        return failure_;
    }
    camera::FormatSetting format() override
    {
        std::lock_guard lock(mutex_);
        return format_;
    }
    // Recorded; agreed at once unless the test holds agreement back (then
    // agree() settles it).
    bool setFormat(const camera::FormatSetting& wanted) override
    {
        std::lock_guard lock(mutex_);
        formatRequests.push_back(wanted);
        if (refuseFormats)
            return false;
        if (agreeAtOnce)
            format_ = wanted;
        return true;
    }
    std::vector<camera::ControlInfo> controls() override;
    bool setControl(std::uint32_t id, int value) override;

    // --- driven by the test ---

    // Hands one frame to the receiver on the calling thread, with `size`
    // bytes of the chunk (defaults to all of `bytes`).
    void deliver(const std::vector<std::uint8_t>& bytes, const camera::FormatSetting& format, int stride,
                 std::size_t size = SIZE_MAX)
    {
        camera::PipeWireFrame frame;
        frame.data = bytes.data();
        frame.size = std::min(size, bytes.size());
        frame.stride = stride;
        frame.format = format;
        frame.timeNs = static_cast<std::uint64_t>(delivered.load()) * 33'333'333u;
        ++delivered;
        receiver_.frame(frame);
    }
    // Delivers the frame again and again, `every` apart, on a thread of the
    // stream's own (as PipeWire's loop thread would), until end(), stopFeeding()
    // or the stream goes.
    void feed(std::vector<std::uint8_t> bytes, const camera::FormatSetting& format, int stride,
              std::chrono::milliseconds every = std::chrono::milliseconds(5))
    {
        stopFeeding();
        feeding_ = true;
        feeder_ = std::thread([this, bytes = std::move(bytes), format, stride, every] {
            while (feeding_) {
                deliver(bytes, format, stride);
                std::this_thread::sleep_for(every);
            }
        });
    }
    void stopFeeding()
    {
        feeding_ = false;
        if (feeder_.joinable())
            feeder_.join();
    }
    // The stream ends for good: Failed with `reason`, and the receiver told
    // (on the calling thread).
    void end(const QString& reason)
    {
        stopFeeding();
        {
            std::lock_guard lock(mutex_);
            state_ = camera::PipeWireState::Failed;
            failure_ = reason;
        }
        receiver_.ended();
    }
    void setState(camera::PipeWireState state)
    {
        std::lock_guard lock(mutex_);
        state_ = state;
    }
    // Settles a format held back by agreeAtOnce = false (or one the node
    // chose on its own).
    void agree(const camera::FormatSetting& format)
    {
        std::lock_guard lock(mutex_);
        format_ = format;
    }

    const camera::PipeWireNode& node() const { return node_; }

    // What the driver asked of the stream (read them while no frame is fed).
    std::vector<camera::FormatSetting> formatRequests;
    std::vector<std::pair<std::uint32_t, int>> controlRequests;
    bool agreeAtOnce = true;
    bool refuseFormats = false;
    std::atomic<int> delivered{0};

private:
    Cameras& cameras_;
    camera::PipeWireNode node_;
    camera::PipeWireReceiver& receiver_;
    std::mutex mutex_;
    camera::PipeWireState state_ = camera::PipeWireState::Streaming;
    QString failure_;
    camera::FormatSetting format_;
    std::atomic<bool> feeding_{false};
    std::thread feeder_;
};

class Cameras final : public camera::PipeWireCameras {
public:
    bool available() override { return available_; }
    std::vector<camera::PipeWireNode> nodes() override
    {
        std::lock_guard lock(mutex_);
        return nodes_;
    }
    void onChange(std::function<void()> changed) override
    {
        std::lock_guard lock(mutex_);
        changed_ = std::move(changed);
    }
    std::vector<camera::PixelFormatChoice> formats(const camera::PipeWireNode& node) override
    {
        std::lock_guard lock(mutex_);
        auto it = formats_.find(node.id);
        return it == formats_.end() ? std::vector<camera::PixelFormatChoice>{} : it->second;
    }
    // Counts every call; fails with the text openError while it is not
    // empty or while the daemon is away. A stream starts Streaming in
    // `wanted`, else in the node's first listed format.
    std::unique_ptr<camera::PipeWireCameraStream> open(const camera::PipeWireNode& node,
                                                       const camera::FormatSetting& wanted,
                                                       camera::PipeWireReceiver& receiver, QString& error) override
    {
        ++opens;
        lastWanted = wanted;
        if (!openError.isEmpty() || !available_) {
            error = openError.isEmpty() ? QStringLiteral("PipeWire ist nicht erreichbar.") : openError;
            return nullptr;
        }
        camera::FormatSetting format = wanted;
        if (format.fourcc == 0) {
            const auto listed = formats(node);
            if (!listed.empty() && !listed.front().sizes.empty()) {
                const camera::FrameSizeChoice& size = listed.front().sizes.front();
                format = {listed.front().fourcc, size.width, size.height,
                          size.intervals.empty() ? camera::FrameInterval{} : size.intervals.front()};
            }
        }
        return std::make_unique<Stream>(*this, node, format, receiver);
    }

    // --- set by the test ---

    void setAvailable(bool available) { available_ = available; }
    // Replaces the node list and tells the change handler (on the calling
    // thread, standing in for the loop thread).
    void setNodes(std::vector<camera::PipeWireNode> nodes)
    {
        std::function<void()> changed;
        {
            std::lock_guard lock(mutex_);
            nodes_ = std::move(nodes);
            changed = changed_;
        }
        if (changed)
            changed();
    }
    void setFormats(std::uint32_t nodeId, std::vector<camera::PixelFormatChoice> formats)
    {
        std::lock_guard lock(mutex_);
        formats_[nodeId] = std::move(formats);
    }
    // The node's controls; their values live here, so a stream opened later
    // sees what an earlier one set.
    void setControls(std::uint32_t nodeId, std::vector<camera::ControlInfo> controls)
    {
        std::lock_guard lock(mutex_);
        controls_[nodeId] = std::move(controls);
    }
    std::vector<camera::ControlInfo> controlsOf(std::uint32_t nodeId)
    {
        std::lock_guard lock(mutex_);
        return controls_[nodeId];
    }
    bool changeControl(std::uint32_t nodeId, std::uint32_t id, int value)
    {
        std::lock_guard lock(mutex_);
        for (camera::ControlInfo& control : controls_[nodeId]) {
            if (control.id == id) {
                control.value = value;
                return true;
            }
        }
        return false;
    }

    // The newest stream still open, or null.
    Stream* stream()
    {
        std::lock_guard lock(mutex_);
        return streams_.empty() ? nullptr : streams_.back();
    }
    std::size_t openStreams()
    {
        std::lock_guard lock(mutex_);
        return streams_.size();
    }

    QString openError; // non-empty: open() fails with this text
    std::atomic<int> opens{0};
    camera::FormatSetting lastWanted;

private:
    friend class Stream;
    void add(Stream* stream)
    {
        std::lock_guard lock(mutex_);
        streams_.push_back(stream);
    }
    void remove(Stream* stream)
    {
        std::lock_guard lock(mutex_);
        std::erase(streams_, stream);
    }

    std::atomic<bool> available_{true};
    std::mutex mutex_;
    std::vector<camera::PipeWireNode> nodes_;
    std::function<void()> changed_;
    std::map<std::uint32_t, std::vector<camera::PixelFormatChoice>> formats_;
    std::map<std::uint32_t, std::vector<camera::ControlInfo>> controls_;
    std::vector<Stream*> streams_;
};

inline Stream::Stream(Cameras& cameras, camera::PipeWireNode node, const camera::FormatSetting& format,
                      camera::PipeWireReceiver& receiver)
    : cameras_(cameras), node_(std::move(node)), receiver_(receiver), format_(format)
{
    cameras_.add(this);
}

inline Stream::~Stream()
{
    stopFeeding();
    cameras_.remove(this);
}

inline std::vector<camera::ControlInfo> Stream::controls()
{
    return cameras_.controlsOf(node_.id);
}

inline bool Stream::setControl(std::uint32_t id, int value)
{
    {
        std::lock_guard lock(mutex_);
        controlRequests.emplace_back(id, value);
    }
    return cameras_.changeControl(node_.id, id, value);
}

// A node as the registry would list it.
inline camera::PipeWireNode Node(std::uint32_t id, std::string name, std::string description = {})
{
    camera::PipeWireNode node;
    node.id = id;
    node.name = std::move(name);
    node.description = description.empty() ? node.name : std::move(description);
    return node;
}

} // namespace simpwcam
