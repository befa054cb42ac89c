// An input stream from one camera node: frames to the receiver, the
// agreed format, the end told once, the node's controls.

#include "camera/pipewire/NodeStream.h"

#include "camera/pipewire/MappedBlock.h"
#include "camera/pipewire/PipeWireFormats.h"

#include <QCoreApplication>

#include <spa/buffer/meta.h>
#include <spa/param/buffers.h>
#include <spa/param/param.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <map>
#include <mutex>

namespace camera::pw {

namespace {

QString CameraGoneText()
{
    return QCoreApplication::translate("camera::PipeWireDriver",
                                       "Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet.");
}

QString DaemonGoneText()
{
    return QCoreApplication::translate(
        "camera::PipeWireDriver",
        "PipeWire wurde beendet oder hat die Verbindung getrennt. Die Vorschau wurde beendet; "
        "sobald PipeWire wieder läuft, lässt sich die Kamera wieder wählen.");
}

// An input stream from one camera node. A new format is a new pw_stream
// (PipeWire 0.3 does not negotiate a linked port's format again), so the
// pw_stream and its listener live in a Link that setFormat() replaces.
class NodeStream final : public PipeWireCameraStream, public NodeFollower {
public:
    NodeStream(pw_thread_loop* loop, std::shared_ptr<Connection> connection, std::uint32_t node, std::string target,
               PipeWireReceiver& receiver)
        : loop_(loop), connection_(std::move(connection)), node_(node), target_(std::move(target)), receiver_(receiver)
    {
        Locked lock(loop_);
        connection_->follow(this);
        failLater_ = pw_loop_add_event(
            pw_thread_loop_get_loop(loop_),
            [](void* self, std::uint64_t) {
                auto* stream = static_cast<NodeStream*>(self);
                stream->fail(stream->lateFailure_);
            },
            this);
    }

    ~NodeStream() override
    {
        Locked lock(loop_);
        connection_->unfollow(this);
        retire(std::move(link_));
        if (failLater_ != nullptr)
            pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), failLater_);
    }

    // With the loop lock held.
    bool connect(const FormatSetting& wanted, QString& error)
    {
        link_ = makeLink(wanted, error);
        return link_ != nullptr;
    }

    PipeWireState state() override { return state_; }

    // failure_ is written once, before state_ turns Failed.
    QString failure() override { return state_ == PipeWireState::Failed ? failure_ : QString(); }

    FormatSetting format() override
    {
        std::lock_guard lock(formatMutex_);
        return format_;
    }

    bool setFormat(const FormatSetting& wanted) override
    {
        if (!PipeWireConvertible(wanted.fourcc) || state_ == PipeWireState::Failed)
            return false;
        Locked lock(loop_);
        if (state_ == PipeWireState::Failed || connection_->dead() || failLater_ == nullptr)
            return false;
        // The node takes a new format only once the old link is gone.
        retire(std::move(link_));
        {
            std::lock_guard formatLock(formatMutex_);
            format_ = {};
        }
        QString error;
        link_ = makeLink(wanted, error);
        if (!link_) {
            // Told on the loop thread, as every end of a stream is.
            lateFailure_ = error;
            pw_loop_signal_event(pw_thread_loop_get_loop(loop_), failLater_);
            return false;
        }
        state_ = PipeWireState::Connecting;
        return true;
    }

    std::vector<ControlInfo> controls() override
    {
        std::vector<ControlInfo> list;
        Locked lock(loop_);
        readControls();
        for (const PipeWireControl& control : controls_)
            list.push_back(control.info);
        return list;
    }

    bool setControl(std::uint32_t id, int value) override
    {
        Locked lock(loop_);
        if (controls_.empty())
            readControls();
        auto control = std::find_if(controls_.begin(), controls_.end(),
                                    [&](const PipeWireControl& c) { return c.info.id == id; });
        if (control == controls_.end() || value < control->info.minimum || value > control->info.maximum ||
            connection_->dead())
            return false;
        const auto& items = control->info.items;
        if (control->info.kind == ControlInfo::Kind::Menu &&
            std::none_of(items.begin(), items.end(), [&](const auto& item) { return item.first == value; }))
            return false;
        PodBuffer pods;
        const spa_pod* props = BuildProps(pods.builder, *control, value);
        if (props == nullptr || !connection_->setParam(node_, SPA_PARAM_Props, props))
            return false;
        // PipeWire 0.3.65's V4L2 nodes do not tell a control's value in
        // their Props; what was set is the value until they do.
        set_[control->key] = value;
        control->info.value = value;
        return true;
    }

