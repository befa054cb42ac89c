// The camera only while someone watches, on real devices: the program
// itself (`stillwise --tray --webcam`, offscreen, so the window starts
// minimised) in a PipeWire session with WirePlumber and vivid, read by
// GStreamer's pipewiresrc as separate programs. One program start for all
// cases, in order: the camera closed at start, a reader gets real frames
// quickly, the camera closes after it, twenty quick readers, and the
// program's processor time while nobody reads.
//
// The program's path comes in STILLWISE_PROGRAM. Every measured time is
// printed, for the record.

#include "output/PipeWireStream.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// A child process with its standard output on a pipe.
class Child {
public:
    // `errors`: a file for its standard error (inherited when empty).
    // `outFd`: where the child finds the pipe; other than 1, its standard
    // output goes to `errors` too.
    explicit Child(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                   const std::string& errors = {}, int outFd = 1)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], outFd);
        if (!errors.empty())
            posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (!errors.empty() && outFd != 1)
            posix_spawn_file_actions_adddup2(&actions, 2, 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        std::vector<std::string> environment;
        for (char** e = environ; *e != nullptr; ++e)
            environment.emplace_back(*e);
        environment.insert(environment.end(), env.begin(), env.end());
        std::vector<char*> envp;
        for (const std::string& e : environment)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        if (posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        out_ = fds[0];
    }
    ~Child()
    {
        stop();
        if (out_ >= 0)
            ::close(out_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool running()
    {
        return pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == 0;
    }
    // How it ended, as waitpid() tells it (0 while it runs).
    int status()
    {
        running();
        return status_;
    }
    // Whether it ended through a signal it did not ask for (a crash).
    bool crashed()
    {
        return !running() && WIFSIGNALED(status_) && WTERMSIG(status_) != SIGTERM && WTERMSIG(status_) != SIGKILL;
    }
    void stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 50 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(20ms);
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Whatever output comes next, added to `text`; false at its end or at
    // `deadline`.
    bool readSome(std::string& text, Clock::time_point deadline)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char chunk[65536];
        const ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0)
            return false;
        text.append(chunk, static_cast<std::size_t>(n));
        return true;
    }
    // Exactly `size` bytes of output, or nothing by `deadline`.
    std::optional<std::vector<std::uint8_t>> read(std::size_t size, Clock::time_point deadline)
    {
        std::vector<std::uint8_t> bytes(size);
        std::size_t got = 0;
        while (got < size) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            const ssize_t n = ::read(out_, bytes.data() + got, size - got);
            if (n <= 0)
                return std::nullopt;
            got += static_cast<std::size_t>(n);
        }
        return bytes;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = 0;
};

std::string RunForOutput(const std::vector<std::string>& argv, Clock::duration limit = 60s)
{
    Child child(argv);
    std::string text;
    const auto deadline = Clock::now() + limit;
    while (child.readSome(text, deadline)) {
    }
    return text;
}

// Our node's id in the PipeWire graph, 0 while there is none.
int NodeId(bool* hasFormats = nullptr)
{
    const QJsonArray objects =
        QJsonDocument::fromJson(QByteArray::fromStdString(RunForOutput({"pw-dump"}))).array();
    for (const QJsonValue& o : objects) {
        const QJsonObject object = o.toObject();
        const QJsonObject info = object.value(QStringLiteral("info")).toObject();
        if (info.value(QStringLiteral("props")).toObject().value(QStringLiteral("node.name")).toString() !=
            QString::fromUtf8(output::PipeWireNodeName))
            continue;
        if (hasFormats != nullptr)
            *hasFormats = !info.value(QStringLiteral("params"))
                               .toObject()
                               .value(QStringLiteral("EnumFormat"))
                               .toArray()
                               .isEmpty();
        return object.value(QStringLiteral("id")).toInt();
    }
    return 0;
}

// Seconds from `since` until `condition` holds, looked at every 20 ms;
// nothing after `limit`.
template <typename Condition>
std::optional<double> Since(Clock::time_point since, Clock::duration limit, Condition condition)
{
    while (!condition()) {
        if (Clock::now() - since > limit)
            return std::nullopt;
        std::this_thread::sleep_for(20ms);
    }
    return Seconds(Clock::now() - since);
}

// Whether process `pid` holds a V4L2 device open.
bool HoldsCamera(pid_t pid)
{
    const std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr)
        return false;
    bool holds = false;
    while (dirent* e = ::readdir(d)) {
        char target[256] = {};
        const std::string link = dir + "/" + e->d_name;
        if (::readlink(link.c_str(), target, sizeof(target) - 1) > 0 &&
            std::string(target).rfind("/dev/video", 0) == 0)
            holds = true;
    }
    ::closedir(d);
    return holds;
}

