// Which nodes are cameras: media.class Video/Source, with media.role Camera
// (what a program that offers a camera sets, as browsers require) or an
// object.path of PipeWire's own V4L2 or libcamera monitors ("v4l2:/dev/
// videoN", "libcamera:..."), whose nodes carry no role. Other Video/Source
// nodes (shared screens, windows) are not cameras. The registry shows only a
// few of a node's properties (api.v4l2.path and device.api are not among
// them), so the /dev/video* device behind a node is read from object.path.

#include "camera/pipewire/PipeWireConnection.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace camera::pw {

namespace {

// What one node may answer to one question; more is not a camera's.
constexpr std::size_t MaxParams = 1024;

std::string Property(const spa_dict* props, const char* key)
{
    const char* value = props != nullptr ? spa_dict_lookup(props, key) : nullptr;
    return value != nullptr ? value : std::string();
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

} // namespace

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

// A node bound for one question: its params and errors.
class Connection::Bound {
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

Connection::~Connection()
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

bool Connection::start(pw_context* context, int fd)
{
    if (fd >= 0) {
        core_.reset(pw_context_connect_fd(context, fd, nullptr, 0));
        if (!core_)
            ::close(fd); // not taken over
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

std::vector<PipeWireNode> Connection::nodes() const
{
    std::vector<PipeWireNode> list;
    for (const auto& [id, entry] : nodes_)
        list.push_back(entry.node);
    return list;
}

std::string Connection::target(const PipeWireNode& node, std::uint32_t& id) const
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

std::vector<Pod> Connection::params(std::uint32_t id, std::initializer_list<std::uint32_t> ids)
{
    Bound node(*this, id);
    if (!node)
        return {};
    for (const std::uint32_t param : ids)
        pw_node_enum_params(node.node(), 1, param, 0, UINT32_MAX, nullptr);
    roundTrip();
    return std::move(node.params);
}

bool Connection::setParam(std::uint32_t id, std::uint32_t param, const spa_pod* pod)
{
    Bound node(*this, id);
    if (!node)
        return false;
    pw_node_set_param(node.node(), param, 0, pod);
    return roundTrip() && node.error == 0;
}

bool Connection::roundTrip()
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

void Connection::done(std::uint32_t id, int seq)
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

void Connection::coreError(std::uint32_t id, int res)
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

void Connection::global(std::uint32_t id, const char* type, const spa_dict* props)
{
    if (type == nullptr || std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0 || !IsCamera(props))
        return;
    nodes_[id] = {NodeOf(id, props), Property(props, PW_KEY_OBJECT_SERIAL)};
    if (owner_ != nullptr)
        owner_->camerasChanged();
}

void Connection::globalRemove(std::uint32_t id)
{
    if (nodes_.erase(id) == 0)
        return;
    for (NodeFollower* follower : std::vector<NodeFollower*>(followers_))
        if (follower->followedNode() == id)
            follower->nodeGone();
    if (owner_ != nullptr)
        owner_->camerasChanged();
}

} // namespace camera::pw