    // NodeFollower, on the loop thread.
    std::uint32_t followedNode() const override { return node_; }
    void nodeGone() override { fail(CameraGoneText()); }
    void daemonGone() override { fail(DaemonGoneText()); }

private:
    struct Link {
        NodeStream* owner = nullptr;
        StreamPtr stream;
        spa_hook listener{};
        FormatSetting format;
        // The DMA-BUF blocks the stream left unmapped, per buffer and block;
        // declared after the stream, so that they go first.
        std::map<pw_buffer*, std::vector<MappedBlock>> mapped;
        std::vector<const std::uint8_t*> starts; // where each block's chunk begins
        std::vector<std::uint8_t> planes;        // a frame whose planes come in separate blocks
        ~Link()
        {
            if (stream)
                spa_hook_remove(&listener);
        }
    };

    // Ends a link at once for us, and for PipeWire only after what its data
    // thread queued for the loop thread has run. A stream that is not driven
    // in real time has its data thread queue each frame's process call on
    // the loop thread, with the stream as its argument; destroying the
    // stream before that call runs makes it run on freed memory (seen as a
    // crash on the loop thread right after a format change). Disconnected,
    // the stream queues nothing more, and its destruction, queued behind
    // what is waiting, comes last. With the loop lock held, off the loop
    // thread.
    void retire(std::unique_ptr<Link> link)
    {
        if (!link || !link->stream)
            return;
        spa_hook_remove(&link->listener);
        pw_stream_disconnect(link->stream.get());
        pw_stream* stream = link->stream.release();
        link.reset();
        pw_loop_invoke(
            pw_thread_loop_get_loop(loop_),
            [](spa_loop*, bool, std::uint32_t, const void* data, std::size_t, void*) {
                pw_stream_destroy(*static_cast<pw_stream* const*>(data));
                return 0;
            },
            0, &stream, sizeof stream, false, nullptr);
    }