// Processor time of process `pid` so far, in seconds.
double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // After the command's closing parenthesis: fields 3 on; utime and
    // stime are fields 14 and 15.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14)
            utime = std::stoull(field);
        if (i == 15)
            stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

template <typename Condition>
std::optional<double> Within(Clock::duration limit, Condition condition)
{
    const auto start = Clock::now();
    while (!condition()) {
        if (Clock::now() - start > limit)
            return std::nullopt;
        std::this_thread::sleep_for(20ms);
    }
    return Seconds(Clock::now() - start);
}

// Frames as the reader takes them: shrunk to 64 x 48 grey, so that every
// frame has the same size whatever the node and the reader agreed on.
constexpr int ReaderWidth = 64, ReaderHeight = 48;

// The placeholder is flat at the top; vivid's test picture is not.
bool RealFrame(const std::vector<std::uint8_t>& frame)
{
    const auto [low, high] = std::minmax_element(frame.begin(), frame.begin() + ReaderWidth);
    return *high - *low > 24;
}

struct Reading {
    bool crashed = false;           // the reader itself crashed
    bool linked = false;            // a first frame came
    std::optional<double> fromStart; // from the reader's start to the first real frame
    int frames = 0, real = 0;
    Clock::time_point left;         // when the reader was told to go
    std::string said;               // what the reader said on standard error
    std::optional<double> toReal;   // from the first frame to the first real one
};

class BackgroundDevice : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const char* program = std::getenv("STILLWISE_PROGRAM");
        ASSERT_NE(program, nullptr) << "STILLWISE_PROGRAM names the program";
        ASSERT_TRUE(output::SessionPipeWire().reachable())
            << "no PipeWire daemon (run through run-in-vm.sh --pipewire or pipewire-session.sh)";
        char config[] = "/tmp/stillwise-config-XXXXXX";
        ASSERT_NE(::mkdtemp(config), nullptr);
        // GStreamer builds its plugin registry at its first start, which
        // takes long in an emulated machine; not in the readers' time.
        RunForOutput({"gst-inspect-1.0", "pipewiresrc"}, 300s);
        log = std::string(config) + "/stillwise.log";
        stillwise = new Child({program, "--tray", "--webcam"},
                              {"QT_QPA_PLATFORM=offscreen", std::string("XDG_CONFIG_HOME=") + config}, log);
        ASSERT_GT(stillwise->pid(), 0);
        const auto start = Clock::now();
        while (Clock::now() - start < 60s && stillwise->running() && (node = NodeId()) == 0)
            std::this_thread::sleep_for(200ms);
        std::printf("node %d listed %.1f s after the start\n", node, Seconds(Clock::now() - start));
    }
    static void TearDownTestSuite()
    {
        std::printf("stillwise %s at the end; what it said:\n", stillwise->running() ? "ran" : "had ended");
        std::ifstream said(log);
        std::string line;
        while (std::getline(said, line))
            std::printf("  %s\n", line.c_str());
        delete stillwise;
        stillwise = nullptr;
    }

    // A reader that reads until the first real frame and `more` after it.
    Reading read(int more)
    {
        Reading r;
        const auto started = Clock::now();
        const std::string errors = "/tmp/stillwise-reader.log";
        // -f: a reader that crashes ends instead of waiting for a debugger.
        // Not quiet: what it says goes to `errors` for a failure.
        Child reader({"gst-launch-1.0", "-f", "-m", "pipewiresrc", "path=" + std::to_string(node), "!", "videoconvert",
                      "!", "videoscale", "!",
                      "video/x-raw,format=GRAY8,width=" + std::to_string(ReaderWidth) +
                          ",height=" + std::to_string(ReaderHeight),
                      "!", "fdsink", "fd=3", "sync=false"},
                     {}, errors, 3);
        const std::size_t size = static_cast<std::size_t>(ReaderWidth) * ReaderHeight;
        std::optional<Clock::time_point> first;
        const auto giveUp = Clock::now() + 120s;
        while (auto frame = reader.read(size, giveUp)) {
            const auto now = Clock::now();
            if (!first)
                first = now;
            r.linked = true;
            ++r.frames;
            if (RealFrame(*frame)) {
                ++r.real;
                if (!r.toReal) {
                    r.toReal = Seconds(now - *first);
                    r.fromStart = Seconds(now - started);
                }
                if (more-- <= 0)
                    break;
            }
            // The limit with room: beyond it, it counts as never.
            if (!r.toReal && now - *first > 20s)
                break;
        }
        r.left = Clock::now();
        if (!r.toReal) {
            std::this_thread::sleep_for(200ms);
            r.crashed = reader.crashed();
            r.said = "(status " + std::to_string(reader.status()) + ") ";
        }
        reader.stop();
        std::ifstream said(errors);
        r.said.append(std::istreambuf_iterator<char>(said), std::istreambuf_iterator<char>());
        if (r.said.size() > 4000)
            r.said = r.said.substr(r.said.size() - 4000);
        return r;
    }

    static inline Child* stillwise = nullptr;
    static inline int node = 0;
    static inline std::string log;
};

} // namespace

