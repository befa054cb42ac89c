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

#include "camera/pipewire/CameraPortal.h"
#include "camera/pipewire/NodeStream.h"
#include "camera/pipewire/PipeWireCameras.h"
#include "camera/pipewire/PipeWireConnection.h"
#include "camera/pipewire/PipeWireFormats.h"

#include <QCoreApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace camera {

namespace {

using namespace pw;

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

// A daemon that went is looked for again at most this often.
constexpr std::chrono::milliseconds ReconnectPause{1000};

QString NoDaemonText()
{
    return QCoreApplication::translate(
        "camera::PipeWireDriver",
        "PipeWire antwortet nicht. Läuft PipeWire? Ohne PipeWire lassen sich die Kameras, die "
        "PipeWire anbietet, nicht verwenden.");
}

bool SocketThere()
{
    const std::string path = SocketPath();
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

class Session final : public PipeWireCameras, private ConnectionOwner {
public:
    Session() = default;

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
        if (remote_) {
            ask();
            return state_ != State::Dead;
        }
        // A sandbox reaches the daemon only through the portal's descriptor.
        if (InSandbox() || !SocketThere() || !startLoop())
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
        // Without a loop there is no thread that could read it meanwhile.
        if (!loop_) {
            changed_ = std::move(changed);
            return;
        }
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
            error = QCoreApplication::translate(
                        "camera::PipeWireDriver",
                        "Die Kamera „%1“ ist nicht mehr da. Ist sie angeschlossen, und läuft das "
                        "Programm noch, das sie anbietet?")
                        .arg(QString::fromStdString(node.description));
            return nullptr;
        }
        return OpenNodeStream(loop_.get(), connection, id, std::move(target), wanted, receiver, error);
    }

    void useRemote(int fd)
    {
        if (!startLoop()) {
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
    // The loop thread starts with the first sign of a daemon (its socket,
    // or a descriptor from the portal): a machine without PipeWire runs no
    // thread for it and holds none of its descriptors. GUI thread only.
    bool startLoop()
    {
        if (loop_)
            return true;
        if (loopFailed_)
            return false;
        // Once per process; PipeWire keeps its own count.
        static std::once_flag once;
        std::call_once(once, [] { pw_init(nullptr, nullptr); });
        loop_.reset(pw_thread_loop_new("stillwise-cam", nullptr));
        if (loop_)
            wake_ = pw_loop_add_event(
                pw_thread_loop_get_loop(loop_.get()),
                [](void* self, std::uint64_t) { static_cast<Session*>(self)->setUp(); }, this);
        if (!loop_ || wake_ == nullptr || pw_thread_loop_start(loop_.get()) < 0) {
            wake_ = nullptr;
            loop_.reset();
            loopFailed_ = true;
            return false;
        }
        return true;
    }

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
        if (!connection_->start(context_.get(), fd.release())) {
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
    bool loopFailed_ = false;
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
