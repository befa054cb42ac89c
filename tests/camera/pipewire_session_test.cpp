// The real PipeWire session on a machine without PipeWire: nothing to
// list, nothing to open, and no thread or descriptor spent on it, so that
// such a machine runs the program as it did before PipeWire's cameras.

#include "camera/pipewire/PipeWireCameras.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

int Entries(const char* folder)
{
    return static_cast<int>(
        QDir(QString::fromLatin1(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

class Receiver final : public camera::PipeWireReceiver {
public:
    void frame(const camera::PipeWireFrame&) override { ++frames; }
    void ended() override { ++ends; }
    int frames = 0, ends = 0;
};

TEST(PipeWireSession, WithoutADaemonListsNothingAndCostsNothing)
{
    // No socket where libpipewire would look.
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    ::unsetenv("PIPEWIRE_REMOTE");
    ::setenv("PIPEWIRE_RUNTIME_DIR", empty.path().toLocal8Bit().constData(), 1);
    ::setenv("XDG_RUNTIME_DIR", empty.path().toLocal8Bit().constData(), 1);

    const int threads = Entries("/proc/self/task");
    const int descriptors = Entries("/proc/self/fd");
    camera::PipeWireCameras& cameras = camera::SessionCameras();
    int changes = 0;
    cameras.onChange([&] { ++changes; });
    EXPECT_FALSE(cameras.available());
    EXPECT_TRUE(cameras.nodes().empty());
    camera::PipeWireNode node;
    node.name = "TestCam";
    EXPECT_TRUE(cameras.formats(node).empty());
    Receiver receiver;
    QString error;
    EXPECT_EQ(cameras.open(node, {}, receiver, error), nullptr);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(Entries("/proc/self/task"), threads);
    EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(receiver.frames + receiver.ends, 0);
}

} // namespace