TEST_F(BackgroundDevice, StartsInTheTrayWithTheNodeListedAndTheCameraClosed)
{
    ASSERT_TRUE(stillwise->running());
    ASSERT_NE(node, 0) << "the node Stillwise is not listed";
    bool formats = false;
    EXPECT_EQ(NodeId(&formats), node);
    EXPECT_TRUE(formats) << "the node lists no formats";
    // The camera opens at no point while nobody reads.
    const auto opened = Within(3s, [] { return HoldsCamera(stillwise->pid()); });
    EXPECT_FALSE(opened.has_value()) << "the camera is open while nobody reads";
}

TEST_F(BackgroundDevice, AReaderGetsRealFramesQuicklyAndTheCameraClosesAfterIt)
{
    ASSERT_NE(node, 0);
    const Reading r = read(10);
    ASSERT_TRUE(r.linked) << "the reader got nothing; it said: " << r.said;
    ASSERT_TRUE(r.toReal.has_value()) << "the reader got no real frame; it said: " << r.said;
    std::printf("reader: first real frame %.2f s after the first frame (%.2f s after the reader started)\n",
                *r.toReal, *r.fromStart);
    EXPECT_LE(*r.toReal, 2.0);
    const auto closed = Since(r.left, 10s, [] { return !HoldsCamera(stillwise->pid()); });
    ASSERT_TRUE(closed.has_value()) << "the camera stays open after the reader left";
    std::printf("reader left: camera closed after %.2f s\n", *closed);
    EXPECT_LE(*closed, 2.0);
}

// Each reader finds the camera closed and opens it anew; in the machine,
// vivid's rate then wanders between 5 and 15 pictures a second, which once
// reached the readers mid-stream and made one of them stall.
TEST_F(BackgroundDevice, TwentyQuickReadersInARow)
{
    ASSERT_NE(node, 0);
    std::vector<double> toReal, toClosed;
    int crashes = 0;
    for (int round = 0; round < 20; ++round) {
        const Reading r = read(0);
        // GStreamer's pipewiresrc (0.3.65) now and then crashes on its own
        // while it links (about one start in a hundred here); that reader
        // is started again, and said.
        if (r.crashed && !r.toReal && ++crashes <= 2) {
            std::printf("round %d: the reader crashed; once more\n", round);
            --round;
            continue;
        }
        ASSERT_TRUE(r.linked && r.toReal.has_value()) << "round " << round << ": " << r.frames << " frames, " << r.real
                                                << " real; the reader said: " << r.said;
        toReal.push_back(*r.toReal);
        const auto closed = Since(r.left, 10s, [] { return !HoldsCamera(stillwise->pid()); });
        ASSERT_TRUE(closed.has_value()) << "round " << round << ": the camera stays open";
        toClosed.push_back(*closed);
    }
    ASSERT_TRUE(stillwise->running());
    std::printf("20 readers: first real frame max %.2f s, camera closed max %.2f s\n",
                *std::max_element(toReal.begin(), toReal.end()), *std::max_element(toClosed.begin(), toClosed.end()));
    EXPECT_LE(*std::max_element(toReal.begin(), toReal.end()), 2.0);
    EXPECT_LE(*std::max_element(toClosed.begin(), toClosed.end()), 2.0);
}

TEST_F(BackgroundDevice, NextToNoProcessorTimeWhileNobodyReads)
{
    ASSERT_TRUE(stillwise->running());
    ASSERT_TRUE(Within(10s, [] { return !HoldsCamera(stillwise->pid()); }).has_value());
    const double before = CpuSeconds(stillwise->pid());
    std::this_thread::sleep_for(30s);
    const double used = CpuSeconds(stillwise->pid()) - before;
    std::printf("at rest: %.3f s of processor time in 30 s (%.2f %% of a core)\n", used, used / 30 * 100);
    EXPECT_LT(used / 30, 0.01);
    EXPECT_FALSE(HoldsCamera(stillwise->pid()));
    EXPECT_NE(NodeId(), 0) << "the node went away while nobody read";
}
