// The real PipeWire behind the seam: one pw_stream on a pw_thread_loop of
// its own.
//
// Threads: connecting (loading PipeWire's modules, the socket, the stream)
// and the stream's events run on the loop's thread with the loop lock held.
// The GUI thread reads the stream's state without that lock (an atomic), so
// it never waits while the loop thread connects; it takes the lock only for
// a new offer once connected, and for fill() while a reader streams.
// fill() converts with the lock held: PipeWire frees a buffer's memory on
// its thread when the format changes, and the lock is what keeps that from
// happening while we write into it. Once connected the loop thread runs
// only short events, so the GUI thread waits at most for one of them; the
// loop thread waits at most one conversion (about a millisecond at
// 1920x1080 in YUY2), which PipeWire's own data thread does not share.

#include "output/PipeWireStream.h"

#include "camera/pipewire/PipeWireHandles.h"

#include <QCoreApplication>

#include <pipewire/pipewire.h>
#include <spa/param/buffers.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace output {

namespace {

using camera::pw::ContextPtr;
using camera::pw::CorePtr;
using camera::pw::Locked;
using camera::pw::LoopPtr;
using camera::pw::PodBuffer;
using camera::pw::PropertiesPtr;
using camera::pw::StreamPtr;

spa_video_format SpaFormat(PixelLayout layout)
{
    switch (layout) {
    case PixelLayout::YUY2:
        return SPA_VIDEO_FORMAT_YUY2;
    case PixelLayout::I420:
        return SPA_VIDEO_FORMAT_I420;
    case PixelLayout::NV12:
        return SPA_VIDEO_FORMAT_NV12;
    case PixelLayout::BGRx:
        return SPA_VIDEO_FORMAT_BGRx;
    case PixelLayout::Other:
        break;
    }
    return SPA_VIDEO_FORMAT_UNKNOWN;
}

PixelLayout LayoutOf(std::uint32_t format)
{
    for (const PixelLayout layout : OfferedLayouts)
        if (SpaFormat(layout) == format)
            return layout;
    return PixelLayout::Other;
}

QString GoneText()
{
    return QCoreApplication::translate("output::PipeWireCamera",
                                       "PipeWire wurde beendet oder hat die Verbindung getrennt. Die Ausgabe als "
                                       "Webcam wurde ausgeschaltet; sobald PipeWire wieder läuft, lässt sie sich "
                                       "wieder einschalten.");
}

class Stream final : public PipeWireStream {
public:
    Stream() = default;
    ~Stream() override
    {
        // The loop thread ends first, so that no event runs while the
        // objects it would touch go; then they go in reverse order.
        if (loop_)
            pw_thread_loop_stop(loop_.get());
        stream_.reset();
        core_.reset();
        context_.reset();
        loop_.reset();
    }

    // Starts the loop thread and hands it the connection; returns at once.
    // Loading PipeWire's modules and connecting take milliseconds (close to
    // a second on a slow machine), so they run on the loop thread, and a
    // failure there comes back as the Failed state.
    bool connect(const StreamOffer& offer, QString& error)
    {
        loop_.reset(pw_thread_loop_new("stillwise-pw", nullptr));
        if (!loop_ || pw_thread_loop_start(loop_.get()) < 0) {
            error = QCoreApplication::translate("output::PipeWireCamera",
                                                "PipeWire lässt sich nicht starten (keine Ereignisschleife).");
            return false;
        }
        {
            std::lock_guard lock(wantedMutex_);
            wanted_ = offer;
        }
        Locked lock(loop_.get());
        const int res = pw_loop_invoke(
            pw_thread_loop_get_loop(loop_.get()),
            [](spa_loop*, bool, std::uint32_t, const void*, std::size_t, void* self) {
                static_cast<Stream*>(self)->setUp();
                return 0;
            },
            0, nullptr, 0, false, this);
        if (res < 0) {
            error = QCoreApplication::translate("output::PipeWireCamera", "PipeWire lässt sich nicht starten (%1).")
                        .arg(QString::fromLocal8Bit(spa_strerror(res)));
            return false;
        }
        return true;
    }

    // Without the loop lock: the loop thread holds it while it connects.
    StreamState state() override { return state_; }

    // failure_ is written once, before state_ turns Failed, and never after.
    QString failure() override { return state_ == StreamState::Failed ? failure_ : QString(); }

    void offer(const StreamOffer& offer) override
    {
        {
            std::lock_guard lock(wantedMutex_);
            wanted_ = offer;
        }
        // While connecting, the stream takes the wanted offer once it is
        // connected (stateChanged); the GUI thread does not wait for that.
        if (state_ == StreamState::Connecting)
            return;
        Locked lock(loop_.get());
        applyOffer();
    }

