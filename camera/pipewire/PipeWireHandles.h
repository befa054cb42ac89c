#pragma once
// What every part of the PipeWire session shares: RAII for libpipewire's
// objects (each deleter is the object's own), the loop lock for one scope,
// and pods kept past the event that handed them over.

#include <pipewire/pipewire.h>
#include <spa/pod/builder.h>

#include <cstdint>
#include <memory>
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

} // namespace camera::pw
