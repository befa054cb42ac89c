#include "bench/quality/FfmpegRun.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace quality {

namespace {

class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    int get() const { return fd_; }
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

struct Pipe {
    Fd read;
    Fd write;
};

Pipe makePipe()
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw Error(std::string("Pipe für ffmpeg lässt sich nicht anlegen: ") + std::strerror(errno));
    return Pipe{Fd(fds[0]), Fd(fds[1])};
}

// Writes every frame into ffmpeg's input, then closes it. A write that fails
// (ffmpeg ended early) ends the feeding; the reader notices the missing frames.
void feed(Fd input, const Clip& clip)
{
    // A closed pipe answers EPIPE on this thread instead of ending the program.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
    for (const auto& frame : clip.frames) {
        const std::uint8_t* p = frame.data();
        std::size_t left = frame.size();
        while (left > 0) {
            const ssize_t n = ::write(input.get(), p, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
    }
}

// ffmpeg with its two pipes and the feeding thread. However the run ends,
// the output is closed first (an ffmpeg still writing then ends), so that
// the feeder and the program can be waited for without a stall.
class FfmpegProcess {
public:
    FfmpegProcess(const std::vector<std::string>& args, const Clip& clip)
    {
        Pipe in = makePipe();
        Pipe out = makePipe();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in.read.get(), STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out.write.get(), STDOUT_FILENO);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const int rc = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) {
            pid_ = -1;
            throw Error(std::string("ffmpeg lässt sich nicht starten: ") + std::strerror(rc));
        }
        output_ = std::move(out.read);
        feeder_ = std::thread(feed, std::move(in.write), std::cref(clip));
    }

    ~FfmpegProcess()
    {
        if (pid_ > 0)
            ::kill(pid_, SIGTERM);
        finish();
    }

    FfmpegProcess(const FfmpegProcess&) = delete;
    FfmpegProcess& operator=(const FfmpegProcess&) = delete;

    int output() const { return output_.get(); }

    // Waits for the end; answers the exit status as waitpid gives it.
    int finish()
    {
        output_.reset();
        if (feeder_.joinable())
            feeder_.join();
        int status = 0;
        if (pid_ > 0) {
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            pid_ = -1;
        }
        return status;
    }

private:
    pid_t pid_ = -1;
    Fd output_;
    std::thread feeder_;
};

// Fills `buffer` from the pipe; answers the bytes read (fewer at its end).
std::size_t readFull(int fd, std::uint8_t* buffer, std::size_t bytes)
{
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::read(fd, buffer + got, bytes - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Error(std::string("Lesen von ffmpeg fehlgeschlagen: ") + std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

} // namespace

bool FfmpegAvailable()
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = (dir.empty() ? "." : dir) + "/ffmpeg";
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

double RunFfmpeg(const std::string& graph, const Clip& noisy, Scorer& scorer)
{
    // One thread everywhere, so that the time compares with the program's
    // own single-threaded frame step.
    const std::vector<std::string> args{"ffmpeg", "-hide_banner", "-nostats", "-loglevel", "error",
                                        "-filter_threads", "1", "-threads", "1",
                                        "-f", "rawvideo", "-pix_fmt", "bgr24", "-s", SizeText(noisy.size),
                                        "-r", "30", "-i", "-", "-vf", graph, "-threads", "1",
                                        "-f", "rawvideo", "-pix_fmt", "bgr24", "-"};
    const auto start = std::chrono::steady_clock::now();
    FfmpegProcess ffmpeg(args, noisy);
    std::vector<std::uint8_t> frame(noisy.frameBytes());
    for (;;) {
        const std::size_t got = readFull(ffmpeg.output(), frame.data(), frame.size());
        if (got == 0)
            break;
        if (got < frame.size())
            throw Error("ffmpeg (" + graph + ") lieferte ein unvollständiges Bild");
        scorer.take(frame.data());
    }
    const int status = ffmpeg.finish();
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw Error("ffmpeg (" + graph + ") endete mit einem Fehler");
    if (scorer.frames() != noisy.frames.size())
        throw Error("ffmpeg (" + graph + ") lieferte " + std::to_string(scorer.frames()) + " statt " +
                    std::to_string(noisy.frames.size()) + " Bildern");
    return std::chrono::duration<double, std::milli>(end - start).count() / static_cast<double>(noisy.frames.size());
}

} // namespace quality