    bool fill(const Fill& fill) override
    {
        if (state_ != StreamState::Streaming)
            return false;
        Locked lock(loop_.get());
        if (state_ != StreamState::Streaming)
            return false;
        pw_buffer* buffer = spare_ != nullptr ? spare_ : pw_stream_dequeue_buffer(stream_.get());
        spare_ = nullptr;
        if (buffer == nullptr)
            return false;
        spa_buffer* b = buffer->buffer;
        LentBuffer lent;
        lent.format = format_;
        if (b->n_datas >= 1 && b->datas[0].data != nullptr && b->datas[0].chunk != nullptr) {
            lent.data = static_cast<std::uint8_t*>(b->datas[0].data);
            lent.size = b->datas[0].maxsize;
        }
        const std::size_t used = fill(lent);
        if (used == 0) {
            // Kept for the next picture rather than sent empty.
            spare_ = buffer;
            return true;
        }
        spa_chunk* chunk = b->datas[0].chunk;
        chunk->offset = 0;
        chunk->size = static_cast<std::uint32_t>(used);
        chunk->stride = GeometryOf(format_.layout, format_.width, format_.height).stride;
        chunk->flags = 0;
        pw_stream_queue_buffer(stream_.get(), buffer);
        // We drive the graph: each queued picture is one cycle.
        pw_stream_trigger_process(stream_.get());
        return true;
    }

private:
    // On the loop thread, with the loop lock held.
    void setUp()
    {
        auto failed = [this](QString why) { fail(std::move(why)); };
        context_.reset(pw_context_new(pw_thread_loop_get_loop(loop_.get()), nullptr, 0));
        if (!context_)
            return failed(QCoreApplication::translate("output::PipeWireCamera", "PipeWire lässt sich nicht starten."));
        core_.reset(pw_context_connect(context_.get(), nullptr, 0));
        if (!core_)
            return failed(QCoreApplication::translate("output::PipeWireCamera",
                                                      "Keine Verbindung zu PipeWire (%1). Läuft PipeWire?")
                              .arg(QString::fromLocal8Bit(spa_strerror(-errno))));
        static const pw_core_events coreEvents = [] {
            pw_core_events e{};
            e.version = PW_VERSION_CORE_EVENTS;
            e.error = [](void* self, std::uint32_t id, int, int res, const char* message) {
                static_cast<Stream*>(self)->coreError(id, res, message);
            };
            return e;
        }();
        pw_core_add_listener(core_.get(), &coreListener_, &coreEvents, this);

        PropertiesPtr props(pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                              PW_KEY_MEDIA_ROLE, "Camera", PW_KEY_MEDIA_CLASS, "Video/Source",
                                              PW_KEY_NODE_NAME, PipeWireNodeName, PW_KEY_NODE_DESCRIPTION,
                                              PipeWireNodeDescription, PW_KEY_APP_NAME, "Stillwise", nullptr));
        // pw_stream_new takes the properties over, even when it fails.
        stream_.reset(pw_stream_new(core_.get(), "Stillwise", props.release()));
        if (!stream_)
            return failed(QCoreApplication::translate("output::PipeWireCamera",
                                                      "PipeWire legt die Kamera „Stillwise“ nicht an."));
        static const pw_stream_events streamEvents = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.state_changed = [](void* self, pw_stream_state, pw_stream_state state, const char* why) {
                static_cast<Stream*>(self)->stateChanged(state, why);
            };
            e.param_changed = [](void* self, std::uint32_t id, const spa_pod* param) {
                static_cast<Stream*>(self)->paramChanged(id, param);
            };
            e.remove_buffer = [](void* self, pw_buffer* buffer) {
                auto* s = static_cast<Stream*>(self);
                if (s->spare_ == buffer)
                    s->spare_ = nullptr;
            };
            return e;
        }();
        pw_stream_add_listener(stream_.get(), &streamListener_, &streamEvents, this);