    std::unique_ptr<Link> makeLink(const FormatSetting& wanted, QString& error)
    {
        PodBuffer pods;
        std::vector<const spa_pod*> params = BuildEnumFormats(pods.builder, wanted);
        if (params.empty()) {
            error = QCoreApplication::translate(
                "camera::PipeWireDriver", "Dieses Bildformat lässt sich nicht umwandeln. Bitte ein anderes Bildformat "
                                          "wählen.");
            return nullptr;
        }
        // dont-reconnect: when the camera goes, the session manager must not
        // hand us another one in its place.
        pw_properties* props = pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                 PW_KEY_MEDIA_ROLE, "Camera", PW_KEY_APP_NAME, "Stillwise",
                                                 PW_KEY_NODE_NAME, "stillwise-preview", PW_KEY_TARGET_OBJECT,
                                                 target_.c_str(), PW_KEY_NODE_DONT_RECONNECT, "true", nullptr);
        auto link = std::make_unique<Link>();
        link->owner = this;
        // pw_stream_new takes the properties over, even when it fails.
        link->stream.reset(pw_stream_new(connection_->core(), "Stillwise", props));
        if (!link->stream) {
            error = QCoreApplication::translate("camera::PipeWireDriver",
                                                "PipeWire legt keinen Datenstrom von der Kamera an (%1).")
                        .arg(QString::fromLocal8Bit(spa_strerror(-errno)));
            return nullptr;
        }
        static const pw_stream_events events = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.state_changed = [](void* link, pw_stream_state, pw_stream_state state, const char* why) {
                static_cast<Link*>(link)->owner->stateChanged(*static_cast<Link*>(link), state, why);
            };
            e.param_changed = [](void* link, std::uint32_t id, const spa_pod* param) {
                static_cast<Link*>(link)->owner->paramChanged(*static_cast<Link*>(link), id, param);
            };
            e.process = [](void* link) { static_cast<Link*>(link)->owner->process(*static_cast<Link*>(link)); };
            e.add_buffer = [](void* link, pw_buffer* buffer) { AddBuffer(*static_cast<Link*>(link), buffer); };
            e.remove_buffer = [](void* link, pw_buffer* buffer) { static_cast<Link*>(link)->mapped.erase(buffer); };
            return e;
        }();
        pw_stream_add_listener(link->stream.get(), &link->listener, &events, link.get());
        const int res = pw_stream_connect(
            link->stream.get(), PW_DIRECTION_INPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS), params.data(),
            static_cast<std::uint32_t>(params.size()));
        if (res < 0) {
            error = QCoreApplication::translate("camera::PipeWireDriver", "PipeWire verbindet die Kamera nicht (%1).")
                        .arg(QString::fromLocal8Bit(spa_strerror(res)));
            return nullptr;
        }
        return link;
    }

    // Failed is final; its reason is written first, and the receiver hears
    // of the end once.
    void fail(const QString& why)
    {
        if (state_ == PipeWireState::Failed)
            return;
        failure_ = why;
        state_ = PipeWireState::Failed;
        receiver_.ended();
    }

    void stateChanged(Link& link, pw_stream_state state, const char* why)
    {
        if (&link != link_.get() || state_ == PipeWireState::Failed)
            return;
        switch (state) {
        case PW_STREAM_STATE_CONNECTING:
            state_ = PipeWireState::Connecting;
            break;
        case PW_STREAM_STATE_PAUSED:
            state_ = PipeWireState::Paused;
            break;
        case PW_STREAM_STATE_STREAMING:
            state_ = PipeWireState::Streaming;
            break;
        case PW_STREAM_STATE_ERROR:
        case PW_STREAM_STATE_UNCONNECTED:
            if (connection_->dead()) {
                fail(DaemonGoneText());
            } else if (!connection_->has(node_)) {
                fail(CameraGoneText());
            } else if (state == PW_STREAM_STATE_ERROR && why != nullptr) {
                fail(QCoreApplication::translate(
                         "camera::PipeWireDriver",
                         "PipeWire liefert keine Bilder der Kamera mehr (%1). Die Vorschau wurde "
                         "beendet.")
                         .arg(QString::fromUtf8(why)));
            } else {
                fail(QCoreApplication::translate(
                    "camera::PipeWireDriver",
                    "PipeWire hat die Verbindung zur Kamera getrennt. Die Vorschau wurde beendet."));
            }
            break;
        }
    }

    void paramChanged(Link& link, std::uint32_t id, const spa_pod* param)
    {
        if (id != SPA_PARAM_Format)
            return;
        link.format = param != nullptr ? ParseFormat(param).value_or(FormatSetting{}) : FormatSetting{};
        if (&link == link_.get()) {
            std::lock_guard lock(formatMutex_);
            format_ = link.format;
        }
        if (link.format.fourcc == 0)
            return;
        // The node allocates; it is told that we read the memory the
        // stream maps for us, and want each frame's time. Not DmaBuf:
        // libpipewire 0.3.65 maps only MemFd, and a V4L2 node hands its
        // exported buffers out as MemFd unless DmaBuf is allowed.
        PodBuffer pods;
        const spa_pod* params[2];
        params[0] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &pods.builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
            SPA_POD_CHOICE_RANGE_Int(4, 2, 16), SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))));
        params[1] = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &pods.builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
            SPA_PARAM_META_size, SPA_POD_Int(static_cast<int>(sizeof(spa_meta_header)))));
        if (params[0] != nullptr && params[1] != nullptr)
            pw_stream_update_params(link.stream.get(), params, 2);
    }

    static void AddBuffer(Link& link, pw_buffer* buffer)
    {
        std::vector<MappedBlock> blocks;
        bool any = false;
        for (std::uint32_t i = 0; i < buffer->buffer->n_datas; ++i) {
            const spa_data& d = buffer->buffer->datas[i];
            if (d.data == nullptr && d.type == SPA_DATA_DmaBuf && d.fd >= 0 && d.fd <= INT32_MAX) {
                blocks.emplace_back(static_cast<int>(d.fd), d.mapoffset, d.maxsize);
                any = true;
            } else {
                blocks.emplace_back();
            }
        }
        if (any)
            link.mapped[buffer] = std::move(blocks);
    }

    void process(Link& link)
    {
        pw_buffer* buffer = pw_stream_dequeue_buffer(link.stream.get());
        if (buffer == nullptr)
            return;
        if (state_ != PipeWireState::Failed && link.format.fourcc != 0) {
            const auto mapped = link.mapped.find(buffer);
            const std::vector<MappedBlock>* blocks = mapped != link.mapped.end() ? &mapped->second : nullptr;
            if (blocks != nullptr)
                for (const MappedBlock& block : *blocks)
                    block.beginRead();
            deliver(link, *buffer->buffer, blocks);
            if (blocks != nullptr)
                for (const MappedBlock& block : *blocks)
                    block.endRead();
        }
        pw_stream_queue_buffer(link.stream.get(), buffer);
    }

    // Hands one buffer to the receiver, unless a block is not mapped or its
    // chunk points outside the memory it describes: such a frame is skipped.
    void deliver(Link& link, const spa_buffer& buffer, const std::vector<MappedBlock>* blocks)
    {
        if (buffer.n_datas == 0)
            return;
        std::vector<const std::uint8_t*>& starts = link.starts;
        starts.clear();
        std::size_t total = 0;
        for (std::uint32_t i = 0; i < buffer.n_datas; ++i) {
            const spa_data& d = buffer.datas[i];
            const auto* memory = static_cast<const std::uint8_t*>(d.data);
            if (memory == nullptr && blocks != nullptr && i < blocks->size() && (*blocks)[i])
                memory = (*blocks)[i].data();
            if (memory == nullptr || d.chunk == nullptr || (d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) != 0 ||
                d.chunk->offset > d.maxsize || d.chunk->size > d.maxsize - d.chunk->offset)
                return;
            starts.push_back(memory + d.chunk->offset);
            total += d.chunk->size;
        }
        if (total == 0)
            return;
        PipeWireFrame frame;
        frame.format = link.format;
        frame.stride = std::max(buffer.datas[0].chunk->stride, 0);
        if (buffer.n_datas == 1) {
            frame.data = starts[0];
            frame.size = total;
        } else {
            // Planes in blocks of their own, one after the other as a
            // single block holds them.
            link.planes.clear();
            for (std::uint32_t i = 0; i < buffer.n_datas; ++i)
                link.planes.insert(link.planes.end(), starts[i], starts[i] + buffer.datas[i].chunk->size);
            frame.data = link.planes.data();
            frame.size = link.planes.size();
        }
        const auto* header = static_cast<const spa_meta_header*>(
            spa_buffer_find_meta_data(&buffer, SPA_META_Header, sizeof(spa_meta_header)));
        if (header != nullptr && header->pts > 0) {
            frame.timeNs = static_cast<std::uint64_t>(header->pts);
        } else {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            frame.timeNs = static_cast<std::uint64_t>(now.tv_sec) * 1'000'000'000u +
                           static_cast<std::uint64_t>(now.tv_nsec);
        }
        receiver_.frame(frame);
    }

    // With the loop lock held, off the loop thread.
    void readControls()
    {
        if (connection_->dead())
            return;
        std::vector<PipeWireControl> controls;
        const std::vector<Pod> pods = connection_->params(node_, {SPA_PARAM_PropInfo, SPA_PARAM_Props});
        for (const Pod& pod : pods)
            if (std::optional<PipeWireControl> control = ParsePropInfo(pod.get()))
                controls.push_back(std::move(*control));
        for (PipeWireControl& control : controls)
            if (auto set = set_.find(control.key); set != set_.end())
                control.info.value = set->second;
        for (const Pod& pod : pods)
            ApplyProps(pod.get(), controls);
        controls_ = std::move(controls);
    }

    pw_thread_loop* loop_;
    std::shared_ptr<Connection> connection_;
    const std::uint32_t node_;
    const std::string target_;
    PipeWireReceiver& receiver_;
    std::unique_ptr<Link> link_; // under the loop lock
    spa_source* failLater_ = nullptr;
    QString lateFailure_;

    std::atomic<PipeWireState> state_{PipeWireState::Connecting};
    QString failure_;
    std::mutex formatMutex_;
    FormatSetting format_;
    // Under the loop lock.
    std::vector<PipeWireControl> controls_;
    std::map<std::uint32_t, int> set_;
};

} // namespace

std::unique_ptr<PipeWireCameraStream> OpenNodeStream(pw_thread_loop* loop, std::shared_ptr<Connection> connection,
                                                     std::uint32_t node, std::string target,
                                                     const FormatSetting& wanted, PipeWireReceiver& receiver,
                                                     QString& error)
{
    Locked lock(loop);
    auto stream = std::make_unique<NodeStream>(loop, std::move(connection), node, std::move(target), receiver);
    if (!stream->connect(wanted, error))
        return nullptr;
    return stream;
}

} // namespace camera::pw
