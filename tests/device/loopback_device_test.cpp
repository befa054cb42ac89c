// The virtual webcam on a real v4l2loopback node, read by separate
// programs: tests/device/run-in-vm.sh --loopback loads the module in a
// virtual machine with /dev/video5 labelled "Stillwise".

#include "output/VirtualCamera.h"
#include "platform/avicap/DriverCatalog.h"
#include "camera/v4l2/LoopbackNode.h"
#include "camera/v4l2/V4l2System.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

const char* const Node = "/dev/video5";

// A bottom-up BGR picture whose colours depend on position and `seed`.
struct Picture {
    int width, height, rowbytes;
    std::vector<std::uint8_t> bits;
    Picture(int w, int h, int seed) : width(w), height(h), rowbytes((w * 3 + 3) & ~3)
    {
        bits.resize(static_cast<std::size_t>(rowbytes) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w * 3; ++x)
                bits[static_cast<std::size_t>(y) * rowbytes + x] =
                    static_cast<std::uint8_t>((x / 3) * (x % 3 + 1) + y * 2 + seed * 53);
    }
    output::BgrPicture view() const { return {bits.data(), rowbytes, width, height}; }
};

// The YUYV frame the readers should see of `p` in a node of w x h: the
// picture centred, black around it.
std::vector<std::uint8_t> Expected(const Picture& p, int w, int h)
{
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(w) * 2 * h);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = i % 2 == 0 ? 16 : 128;
    const int cw = std::min(p.width, w), ch = std::min(p.height, h);
    const int px = ((p.width - cw) / 2) & ~1, py = (p.height - ch) / 2;
    const int nx = ((w - cw) / 2) & ~1, ny = (h - ch) / 2;
    pixels::YuyvConverter().convert(p.bits.data() + px * 3, p.rowbytes, p.height - py, cw, ch,
                                    frame.data() + (static_cast<std::size_t>(ny) * w + nx) * 2, w * 2);
    return frame;
}

