// The virtual webcam against a loopback node that answers anything: its
// format answer, buffer counts and lengths, failing QBUF, DQBUF, write and
// mmap, a node that vanishes, a reader that holds its size, and pictures
// of changing sizes at changing rates (fuzz/LoopbackScript.h). Whatever
// the node does, the camera must keep its word: Stopped only when it has
// stopped with a reason, counts that add up, and every descriptor and
// mapping given back.

#include "camera/v4l2/LoopbackNode.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/LoopbackScript.h"
#include "fuzz/LyingLoopback.h"
#include "output/VirtualCamera.h"

#include <cstdint>
#include <vector>

namespace {

// Steps after which an input is cut short: long enough to change size,
// lose buffers and retry a held size several times.
constexpr int MaxSteps = 64;
// The pictures' sizes: what goes wrong with sizes comes from the node's
// answers, and small pictures keep a run short.
constexpr int MaxWidth = 160, MaxHeight = 120;

int errnoFrom(fuzz::FuzzInput& in)
{
    return fuzz::LoopbackErrors[in.take<std::uint8_t>() % std::size(fuzz::LoopbackErrors)];
}

// A bottom-up BGR picture as the frame step keeps it, every row different,
// in its own heap block so that AddressSanitizer sees a read outside it.
struct Picture {
    std::vector<std::uint8_t> bits;
    output::BgrPicture view;

    Picture(int width, int height)
    {
        const int rowbytes = (width * 3 + 3) & ~3;
        bits.resize(static_cast<std::size_t>(rowbytes) * height);
        for (std::size_t i = 0; i < bits.size(); ++i)
            bits[i] = static_cast<std::uint8_t>(i * 7 + i / static_cast<std::size_t>(rowbytes));
        view = {bits.data(), rowbytes, width, height};
    }
};

class Run {
public:
    Run(fuzz::FuzzInput& in, fuzz::LyingLoopback& device) : in_(in), device_(device), camera_(device) {}

    void start()
    {
        const bool started = camera_.start();
        if (started != camera_.running())
            fuzz::Fail("start() says otherwise than running()");
        if (!started && camera_.error().isEmpty())
            fuzz::Fail("start() failed without a reason");
    }

    void picture()
    {
        const int width = 1 + in_.take<std::uint16_t>() % MaxWidth;
        const int height = 1 + in_.take<std::uint16_t>() % MaxHeight;
        now_ += std::chrono::milliseconds(10 * in_.take<std::uint8_t>());
        const Picture picture(width, height);
        const bool wasRunning = camera_.running();
        const std::uint64_t written = camera_.written(), dropped = camera_.dropped();
        const int reached = device_.node().frames;

        const output::VirtualCamera::Result result = camera_.write(picture.view, now_);

        using Result = output::VirtualCamera::Result;
        if ((result == Result::Stopped) == camera_.running())
            fuzz::Fail("write() said Stopped while running, or not Stopped while stopped");
        if (result == Result::Stopped && wasRunning && camera_.error().isEmpty())
            fuzz::Fail("the output stopped without a reason");
        if (result == Result::Written && (camera_.written() != written + 1 || camera_.dropped() != dropped))
            fuzz::Fail("a written picture was not counted as written");
        if ((result == Result::Written) != (device_.node().frames == reached + 1))
            fuzz::Fail("a picture reached the node without being counted as written, or the other way round");
        if (result == Result::Dropped && (camera_.dropped() != dropped + 1 || camera_.written() != written))
            fuzz::Fail("a dropped picture was not counted as dropped");
        if (result == Result::Written && (camera_.width() < 2 || camera_.width() % 2 != 0 || camera_.height() < 1))
            fuzz::Fail("a picture written into a node without an even width and a height");
    }

    void step()
    {
        fuzz::Lies& lies = device_.next();
        switch (static_cast<fuzz::LoopbackOp>(in_.take<std::uint8_t>() % std::uint8_t(fuzz::LoopbackOp::Count))) {
        case fuzz::LoopbackOp::Picture:
            picture();
            break;
        case fuzz::LoopbackOp::LieFormat:
            lies.formatFields = in_.take<std::uint8_t>();
            lies.format.width = in_.take<std::uint32_t>();
            lies.format.height = in_.take<std::uint32_t>();
            lies.format.bytesperline = in_.take<std::uint32_t>();
            lies.format.sizeimage = in_.take<std::uint32_t>();
            lies.format.pixelformat = in_.take<std::uint32_t>();
            break;
        case fuzz::LoopbackOp::LieBuffers:
            lies.bufferCount = in_.take<std::uint32_t>();
            break;
        case fuzz::LoopbackOp::LieLength:
            lies.bufferLength = in_.take<std::uint32_t>();
            break;
        case fuzz::LoopbackOp::LieDequeued:
            lies.dequeued = in_.take<std::uint32_t>();
            break;
        case fuzz::LoopbackOp::FailQueue:
            lies.queueErrno = errnoFrom(in_);
            break;
        case fuzz::LoopbackOp::FailDequeue:
            lies.dequeueErrno = errnoFrom(in_);
            break;
        case fuzz::LoopbackOp::FailWrite:
            lies.writeErrno = errnoFrom(in_);
            break;
        case fuzz::LoopbackOp::FailMmap:
            lies.mmapFails = true;
            break;
        case fuzz::LoopbackOp::Vanish:
            device_.node().gone = true;
            break;
        case fuzz::LoopbackOp::Restart:
            camera_.stop();
            if (camera_.running() || camera::OwnOutputNode() == device_.node().node)
                fuzz::Fail("stop() left the output running or the node marked as ours");
            start();
            break;
        case fuzz::LoopbackOp::Reader:
            if (reading_)
                device_.inner().detachReader(0);
            else
                device_.inner().attachReader(0);
            reading_ = !reading_;
            break;
        case fuzz::LoopbackOp::Count:
            break;
        }
    }

    void finish()
    {
        camera_.stop();
        if (reading_)
            device_.inner().detachReader(0);
        if (device_.inner().openFds() != 0 || device_.inner().mappings() != 0)
            fuzz::Fail("descriptors or mappings of the node were not given back");
    }

private:
    fuzz::FuzzInput& in_;
    fuzz::LyingLoopback& device_;
    output::VirtualCamera camera_;
    output::VirtualCamera::Clock::time_point now_{};
    bool reading_ = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const auto flags = in.take<std::uint8_t>();
    simloop::Node node = simloop::MakeNode("/dev/video5", camera::LoopbackCardLabel);
    node.exclusiveCaps = (flags & fuzz::NodeExclusiveCaps) != 0;
    node.streaming = (flags & fuzz::NodeLends) != 0;
    node.maxBuffers = 1 + in.take<std::uint8_t>() % 8;
    const bool openFails = (flags & fuzz::NodeOpenFails) != 0;
    if (openFails)
        node.openErrno = EACCES;
    fuzz::LyingLoopback device(std::move(node));

    Run run(in, device);
    run.start();
    // A refused first open is the user's group membership, put right
    // before the next try.
    device.node().openErrno = 0;
    for (int steps = 0; !in.empty() && steps < MaxSteps; ++steps)
        run.step();
    run.finish();
    return 0;
}
