#pragma once
// One connection to the PipeWire daemon: its core and registry, the camera
// nodes the registry lists, questions to one node (its params), and who
// follows a node (the streams). Everything in it runs with the loop lock
// held. It is shared by the session and by each stream made on it, so that
// a stream keeps its core until the stream goes: the core destroys the
// streams made on it when it goes.

#include "camera/pipewire/PipeWireCameras.h"
#include "camera/pipewire/PipeWireHandles.h"

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

namespace camera::pw {

// What a connection tells those who follow one of its nodes, on the loop
// thread.
class NodeFollower {
public:
    virtual ~NodeFollower() = default;
    virtual std::uint32_t followedNode() const = 0;
    virtual void nodeGone() = 0;
    virtual void daemonGone() = 0;
};

// What a connection tells the session, on the loop thread.
class ConnectionOwner {
public:
    virtual ~ConnectionOwner() = default;
    virtual void connectionReady() = 0;
    virtual void connectionDead() = 0;
    virtual void camerasChanged() = 0;
};

// Whether a node, by the properties the registry shows of it, is a camera.
bool IsCamera(const spa_dict* props);
PipeWireNode NodeOf(std::uint32_t id, const spa_dict* props);

class Connection {
public:
    Connection(pw_thread_loop* loop, ConnectionOwner& owner) : loop_(loop), owner_(&owner) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection();

    // On the loop thread: connects through the socket, or through `fd`
    // (which PipeWire then owns, or which is closed) when it is 0 or more.
    // False when that fails at once; otherwise the owner hears
    // connectionReady() once the registry has told of every node there is.
    bool start(pw_context* context, int fd);

    bool ready() const { return ready_; }
    bool dead() const { return dead_; }
    pw_core* core() const { return core_.get(); }

    // No longer the session's: its nodes stop counting as the cameras
    // there are, though its streams go on.
    void retire() { owner_ = nullptr; }

    std::vector<PipeWireNode> nodes() const;
    bool has(std::uint32_t id) const { return nodes_.count(id) != 0; }

    // Where a stream aims at the node: its serial, unique for as long as
    // the daemon runs, else its name; `id` is set to its registry id.
    // Empty when the node is gone (a node of that name that came back
    // counts).
    std::string target(const PipeWireNode& node, std::uint32_t& id) const;

    void follow(NodeFollower* follower) { followers_.push_back(follower); }
    void unfollow(NodeFollower* follower) { std::erase(followers_, follower); }

    // The params `ids` of node `id`, as the node answers within the
    // timeout. Only off the loop thread.
    std::vector<Pod> params(std::uint32_t id, std::initializer_list<std::uint32_t> ids);
    // Sets a param of node `id`; false when the daemon refused it or did
    // not answer in time. Only off the loop thread.
    bool setParam(std::uint32_t id, std::uint32_t param, const spa_pod* pod);

private:
    struct Entry {
        PipeWireNode node;
        std::string serial;
    };
    class Bound;

    pw_registry* registry() const { return reinterpret_cast<pw_registry*>(registry_.get()); }
    // Waits until the daemon has answered everything asked before; the
    // lock is released meanwhile.
    bool roundTrip();
    void done(std::uint32_t id, int seq);
    void coreError(std::uint32_t id, int res);
    void global(std::uint32_t id, const char* type, const spa_dict* props);
    void globalRemove(std::uint32_t id);

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

} // namespace camera::pw
