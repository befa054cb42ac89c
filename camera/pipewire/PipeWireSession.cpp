// The real PipeWire behind PipeWireCameras: one connection to the user's
// daemon (a core and its registry) on a pw_thread_loop of its own, the
// camera nodes the registry lists, and input streams from them.
//
// Threads: every PipeWire event runs on the loop thread with the loop lock
// held; that is where the registry is followed, frames are handed to a
// receiver, and a stream fails. The GUI thread asks for a connection
// without the lock (an eventfd wakes the loop thread, which connects), so
// available() never waits; nodes(), formats(), open() and the controls take
// the lock and wait at most a second for the daemon's answer, releasing the
// lock while they wait. The state a GUI thread polls (the session's and each
// stream's) is atomic.
//
// Which nodes are cameras: media.class Video/Source, with media.role Camera
// (what a program that offers a camera sets, as browsers require) or an
// object.path of PipeWire's own V4L2 or libcamera monitors ("v4l2:/dev/
// videoN", "libcamera:..."), whose nodes carry no role. Other Video/Source
// nodes (shared screens, windows) are not cameras. The registry shows only a
// few of a node's properties (api.v4l2.path and device.api are not among
// them), so the /dev/video* device behind a node is read from object.path.

#include "camera/pipewire/CameraPortal.h"
#include "camera/pipewire/MappedBlock.h"
#include "camera/pipewire/PipeWireCameras.h"
#include "camera/pipewire/PipeWireFormats.h"

#include <pipewire/pipewire.h>
#include <spa/buffer/meta.h>
#include <spa/param/buffers.h>
#include <spa/param/param.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace camera {

