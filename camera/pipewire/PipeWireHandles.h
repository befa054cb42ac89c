#pragma once
// What every user of libpipewire in this program shares (the camera
// session here, and the webcam output): RAII for libpipewire's objects
// (each deleter is the object's own), the loop lock for one scope, pods
// kept past the event that handed them over, and where the daemon's socket
// is.

#include <pipewire/pipewire.h>
#include <spa/pod/builder.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace camera::pw {

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
struct PropertiesDeleter {
    void operator()(pw_properties* properties) const { pw_properties_free(properties); }
};
using LoopPtr = std::unique_ptr<pw_thread_loop, LoopDeleter>;
using ContextPtr = std::unique_ptr<pw_context, ContextDeleter>;
using CorePtr = std::unique_ptr<pw_core, CoreDeleter>;
using ProxyPtr = std::unique_ptr<pw_proxy, ProxyDeleter>;
using StreamPtr = std::unique_ptr<pw_stream, StreamDeleter>;
using PropertiesPtr = std::unique_ptr<pw_properties, PropertiesDeleter>;

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

// How long a caller off the loop thread waits for the daemon's answer at
// most.
inline constexpr std::int64_t AnswerTimeoutNs = 1'000'000'000;

// A pod copied out of an event, valid after it.
struct Pod {
    explicit Pod(const spa_pod* pod)
        : bytes(reinterpret_cast<const std::uint8_t*>(pod),
                reinterpret_cast<const std::uint8_t*>(pod) + SPA_POD_SIZE(pod))
    {}
    const spa_pod* get() const { return reinterpret_cast<const spa_pod*>(bytes.data()); }
    std::vector<std::uint8_t> bytes;
};

// Room for the pods sent to the daemon.
struct PodBuffer {
    PodBuffer() { spa_pod_builder_init(&builder, bytes, sizeof bytes); }
    PodBuffer(const PodBuffer&) = delete;
    PodBuffer& operator=(const PodBuffer&) = delete;

    alignas(8) std::uint8_t bytes[4096];
    spa_pod_builder builder{};
};

// The daemon's socket, where libpipewire looks for it; empty when no
// variable says where that is.
inline std::string SocketPath()
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

} // namespace camera::pw
