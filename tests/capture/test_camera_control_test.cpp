// The capture control on the machine's own capture library: the built-in
// test camera delivers frames to OnFrame, and its format shows in the
// format queries.

#include "capture/CaptureError.h"
#include "capture/Video.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "test_camera_control_test";
    static char* argv[] = {name, nullptr};
    static QApplication a(argc, argv);
    return a;
}

int testCameraSlot()
{
    const QStringList list = GetDriverList();
    for (int i = 0; i < list.size(); ++i)
        if (list[i].startsWith("Stillwise Testkamera"))
            return i;
    return -1;
}

// Runs the event loop until done() or the time is up.
template <typename F>
bool waitFor(F done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

} // namespace

TEST(TestCameraControl, DeliversPreviewFramesInItsOwnFormat)
{
    app();
    std::vector<QString> errors;
    capture::SetErrorSink([&](const QString& t) { errors.push_back(t); });

    const int slot = testCameraSlot();
    ASSERT_GE(slot, 0) << "the test camera always has a slot";
    // Without a camera the test camera is the first driver there is.
    if (GetDriverList()[0].startsWith("Stillwise Testkamera")) {
        EXPECT_EQ(slot, 0);
    }

    TVideo video;
    video.setObjectName("Video1");
    video.resize(1, 1);
    int frames = 0;
    std::uint32_t lastLength = 0;
    video.SetOnFrame([&](QObject* sender, PVIDEOHDR h) {
        EXPECT_EQ(sender, &video);
        ++frames;
        lastLength = h->dwBufferLength;
    });
    video.SetDriverIndex(slot);
    EXPECT_EQ(video.DriverName(), "Stillwise Testkamera");
    video.SetVideoPreview(true);
    ASSERT_TRUE(video.VideoPreview());
    EXPECT_EQ(video.ImageWidth(), 640);
    EXPECT_EQ(video.ImageHeight(), 480);

    ASSERT_TRUE(waitFor([&] { return frames >= 3; }));
    EXPECT_EQ(lastLength, 640u * 480u * 3u);

    const std::uint32_t size = video.GetVideoFormatSize();
    ASSERT_GE(size, sizeof(BITMAPINFOHEADER));
    std::vector<std::uint32_t> block((size + 3) / 4);
    video.GetVideoFormat(reinterpret_cast<BITMAPINFO*>(block.data()), size);
    const BITMAPINFOHEADER& h = reinterpret_cast<BITMAPINFO*>(block.data())->bmiHeader;
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    EXPECT_EQ(h.biBitCount, 24);

    // Preview off: no more frames. On again: they come back.
    video.SetVideoPreview(false);
    const int stopped = frames;
    waitFor([] { return false; }, 200);
    EXPECT_EQ(frames, stopped);
    video.SetVideoPreview(true);
    EXPECT_TRUE(waitFor([&] { return frames > stopped; }));

    // Closing and opening again works; a grab delivers exactly one frame.
    video.SetDriverOpen(false);
    video.SetDriverOpen(true);
    const int before = frames;
    EXPECT_TRUE(video.GrabFrame());
    EXPECT_EQ(frames, before + 1);
    EXPECT_TRUE(errors.empty());
    capture::SetErrorSink(nullptr);
}