namespace {

// RAII for every PipeWire object; each deleter is the object's own.
struct LoopDeleter {
    void operator()(pw_thread_loop* loop) const
    {
        pw_thread_loop_stop(loop);
        pw_thread_loop_destroy(loop);
    }
};
struct ContextDeleter {
    void operator()(pw_context* context) const { pw_context_destroy(context); }
};
struct CoreDeleter {
    void operator()(pw_core* core) const { pw_core_disconnect(core); }
};
struct ProxyDeleter {
    void operator()(pw_proxy* proxy) const { pw_proxy_destroy(proxy); }
};
struct StreamDeleter {
    void operator()(pw_stream* stream) const { pw_stream_destroy(stream); }
};
using LoopPtr = std::unique_ptr<pw_thread_loop, LoopDeleter>;
using ContextPtr = std::unique_ptr<pw_context, ContextDeleter>;
using CorePtr = std::unique_ptr<pw_core, CoreDeleter>;
using ProxyPtr = std::unique_ptr<pw_proxy, ProxyDeleter>;
using StreamPtr = std::unique_ptr<pw_stream, StreamDeleter>;

// Holds the loop lock for one scope (the lock is recursive).
class Locked {
public:
    explicit Locked(pw_thread_loop* loop) : loop_(loop) { pw_thread_loop_lock(loop_); }
    ~Locked() { pw_thread_loop_unlock(loop_); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;

private:
    pw_thread_loop* loop_;
};

// A descriptor the session owns until PipeWire takes it over.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    ~UniqueFd() { reset(); }
    int release() { return std::exchange(fd_, -1); }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int get() const { return fd_; }

private:
    int fd_ = -1;
};

// How long the GUI thread waits for the daemon's answer at most.
constexpr std::int64_t AnswerTimeoutNs = 1'000'000'000;
// A daemon that went is looked for again at most this often.
constexpr std::chrono::milliseconds ReconnectPause{1000};
// What one node may answer to one question; more is not a camera's.
constexpr std::size_t MaxParams = 1024;

QString CameraGoneText()
{
    return QStringLiteral("Die Kamera ist nicht mehr erreichbar. Die Vorschau wurde beendet.");
}

QString DaemonGoneText()
{
    return QStringLiteral("PipeWire wurde beendet oder hat die Verbindung getrennt. Die Vorschau wurde beendet; "
                          "sobald PipeWire wieder läuft, lässt sich die Kamera wieder wählen.");
}

QString NoDaemonText()
{
    return QStringLiteral("PipeWire antwortet nicht. Läuft PipeWire? Ohne PipeWire lassen sich die Kameras, die "
                          "PipeWire anbietet, nicht verwenden.");
}

std::string Property(const spa_dict* props, const char* key)
{
    const char* value = props != nullptr ? spa_dict_lookup(props, key) : nullptr;
    return value != nullptr ? value : std::string();
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool IsCamera(const spa_dict* props)
{
    if (Property(props, PW_KEY_MEDIA_CLASS) != "Video/Source")
        return false;
    const std::string path = Property(props, PW_KEY_OBJECT_PATH);
    return Property(props, PW_KEY_MEDIA_ROLE) == "Camera" || StartsWith(path, "v4l2:") ||
           StartsWith(path, "libcamera:") || !Property(props, "api.v4l2.path").empty();
}

PipeWireNode NodeOf(std::uint32_t id, const spa_dict* props)
{
    PipeWireNode node;
    node.id = id;
    node.name = Property(props, PW_KEY_NODE_NAME);
    for (const char* key : {PW_KEY_NODE_DESCRIPTION, PW_KEY_NODE_NICK, PW_KEY_NODE_NAME})
        if (node.description = Property(props, key); !node.description.empty())
            break;
    node.v4l2Path = Property(props, "api.v4l2.path");
    if (const std::string path = Property(props, PW_KEY_OBJECT_PATH);
        node.v4l2Path.empty() && StartsWith(path, "v4l2:/dev/"))
        node.v4l2Path = path.substr(std::strlen("v4l2:"));
    node.ours = node.name == OwnNodeName || Property(props, PW_KEY_APP_NAME) == "Stillwise";
    return node;
}

// The daemon's socket, where libpipewire looks for it.
std::string SocketPath()
{
    const char* remote = std::getenv("PIPEWIRE_REMOTE");
    const std::string name = remote != nullptr && *remote != '\0' ? remote : "pipewire-0";
    if (name.front() == '/')
        return name;
    for (const char* variable : {"PIPEWIRE_RUNTIME_DIR", "XDG_RUNTIME_DIR", "USERPROFILE"})
        if (const char* dir = std::getenv(variable); dir != nullptr && *dir != '\0')
            return std::string(dir) + "/" + name;
    return {};
}

bool SocketThere()
{
    const std::string path = SocketPath();
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

// A pod copied out of an event, valid after it.
struct Pod {
    explicit Pod(const spa_pod* pod)
        : bytes(reinterpret_cast<const std::uint8_t*>(pod),
                reinterpret_cast<const std::uint8_t*>(pod) + SPA_POD_SIZE(pod))
    {}
    const spa_pod* get() const { return reinterpret_cast<const spa_pod*>(bytes.data()); }
    std::vector<std::uint8_t> bytes;
};

// Room for the pods a stream sends the daemon.
struct PodBuffer {
    PodBuffer() { spa_pod_builder_init(&builder, bytes, sizeof bytes); }
    PodBuffer(const PodBuffer&) = delete;
    PodBuffer& operator=(const PodBuffer&) = delete;

    alignas(8) std::uint8_t bytes[4096];
    spa_pod_builder builder{};
};

// What a connection tells those who follow one of its nodes.
class NodeFollower {
public:
    virtual ~NodeFollower() = default;
    virtual std::uint32_t followedNode() const = 0;
    virtual void nodeGone() = 0;
    virtual void daemonGone() = 0;
};

// What a connection tells the session.
class ConnectionOwner {
public:
    virtual ~ConnectionOwner() = default;
    virtual void connectionReady() = 0;
    virtual void connectionDead() = 0;
    virtual void camerasChanged() = 0;
};

// One connection to the daemon: its core and registry, the camera nodes the
// registry lists, and the streams that follow them. Everything in it runs
// with the loop lock held; it is shared by the session and by each stream
// made on it, so that a stream keeps its core until the stream goes (the
// core destroys the streams made on it when it goes).
class Connection {
public:
    explicit Connection(pw_thread_loop* loop, ConnectionOwner& owner) : loop_(loop), owner_(&owner) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    ~Connection()
    {
        Locked lock(loop_);
        if (registry_) {
            spa_hook_remove(&registryListener_);
            registry_.reset();
        }
        if (core_) {
            spa_hook_remove(&coreListener_);
            core_.reset();
        }
    }

    // On the loop thread: connects through the socket, or through `fd`
    // (which PipeWire then owns) when it is given. False when that fails at
    // once; otherwise the owner hears connectionReady() once the registry
    // has told of every node there is.
    bool start(pw_context* context, UniqueFd fd)
    {
        if (fd.get() >= 0) {
            const int raw = fd.release();
            core_.reset(pw_context_connect_fd(context, raw, nullptr, 0));
            if (!core_)
                ::close(raw); // not taken over
        } else {
            core_.reset(pw_context_connect(context, nullptr, 0));
        }
        if (!core_)
            return false;
        static const pw_core_events coreEvents = [] {
            pw_core_events e{};
            e.version = PW_VERSION_CORE_EVENTS;
            e.done = [](void* self, std::uint32_t id, int seq) { static_cast<Connection*>(self)->done(id, seq); };
            e.error = [](void* self, std::uint32_t id, int, int res, const char*) {
                static_cast<Connection*>(self)->coreError(id, res);
            };
            return e;
        }();
        pw_core_add_listener(core_.get(), &coreListener_, &coreEvents, this);

        registry_.reset(reinterpret_cast<pw_proxy*>(pw_core_get_registry(core_.get(), PW_VERSION_REGISTRY, 0)));
        if (!registry_)
            return false;
        static const pw_registry_events registryEvents = [] {
            pw_registry_events e{};
            e.version = PW_VERSION_REGISTRY_EVENTS;
            e.global = [](void* self, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                          const spa_dict* props) { static_cast<Connection*>(self)->global(id, type, props); };
            e.global_remove = [](void* self, std::uint32_t id) { static_cast<Connection*>(self)->globalRemove(id); };
            return e;
        }();
        pw_registry_add_listener(registry(), &registryListener_, &registryEvents, this);
        // Every global there is comes before the answer to this.
        readySeq_ = pw_core_sync(core_.get(), PW_ID_CORE, 0);
        return true;
    }

    bool ready() const { return ready_; }
    bool dead() const { return dead_; }
    pw_core* core() const { return core_.get(); }

    // No longer the session's: its nodes stop counting as the cameras
    // there are, though its streams go on.
    void retire() { owner_ = nullptr; }

    std::vector<PipeWireNode> nodes() const
    {
        std::vector<PipeWireNode> list;
        for (const auto& [id, entry] : nodes_)
            list.push_back(entry.node);
        return list;
    }

    // Where a stream aims at the node: its serial, unique for as long as
    // the daemon runs, else its name. Empty when the node is gone (a node
    // of that name that came back counts).
    std::string target(const PipeWireNode& node, std::uint32_t& id) const
    {
        auto it = nodes_.find(node.id);
        if (it == nodes_.end() || it->second.node.name != node.name)
            it = std::find_if(nodes_.begin(), nodes_.end(),
                              [&](const auto& e) { return !node.name.empty() && e.second.node.name == node.name; });
        if (it == nodes_.end())
            return {};
        id = it->first;
        return it->second.serial.empty() ? it->second.node.name : it->second.serial;
    }

    bool has(std::uint32_t id) const { return nodes_.count(id) != 0; }

    void follow(NodeFollower* follower) { followers_.push_back(follower); }
    void unfollow(NodeFollower* follower) { std::erase(followers_, follower); }

    // The params `ids` of node `id`, as the node answers within the
    // timeout. Only off the loop thread, with the loop lock held.
    std::vector<Pod> params(std::uint32_t id, std::initializer_list<std::uint32_t> ids)
    {
        Bound node(*this, id);
        if (!node)
            return {};
        for (const std::uint32_t param : ids)
            pw_node_enum_params(node.node(), 1, param, 0, UINT32_MAX, nullptr);
        roundTrip();
        return std::move(node.params);
    }

    // Sets a param of node `id`; false when the daemon refused it or did
    // not answer in time.
    bool setParam(std::uint32_t id, std::uint32_t param, const spa_pod* pod)
    {
        Bound node(*this, id);
        if (!node)
            return false;
        pw_node_set_param(node.node(), param, 0, pod);
        return roundTrip() && node.error == 0;
    }

private:
    struct Entry {
        PipeWireNode node;
        std::string serial;
    };

    // A node bound for one question: its params and errors.
    class Bound {
    public:
        Bound(Connection& connection, std::uint32_t id)
            : proxy_(static_cast<pw_proxy*>(
                  pw_registry_bind(connection.registry(), id, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0)))
        {
            if (!proxy_)
                return;
            static const pw_proxy_events proxyEvents = [] {
                pw_proxy_events e{};
                e.version = PW_VERSION_PROXY_EVENTS;
                e.error = [](void* self, int, int res, const char*) { static_cast<Bound*>(self)->error = res; };
                return e;
            }();
            static const pw_node_events nodeEvents = [] {
                pw_node_events e{};
                e.version = PW_VERSION_NODE_EVENTS;
                e.param = [](void* self, int, std::uint32_t, std::uint32_t, std::uint32_t, const spa_pod* param) {
                    auto* bound = static_cast<Bound*>(self);
                    if (param != nullptr && bound->params.size() < MaxParams)
                        bound->params.emplace_back(param);
                };
                return e;
            }();
            pw_proxy_add_listener(proxy_.get(), &proxyListener_, &proxyEvents, this);
            pw_node_add_listener(node(), &nodeListener_, &nodeEvents, this);
        }
        ~Bound()
        {
            if (!proxy_)
                return;
            spa_hook_remove(&nodeListener_);
            spa_hook_remove(&proxyListener_);
        }
        Bound(const Bound&) = delete;
        Bound& operator=(const Bound&) = delete;

        explicit operator bool() const { return proxy_ != nullptr; }
        pw_node* node() const { return reinterpret_cast<pw_node*>(proxy_.get()); }

        std::vector<Pod> params;
        int error = 0;

    private:
        ProxyPtr proxy_;
        spa_hook proxyListener_{};
        spa_hook nodeListener_{};
    };

    pw_registry* registry() const { return reinterpret_cast<pw_registry*>(registry_.get()); }

    // Waits until the daemon has answered everything asked before; the
    // lock is released meanwhile.
    bool roundTrip()
    {
        if (dead_ || pw_thread_loop_in_thread(loop_))
            return false;
        const int seq = pw_core_sync(core_.get(), PW_ID_CORE, 0);
        waiting_.push_back(seq);
        timespec until{};
        pw_thread_loop_get_time(loop_, &until, AnswerTimeoutNs);
        auto answered = [&] { return std::find(waiting_.begin(), waiting_.end(), seq) == waiting_.end(); };
        while (!answered() && !dead_)
            if (pw_thread_loop_timed_wait_full(loop_, &until) != 0)
                break; // the time is up
        const bool ok = answered();
        std::erase(waiting_, seq);
        return ok;
    }

    void done(std::uint32_t id, int seq)
    {
        if (id != PW_ID_CORE)
            return;
        if (seq == readySeq_ && !ready_) {
            ready_ = true;
            if (owner_ != nullptr)
                owner_->connectionReady();
        }
        if (std::erase(waiting_, seq) > 0)
            pw_thread_loop_signal(loop_, false);
    }

    void coreError(std::uint32_t id, int res)
    {
        // The connection to the daemon broke: it stopped or was killed.
        if (id != PW_ID_CORE || res != -EPIPE || dead_)
            return;
        dead_ = true;
        const bool hadCameras = !nodes_.empty();
        nodes_.clear();
        // A copy: a follower may stop following while it is told.
        for (NodeFollower* follower : std::vector<NodeFollower*>(followers_))
            follower->daemonGone();
        if (owner_ != nullptr) {
            owner_->connectionDead();
            if (hadCameras)
                owner_->camerasChanged();
        }
        pw_thread_loop_signal(loop_, false);
    }

    void global(std::uint32_t id, const char* type, const spa_dict* props)
    {
        if (type == nullptr || std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0 || !IsCamera(props))
            return;
        nodes_[id] = {NodeOf(id, props), Property(props, PW_KEY_OBJECT_SERIAL)};
        if (owner_ != nullptr)
            owner_->camerasChanged();
    }

    void globalRemove(std::uint32_t id)
    {
        if (nodes_.erase(id) == 0)
            return;
        for (NodeFollower* follower : std::vector<NodeFollower*>(followers_))
            if (follower->followedNode() == id)
                follower->nodeGone();
        if (owner_ != nullptr)
            owner_->camerasChanged();
    }

    pw_thread_loop* loop_;
    ConnectionOwner* owner_;
    CorePtr core_;
    ProxyPtr registry_;
    spa_hook coreListener_{};
    spa_hook registryListener_{};
    int readySeq_ = -1;
    bool ready_ = false;
    bool dead_ = false;
    std::map<std::uint32_t, Entry> nodes_;
    std::vector<NodeFollower*> followers_;
    std::vector<int> waiting_; // round trips not answered yet
};

// An input stream from one camera node. A new format is a new pw_stream
// (PipeWire 0.3 does not negotiate a linked port's format again), so the
// pw_stream and its listener live in a Link that setFormat() replaces.
class CameraStream final : public PipeWireCameraStream, public NodeFollower {
public:
    CameraStream(pw_thread_loop* loop, std::shared_ptr<Connection> connection, std::uint32_t node, std::string target,
                 PipeWireReceiver& receiver)
        : loop_(loop), connection_(std::move(connection)), node_(node), target_(std::move(target)), receiver_(receiver)
    {
        Locked lock(loop_);
        connection_->follow(this);
        failLater_ = pw_loop_add_event(
            pw_thread_loop_get_loop(loop_),
            [](void* self, std::uint64_t) {
                auto* stream = static_cast<CameraStream*>(self);
                stream->fail(stream->lateFailure_);
            },
            this);
    }

    ~CameraStream() override
    {
        Locked lock(loop_);
        connection_->unfollow(this);
        link_.reset();
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
        link_.reset();
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
        CameraStream* owner = nullptr;
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

    std::unique_ptr<Link> makeLink(const FormatSetting& wanted, QString& error)
    {
        PodBuffer pods;
        std::vector<const spa_pod*> params = BuildEnumFormats(pods.builder, wanted);
        if (params.empty()) {
            error = QStringLiteral("Dieses Bildformat lässt sich nicht umwandeln. Bitte ein anderes Bildformat "
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
            error = QStringLiteral("PipeWire legt keinen Datenstrom von der Kamera an (%1).")
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
            error = QStringLiteral("PipeWire verbindet die Kamera nicht (%1).")
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
                fail(QStringLiteral("PipeWire liefert keine Bilder der Kamera mehr (%1). Die Vorschau wurde "
                                    "beendet.")
                         .arg(QString::fromUtf8(why)));
            } else {
                fail(QStringLiteral("PipeWire hat die Verbindung zur Kamera getrennt. Die Vorschau wurde beendet."));
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

class Session final : public PipeWireCameras, private ConnectionOwner {
public:
    Session()
    {
        // Once per process; PipeWire keeps its own count.
        static std::once_flag once;
        std::call_once(once, [] { pw_init(nullptr, nullptr); });
        loop_.reset(pw_thread_loop_new("stillwise-cam", nullptr));
        if (!loop_)
            return;
        wake_ = pw_loop_add_event(
            pw_thread_loop_get_loop(loop_.get()),
            [](void* self, std::uint64_t) { static_cast<Session*>(self)->setUp(); }, this);
        if (wake_ == nullptr || pw_thread_loop_start(loop_.get()) < 0) {
            loop_.reset();
            wake_ = nullptr;
        }
    }

    ~Session() override
    {
        if (!loop_)
            return;
        // The loop thread ends first, so that no event runs while the
        // objects it would touch go; then they go in reverse order.
        pw_thread_loop_stop(loop_.get());
        pw_loop_destroy_source(pw_thread_loop_get_loop(loop_.get()), wake_);
        connection_.reset();
        context_.reset();
        loop_.reset();
    }

    bool available() override
    {
        if (!loop_)
            return false;
        if (remote_) {
            ask();
            return state_ != State::Dead;
        }
        // A sandbox reaches the daemon only through the portal's descriptor.
        if (InSandbox() || !SocketThere())
            return false;
        ask();
        return state_ != State::Dead;
    }

    std::vector<PipeWireNode> nodes() override
    {
        if (!loop_)
            return {};
        Locked lock(loop_.get());
        const std::shared_ptr<Connection> connection = connected();
        return connection ? connection->nodes() : std::vector<PipeWireNode>();
    }

    void onChange(std::function<void()> changed) override
    {
        if (!loop_)
            return;
        Locked lock(loop_.get());
        changed_ = std::move(changed);
    }

    std::vector<PixelFormatChoice> formats(const PipeWireNode& node) override
    {
        std::vector<PixelFormatChoice> formats;
        if (!loop_)
            return formats;
        Locked lock(loop_.get());
        const std::shared_ptr<Connection> connection = connected();
        std::uint32_t id = 0;
        if (!connection || connection->target(node, id).empty())
            return formats;
        for (const Pod& pod : connection->params(id, {SPA_PARAM_EnumFormat}))
            MergeFormats(formats, ParseEnumFormat(pod.get()));
        return formats;
    }

    std::unique_ptr<PipeWireCameraStream> open(const PipeWireNode& node, const FormatSetting& wanted,
                                               PipeWireReceiver& receiver, QString& error) override
    {
        if (!loop_) {
            error = NoDaemonText();
            return nullptr;
        }
        Locked lock(loop_.get());
        const std::shared_ptr<Connection> connection = connected();
        if (!connection) {
            error = NoDaemonText();
            return nullptr;
        }
        std::uint32_t id = 0;
        std::string target = connection->target(node, id);
        if (target.empty()) {
            error = QStringLiteral("Die Kamera „%1“ ist nicht mehr da. Ist sie angeschlossen, und läuft das "
                                   "Programm noch, das sie anbietet?")
                        .arg(QString::fromStdString(node.description));
            return nullptr;
        }
        auto stream = std::make_unique<CameraStream>(loop_.get(), connection, id, std::move(target), receiver);
        if (!stream->connect(wanted, error))
            return nullptr;
        return stream;
    }

    void useRemote(int fd)
    {
        if (!loop_) {
            UniqueFd closed(fd);
            return;
        }
        {
            std::lock_guard lock(remoteMutex_);
            remoteFd_ = UniqueFd(fd);
        }
        remote_ = true;
        // A new way to the daemon replaces the old at once, however recent
        // the last attempt.
        state_ = State::Connecting;
        pw_loop_signal_event(pw_thread_loop_get_loop(loop_.get()), wake_);
    }

private:
    enum class State { Idle, Connecting, Connected, Dead };

    // Asks the loop thread for a connection, unless there is one or one is
    // under way; after a failure, not more often than ReconnectPause.
    // Never waits.
    void ask()
    {
        State state = state_;
        if (state == State::Connecting || state == State::Connected)
            return;
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        const auto last = lastAttempt_.load();
        if (state == State::Dead &&
            now - last < std::chrono::duration_cast<std::chrono::steady_clock::duration>(ReconnectPause).count())
            return;
        if (!state_.compare_exchange_strong(state, State::Connecting))
            return;
        lastAttempt_ = now;
        pw_loop_signal_event(pw_thread_loop_get_loop(loop_.get()), wake_);
    }

    // The connection once it is ready, waited for at most AnswerTimeoutNs;
    // null when there is none. With the loop lock held, off the loop thread.
    std::shared_ptr<Connection> connected()
    {
        if (remote_ || (!InSandbox() && SocketThere()))
            ask();
        if (!pw_thread_loop_in_thread(loop_.get())) {
            timespec until{};
            pw_thread_loop_get_time(loop_.get(), &until, AnswerTimeoutNs);
            while (state_ == State::Connecting)
                if (pw_thread_loop_timed_wait_full(loop_.get(), &until) != 0)
                    break; // the time is up
        }
        if (state_ != State::Connected || !connection_ || connection_->dead() || !connection_->ready())
            return nullptr;
        return connection_;
    }

    // On the loop thread: (re)connects, through the portal's descriptor
    // once there is one.
    void setUp()
    {
        if (!context_)
            context_.reset(pw_context_new(pw_thread_loop_get_loop(loop_.get()), nullptr, 0));
        UniqueFd fd;
        {
            std::lock_guard lock(remoteMutex_);
            fd = std::move(remoteFd_);
        }
        if (connection_ && !connection_->dead() && fd.get() < 0)
            return; // asked twice; the one there serves
        std::shared_ptr<Connection> old = std::move(connection_);
        if (old) {
            old->retire();
            if (!old->nodes().empty())
                camerasChanged();
        }
        // A descriptor serves once; a sandbox waits for the next one.
        if (!context_ || (remote_ && fd.get() < 0)) {
            state_ = State::Dead;
            pw_thread_loop_signal(loop_.get(), false);
            return;
        }
        connection_ = std::make_shared<Connection>(loop_.get(), static_cast<ConnectionOwner&>(*this));
        if (!connection_->start(context_.get(), std::move(fd))) {
            connection_.reset();
            state_ = State::Dead;
            pw_thread_loop_signal(loop_.get(), false);
        }
    }

    // ConnectionOwner, on the loop thread, for the current connection only.
    void connectionReady() override
    {
        state_ = State::Connected;
        pw_thread_loop_signal(loop_.get(), false);
    }

    void connectionDead() override
    {
        state_ = State::Dead;
        lastAttempt_ = std::chrono::steady_clock::now().time_since_epoch().count();
        pw_thread_loop_signal(loop_.get(), false);
    }

    void camerasChanged() override
    {
        if (changed_)
            changed_();
    }

    LoopPtr loop_;
    spa_source* wake_ = nullptr;
    // Under the loop lock.
    ContextPtr context_;
    std::shared_ptr<Connection> connection_;
    std::function<void()> changed_;

    std::atomic<State> state_{State::Idle};
    std::atomic<std::chrono::steady_clock::rep> lastAttempt_{0};
    std::atomic<bool> remote_{false};
    std::mutex remoteMutex_;
    UniqueFd remoteFd_;
};

Session& TheSession()
{
    static Session session;
    return session;
}

} // namespace

PipeWireCameras& SessionCameras()
{
    return TheSession();
}

void UsePipeWireRemote(int fd)
{
    TheSession().useRemote(fd);
}

} // namespace camera