        {
            std::lock_guard lock(wantedMutex_);
            offered_ = wanted_;
        }
        PodBuffer pods;
        std::vector<const spa_pod*> params = enumFormats(pods.builder);
        const int res = pw_stream_connect(
            stream_.get(), PW_DIRECTION_OUTPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), params.data(),
            static_cast<std::uint32_t>(params.size()));
        if (res < 0)
            failed(QCoreApplication::translate("output::PipeWireCamera",
                                               "PipeWire nimmt die Kamera „Stillwise“ nicht an (%1).")
                       .arg(QString::fromLocal8Bit(spa_strerror(res))));
    }

    std::vector<const spa_pod*> enumFormats(spa_pod_builder& builder) const
    {
        std::vector<const spa_pod*> params;
        for (const PixelLayout layout : OfferedLayouts) {
            spa_video_info_raw info{};
            info.format = SpaFormat(layout);
            info.size = spa_rectangle{static_cast<std::uint32_t>(offered_.width),
                                      static_cast<std::uint32_t>(offered_.height)};
            info.framerate = spa_fraction{static_cast<std::uint32_t>(offered_.framesPerSecond), 1};
            params.push_back(spa_format_video_raw_build(&builder, SPA_PARAM_EnumFormat, &info));
        }
        return params;
    }

    // Failed is final; its reason is written first.
    void fail(QString why)
    {
        if (state_ == StreamState::Failed)
            return;
        failure_ = std::move(why);
        state_ = StreamState::Failed;
    }

    // Offers what the camera wants now, if the stream offers something else.
    void applyOffer()
    {
        StreamOffer wanted;
        {
            std::lock_guard lock(wantedMutex_);
            wanted = wanted_;
        }
        if (!stream_ || wanted == offered_)
            return;
        offered_ = wanted;
        PodBuffer pods;
        std::vector<const spa_pod*> params = enumFormats(pods.builder);
        pw_stream_update_params(stream_.get(), params.data(), static_cast<std::uint32_t>(params.size()));
    }

    void stateChanged(pw_stream_state state, const char* why)
    {
        if (state_ == StreamState::Failed)
            return; // final
        switch (state) {
        // The state first, then the offer: an offer() that still saw
        // Connecting wrote its wish before, and applyOffer() reads it.
        case PW_STREAM_STATE_STREAMING:
            state_ = StreamState::Streaming;
            applyOffer();
            break;
        case PW_STREAM_STATE_PAUSED:
            state_ = StreamState::Paused;
            applyOffer();
            break;
        case PW_STREAM_STATE_CONNECTING:
            break;
        case PW_STREAM_STATE_ERROR:
        case PW_STREAM_STATE_UNCONNECTED:
            fail(why != nullptr && state == PW_STREAM_STATE_ERROR
                     ? QCoreApplication::translate(
                           "output::PipeWireCamera",
                           "PipeWire hat die Kamera „Stillwise“ beendet (%1). Die Ausgabe als Webcam "
                           "wurde ausgeschaltet.")
                           .arg(QString::fromUtf8(why))
                     : GoneText());
            break;
        }
    }

    void coreError(std::uint32_t id, int res, const char*)
    {
        // The connection to the daemon broke: it stopped or was killed.
        if (id == PW_ID_CORE && res == -EPIPE)
            fail(GoneText());
    }

    void paramChanged(std::uint32_t id, const spa_pod* param)
    {
        if (id != SPA_PARAM_Format)
            return;
        format_ = {};
        if (param == nullptr)
            return;
        std::uint32_t mediaType = 0, mediaSubtype = 0;
        spa_video_info_raw info{};
        if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
            mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &info) < 0)
            return;
        format_ = {LayoutOf(info.format), static_cast<int>(info.size.width), static_cast<int>(info.size.height)};
        const FrameGeometry g = GeometryOf(format_.layout, format_.width, format_.height);
        if (format_.layout == PixelLayout::Other || g.bytes == 0)
            return; // not ours; the camera refuses to write into it
        // One block per buffer, all planes in it one after the other.
        PodBuffer pods;
        const spa_pod* buffers = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &pods.builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
            SPA_POD_CHOICE_RANGE_Int(4, 2, 8), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1), SPA_PARAM_BUFFERS_size,
            SPA_POD_Int(static_cast<int>(g.bytes)), SPA_PARAM_BUFFERS_stride, SPA_POD_Int(g.stride),
            SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd))));
        pw_stream_update_params(stream_.get(), &buffers, 1);
    }

    // Declared first, destroyed last; the destructor orders the rest.
    LoopPtr loop_;
    ContextPtr context_;
    CorePtr core_;
    StreamPtr stream_;
    spa_hook coreListener_{};
    spa_hook streamListener_{};

    // What the camera wants offered: written by the GUI thread, read by the
    // loop thread.
    std::mutex wantedMutex_;
    StreamOffer wanted_;
    // Written by the loop thread; read by the GUI thread without the lock.
    std::atomic<StreamState> state_{StreamState::Connecting};
    QString failure_;
    // Guarded by the loop lock.
    StreamOffer offered_;
    StreamFormat format_;
    pw_buffer* spare_ = nullptr;
};

class SessionSystem final : public PipeWireSystem {
public:
    bool reachable() override
    {
        const std::string path = camera::pw::SocketPath();
        struct stat st {};
        return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
    }

    std::unique_ptr<PipeWireStream> publish(const StreamOffer& offer, QString& error) override
    {
        // Once per process; PipeWire keeps its own count.
        static std::once_flag once;
        std::call_once(once, [] { pw_init(nullptr, nullptr); });
        auto stream = std::make_unique<Stream>();
        if (!stream->connect(offer, error))
            return nullptr;
        return stream;
    }
};

} // namespace

PipeWireSystem& SessionPipeWire()
{
    static SessionSystem system;
    return system;
}

} // namespace output