// Feeds the node at 30 pictures a second from its own thread, the way the
// frame step does, until destroyed.
class Feeder {
public:
    explicit Feeder(output::VirtualCamera& camera) : camera_(camera)
    {
        thread_ = std::thread([this] { run(); });
    }
    ~Feeder()
    {
        stop_ = true;
        thread_.join();
    }
    void show(std::shared_ptr<const Picture> p)
    {
        std::lock_guard lock(mutex_);
        picture_ = std::move(p);
        shown_ = written_.load();
    }
    // Waits until `n` pictures went out since the last show().
    bool waitWritten(int n, std::chrono::seconds limit = 20s)
    {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < until) {
            {
                std::lock_guard lock(mutex_);
                if (written_ - shown_ >= n)
                    return true;
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }
    bool stopped() const { return stopped_; }
    int dropped() const { return dropped_; }

private:
    void run()
    {
        auto next = std::chrono::steady_clock::now();
        while (!stop_) {
            std::shared_ptr<const Picture> p;
            {
                std::lock_guard lock(mutex_);
                p = picture_;
            }
            if (p) {
                const auto r = camera_.write(p->view(), next);
                if (r == output::VirtualCamera::Result::Written)
                    ++written_;
                else if (r == output::VirtualCamera::Result::Dropped)
                    ++dropped_;
                else
                    stopped_ = true;
            }
            next += 33ms;
            std::this_thread::sleep_until(next);
        }
    }

    output::VirtualCamera& camera_;
    std::mutex mutex_;
    std::shared_ptr<const Picture> picture_;
    std::atomic<int> written_{0}, dropped_{0};
    int shown_ = 0;
    std::atomic<bool> stop_{false}, stopped_{false};
    std::thread thread_;
};

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Another program reads `count` frames from the node into `file`.
int Read(int count, const std::string& file)
{
    std::filesystem::remove(file);
    const std::string command = "timeout 120 v4l2-ctl -d " + std::string(Node) +
                                " --stream-mmap --stream-count=" + std::to_string(count) + " --stream-to=" + file +
                                " >/dev/null 2>&1";
    return std::system(command.c_str());
}

// Whether `frame` begins as one of `wanted` and ends as another: what a
// reader copies while the next picture is written into the same buffer.
// The module shares its buffers with every reader and never waits for
// one, so a reader that the machine does not run for two picture times
// copies such a frame; where the two pictures differ it shows.
bool Torn(const std::uint8_t* frame, std::size_t frameSize, const std::vector<std::vector<std::uint8_t>>& wanted)
{
    for (const auto& head : wanted) {
        if (head.size() != frameSize)
            continue;
        const std::size_t same =
            static_cast<std::size_t>(std::mismatch(frame, frame + frameSize, head.begin()).first - frame);
        for (const auto& tail : wanted) {
            if (&head == &tail || tail.size() != frameSize)
                continue;
            const std::size_t sameAtEnd = static_cast<std::size_t>(
                std::mismatch(std::make_reverse_iterator(frame + frameSize), std::make_reverse_iterator(frame),
                              tail.rbegin())
                    .first.base() -
                frame);
            if (same >= sameAtEnd)
                return true;
        }
    }
    return false;
}

// Splits a file of frames; counts how many equal each of `wanted`, how
// many are torn between two of them, and how many are neither.
std::vector<int> Count(const std::vector<std::uint8_t>& bytes, std::size_t frameSize,
                       const std::vector<std::vector<std::uint8_t>>& wanted, int& unknown, int* torn = nullptr)
{
    std::vector<int> counts(wanted.size(), 0);
    unknown = 0;
    if (torn != nullptr)
        *torn = 0;
    for (std::size_t at = 0; at + frameSize <= bytes.size(); at += frameSize) {
        bool matched = false;
        for (std::size_t i = 0; i < wanted.size() && !matched; ++i)
            if (wanted[i].size() == frameSize && std::equal(wanted[i].begin(), wanted[i].end(), bytes.begin() + at)) {
                ++counts[i];
                matched = true;
            }
        if (matched)
            continue;
        if (torn != nullptr && Torn(bytes.data() + at, frameSize, wanted))
            ++*torn;
        else
            ++unknown;
    }
    return counts;
}

class LoopbackDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(Node))
            GTEST_SKIP() << "no loopback node " << Node << " (run through run-in-vm.sh --loopback)";
    }
};

} // namespace

TEST_F(LoopbackDevice, ReadersGetTheFramesTheSizeAndTheCurrentPicture)
{
    camera::V4l2System& system = camera::LinuxV4l2System();
    EXPECT_EQ(camera::FindLoopbackNode(system).node, Node);
    output::VirtualCamera camera(system);
    ASSERT_TRUE(camera.start()) << camera.error().toStdString();
    ASSERT_EQ(camera.node(), Node);
    Feeder feeder(camera);

    // 30 frames of a known picture, read by a separate program.
    auto a = std::make_shared<const Picture>(320, 240, 1);
    feeder.show(a);
    ASSERT_TRUE(feeder.waitWritten(3));
    // The module lends its buffers: no copy through write().
    EXPECT_TRUE(camera.intoLentBuffers());
    ASSERT_EQ(Read(30, "first.raw"), 0);
    const std::vector<std::uint8_t> first = ReadFile("first.raw");
    const std::size_t small = 320 * 240 * 2;
    ASSERT_EQ(first.size(), 30 * small);
    int unknown = 0;
    EXPECT_EQ(Count(first, small, {Expected(*a, 320, 240)}, unknown)[0], 30);

    // While our node is the output, the driver list does not offer it.
    for (const avicap::DriverSlot& slot : avicap::DriverCatalog(system, 1).drivers())
        EXPECT_NE(slot.node, Node) << slot.name;

    // A new size while a reader streams: that reader keeps its size and
    // sees the new picture centred in it; the next reader gets the new size.
    auto b = std::make_shared<const Picture>(640, 480, 2);
    std::thread reader([] { Read(60, "resize.raw"); });
    for (int i = 0; i < 400 && (!std::filesystem::exists("resize.raw") || std::filesystem::file_size("resize.raw") < 4 * small); ++i)
        std::this_thread::sleep_for(25ms);
    feeder.show(b);
    reader.join();
    const std::vector<std::uint8_t> resized = ReadFile("resize.raw");
    ASSERT_EQ(resized.size(), 60 * small);
    int torn = 0;
    const std::vector<int> seen =
        Count(resized, small, {Expected(*a, 320, 240), Expected(*b, 320, 240)}, unknown, &torn);
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_EQ(unknown, 0);
    // Only at the one change of picture can a copy be torn.
    EXPECT_LE(torn, 1);
    if (torn > 0)
        std::printf("the reader copied %d frame torn between the two pictures\n", torn);
    // Once that reader has let go the node follows within a few seconds.
    for (int i = 0; i < 200 && camera.width() != 640; ++i)
        std::this_thread::sleep_for(50ms);
    ASSERT_EQ(camera.width(), 640);
    ASSERT_TRUE(feeder.waitWritten(3));
    EXPECT_TRUE(camera.intoLentBuffers());
    ASSERT_EQ(Read(5, "large.raw"), 0);
    const std::vector<std::uint8_t> large = ReadFile("large.raw");
    ASSERT_EQ(large.size(), 5 * 640 * 480 * 2u);
    EXPECT_EQ(Count(large, 640 * 480 * 2, {Expected(*b, 640, 480)}, unknown)[0], 5);

    // Nobody reads for a while; a reader that comes late gets the current
    // picture, not old ones.
    for (int seed = 10; seed < 40; ++seed) {
        feeder.show(std::make_shared<const Picture>(640, 480, seed));
        std::this_thread::sleep_for(100ms);
    }
    auto c = std::make_shared<const Picture>(640, 480, 99);
    feeder.show(c);
    ASSERT_TRUE(feeder.waitWritten(10));
    ASSERT_EQ(Read(10, "late.raw"), 0);
    const std::vector<std::uint8_t> late = ReadFile("late.raw");
    ASSERT_EQ(late.size(), 10 * 640 * 480 * 2u);
    EXPECT_EQ(Count(late, 640 * 480 * 2, {Expected(*c, 640, 480)}, unknown)[0], 10);
    EXPECT_FALSE(feeder.stopped());
}

TEST_F(LoopbackDevice, TheNodeCannotBeRemovedWhileWrittenAndIsGoneAfterwards)
{
    camera::V4l2System& system = camera::LinuxV4l2System();
    auto camera = std::make_unique<output::VirtualCamera>(system);
    ASSERT_TRUE(camera->start()) << camera->error().toStdString();
    {
        Feeder feeder(*camera);
        feeder.show(std::make_shared<const Picture>(160, 120, 3));
        ASSERT_TRUE(feeder.waitWritten(5)) << "dropped " << feeder.dropped() << " stopped " << feeder.stopped()
                                           << " " << camera->error().toStdString() << " node " << camera->width() << "x"
                                           << camera->height() << " written " << camera->written();
        // The module is held while its node is open: the kernel refuses.
        EXPECT_NE(syscall(SYS_delete_module, "v4l2loopback", O_NONBLOCK), 0);
        EXPECT_TRUE(std::filesystem::exists(Node));
        feeder.show(std::make_shared<const Picture>(160, 120, 4));
        EXPECT_TRUE(feeder.waitWritten(5));
        EXPECT_FALSE(feeder.stopped());
    }
    camera.reset();
    // Let go, the module goes, and with it the node: the output has nowhere
    // to go and says how to get the module back.
    ASSERT_EQ(syscall(SYS_delete_module, "v4l2loopback", O_NONBLOCK), 0) << std::strerror(errno);
    for (int i = 0; i < 100 && std::filesystem::exists(Node); ++i)
        std::this_thread::sleep_for(20ms);
    EXPECT_TRUE(camera::FindLoopbackNode(system).node.empty());
    output::VirtualCamera again(system);
    EXPECT_FALSE(again.start());
    EXPECT_EQ(again.error(), output::NoLoopbackHint());
}
