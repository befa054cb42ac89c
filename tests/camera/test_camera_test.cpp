// The test camera's picture, its source and format settings, and the two
// dialogs built on those settings.

#include "tests/camera/AvicapTestSupport.h"

#include "camera/dialogs/FormatDialog.h"
#include "camera/dialogs/SourceDialog.h"
#include "camera/testcam/SceneKernels.h"
#include "camera/testcam/TestCamera.h"
#include "camera/testcam/TestScene.h"
#include "records/CpuFeatures.h"

#include <linux/videodev2.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>

using camera::TestScene;
using namespace avicap_test;

namespace {

double meanAbsDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / static_cast<double>(a.size());
}

double mean(const std::vector<std::uint8_t>& a)
{
    return std::accumulate(a.begin(), a.end(), 0.0) / static_cast<double>(a.size());
}

} // namespace

TEST(TestScene, SameSeedSameFramesOtherSeedOtherNoise)
{
    TestScene a(5), b(5), c(6);
    std::vector<std::uint8_t> fa, fb, fc;
    for (int i = 0; i < 3; ++i) {
        a.render(fa);
        b.render(fb);
        c.render(fc);
        EXPECT_EQ(fa, fb) << i;
        EXPECT_NE(fa, fc) << i;
    }
}

TEST(TestScene, FramesAreBottomUpRowsWithPaddedStride)
{
    TestScene scene(1);
    scene.setNoise(0);
    scene.setFlicker(0);
    scene.setMotion(false);
    scene.setFormat(322, 240, TestScene::Pixels::Bgr24);
    EXPECT_EQ(scene.stride(), 968u); // 966 rounded up to a multiple of 4
    std::vector<std::uint8_t> f;
    scene.render(f);
    ASSERT_EQ(f.size(), 968u * 240);
    // The last stored row is the top of the picture: the first bar, white.
    const std::uint8_t* top = f.data() + 239 * 968;
    EXPECT_EQ(top[0], 235);
    EXPECT_EQ(top[2], 235);
    // The first stored row is the bottom: the ramp, black at the left.
    EXPECT_EQ(f[0], 0);
    EXPECT_EQ(f[966], 0); // padding stays zero
    EXPECT_EQ(f[967], 0);
    // Second bar yellow: blue low, red high (BGR order).
    const std::uint8_t* yellow = top + 3 * 60;
    EXPECT_EQ(yellow[0], 16);
    EXPECT_EQ(yellow[2], 235);

    scene.setFormat(320, 240, TestScene::Pixels::Grey8);
    scene.render(f);
    ASSERT_EQ(f.size(), 320u * 240);
    EXPECT_EQ(f[239 * 320], 235);
}

TEST(TestScene, NoiseChangesPixelsAndFlickerChangesBrightness)
{
    TestScene scene(3);
    scene.setMotion(false);
    scene.setNoise(0);
    scene.setFlicker(0);
    std::vector<std::uint8_t> f1, f2;
    scene.render(f1);
    scene.render(f2);
    EXPECT_EQ(f1, f2);

    scene.setNoise(50);
    scene.render(f1);
    scene.render(f2);
    const double noisy = meanAbsDifference(f1, f2);
    EXPECT_GT(noisy, 3.0);
    EXPECT_LT(std::abs(mean(f1) - mean(f2)), 1.0); // noise alone keeps the brightness

    scene.setNoise(0);
    scene.setFlicker(100);
    double largest = 0;
    scene.render(f1);
    for (int i = 0; i < 10; ++i) {
        scene.render(f2);
        largest = std::max(largest, std::abs(mean(f1) - mean(f2)));
    }
    EXPECT_GT(largest, 5.0);
}

TEST(TestScene, TheSquareMoves)
{
    TestScene scene(3);
    scene.setNoise(0);
    scene.setFlicker(0);
    std::vector<std::uint8_t> f1, f2;
    scene.render(f1);
    scene.render(f2);
    EXPECT_NE(f1, f2);
}

TEST(TestScene, EveryRowKernelGivesTheSaturatedSum)
{
    // Every pair of lit value and noise, at every length and misalignment
    // up to a few blocks.
    std::vector<std::uint8_t> lit(600);
    std::vector<std::int8_t> noise(600);
    for (std::size_t i = 0; i < lit.size(); ++i) {
        lit[i] = static_cast<std::uint8_t>((i * 37) ^ (i >> 3));
        noise[i] = static_cast<std::int8_t>(static_cast<int>((i * 101) % 255) - 127);
    }
    for (int v = 0; v < 256; ++v)
        for (int n = -127; n <= 127; n += 127) {
            std::uint8_t out = 0;
            const std::uint8_t flipped = static_cast<std::uint8_t>(v ^ 0x80);
            const std::int8_t z = static_cast<std::int8_t>(n);
            camera::NoisyRowPlain(&flipped, &z, &out, 1);
            ASSERT_EQ(out, std::clamp(v + n, 0, 255)) << v << " " << n;
        }
    std::vector<camera::NoisyRowFn> kernels = {camera::NoisyRowSSE2};
    if (cpu::HasAVX2())
        kernels.push_back(camera::NoisyRowAVX2);
    for (std::size_t offset : {0u, 1u, 7u, 16u, 31u})
        for (std::size_t n : {0u, 1u, 15u, 31u, 32u, 63u, 64u, 65u, 95u, 200u, 511u}) {
            std::vector<std::uint8_t> want(n + 2, 0xAB);
            camera::NoisyRowPlain(lit.data() + 3, noise.data() + 5, want.data() + 1, n);
            for (camera::NoisyRowFn kernel : kernels) {
                // One guard byte before and after the row.
                std::vector<std::uint8_t> buffer(n + 2 + 32, 0xAB);
                std::uint8_t* out = buffer.data() + offset;
                kernel(lit.data() + 3, noise.data() + 5, out + 1, n);
                EXPECT_TRUE(std::equal(want.begin(), want.end(), out)) << "n " << n << " offset " << offset;
            }
        }
}

TEST(TestScene, AQuietFrameIsTheStillSceneAndTheSquareMoves)
{
    // The scene pixel by pixel: the disc over bars (upper two thirds) and
    // ramp, as the camera has always shown it.
    auto still = [](int x, int y, int w, int h) -> std::array<int, 3> {
        const int cx = w / 2, cy = h / 2, r = std::max(1, h / 5);
        const long dx = x - cx, dy = y - cy;
        if (dx * dx + dy * dy <= long(r) * r) {
            const int v = 40 + 160 * (x - cx + r) / (2 * r);
            return {200 - v / 2, 128, v};
        }
        static const int bars[7][3] = {{235, 235, 235}, {16, 235, 235}, {235, 235, 16}, {16, 235, 16},
                                       {235, 16, 235},  {16, 16, 235},  {235, 16, 16}};
        if (y < h * 2 / 3) {
            const int* b = bars[std::min(6, x * 7 / w)];
            return {b[0], b[1], b[2]};
        }
        const int v = 255 * x / (w - 1);
        return {v, v, v};
    };
    for (const auto& size : {std::pair{322, 241}, std::pair{1920, 1080}}) {
        // Plain names, as clang before 16 lets no lambda capture a structured binding.
        const int w = size.first, h = size.second;
        TestScene scene(9);
        scene.setNoise(0);
        scene.setFlicker(0);
        scene.setMotion(false);
        scene.setFormat(w, h, TestScene::Pixels::Bgr24);
        std::vector<std::uint8_t> f;
        scene.render(f);
        int wrong = 0;
        for (int y = 0; y < h && wrong < 5; ++y) {
            const std::uint8_t* row = f.data() + std::size_t(h - 1 - y) * scene.stride();
            for (int x = 0; x < w && wrong < 5; ++x) {
                const auto want = still(x, y, w, h);
                if (row[3 * x] != want[0] || row[3 * x + 1] != want[1] || row[3 * x + 2] != want[2]) {
                    ADD_FAILURE() << w << "x" << h << " pixel " << x << "," << y;
                    ++wrong;
                }
            }
        }

        // With motion the square, light yellow, covers a part of the bars
        // and moves on by a fixed step each frame.
        scene.setMotion(true);
        const int side = h / 6, top = h / 3 - side / 2;
        auto squareLeft = [&](const std::vector<std::uint8_t>& frame) {
            const std::uint8_t* row = frame.data() + std::size_t(h - 1 - (top + side / 2)) * scene.stride();
            for (int x = 0; x < w; ++x)
                if (row[3 * x] == 60 && row[3 * x + 1] == 220 && row[3 * x + 2] == 250)
                    return x;
            return -1;
        };
        scene.render(f);
        const int first = squareLeft(f);
        scene.render(f);
        EXPECT_GE(first, 0);
        EXPECT_EQ(squareLeft(f), first + std::max(1, w / 120));
    }
}

TEST(TestCamera, SourceSettingsListSetAndReset)
{
    App();
    camera::TestCamera camera(1);
    camera::ControlSet& controls = *camera.controls();
    auto all = controls.list();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].name, QStringLiteral("Rauschen"));
    EXPECT_EQ(all[0].value, camera::TestCamera::DefaultNoise);
    EXPECT_EQ(all[1].name, QStringLiteral("Flackern"));
    EXPECT_EQ(all[2].kind, camera::ControlInfo::Kind::Boolean);

    EXPECT_TRUE(controls.set(camera::TestCamera::NoiseControl, 0));
    EXPECT_TRUE(controls.set(camera::TestCamera::FlickerControl, 0));
    EXPECT_TRUE(controls.set(camera::TestCamera::MotionControl, 0));
    EXPECT_FALSE(controls.set(99, 1));
    camera::Frame a, b;
    camera.grab(a);
    camera.grab(b);
    EXPECT_EQ(a.bytes, b.bytes); // a still, clean picture

    controls.reset();
    all = controls.list();
    EXPECT_EQ(all[0].value, camera::TestCamera::DefaultNoise);
    EXPECT_EQ(all[1].value, camera::TestCamera::DefaultFlicker);
    EXPECT_EQ(all[2].value, 1);
    camera.grab(a);
    camera.grab(b);
    EXPECT_NE(a.bytes, b.bytes);
}

TEST(TestCamera, FormatsOfferFourSizesInTwoLayoutsAndRefuseOthers)
{
    App();
    camera::TestCamera camera(1);
    camera::FormatSet& formats = *camera.formats();
    const auto all = formats.list();
    ASSERT_EQ(all.size(), 2u);
    for (const auto& f : all) {
        ASSERT_EQ(f.sizes.size(), 4u);
        EXPECT_EQ(f.sizes[3].width, 1920);
        EXPECT_EQ(f.sizes[3].intervals.front(), (camera::FrameInterval{1, 30}));
    }
    EXPECT_EQ(formats.current(), (camera::FormatSetting{V4L2_PIX_FMT_BGR24, 640, 480, {1, 30}}));
    EXPECT_FALSE(formats.apply({V4L2_PIX_FMT_YUYV, 640, 480, {}}));
    EXPECT_FALSE(formats.apply({V4L2_PIX_FMT_BGR24, 641, 480, {}}));
    EXPECT_FALSE(formats.apply({V4L2_PIX_FMT_BGR24, 640, 480, {1, 15}}));
    EXPECT_EQ(camera.format().size(), 40u);
    ASSERT_TRUE(formats.apply({V4L2_PIX_FMT_BGR24, 1920, 1080, {1, 30}}));
    camera::Frame f;
    camera.grab(f);
    EXPECT_EQ(f.bytes.size(), 1920u * 1080 * 3);
}

TEST(TestCamera, StreamsAboutThirtyFramesASecond)
{
    App();
    struct Counter : camera::FrameSink {
        camera::Driver* driver;
        int frames = 0;
        void frameReady() override
        {
            camera::Frame f;
            frames += driver->takeFrame(f) ? 1 : 0;
        }
        void streamFailed(const QString&) override {}
    } counter;
    camera::TestCamera camera(1);
    counter.driver = &camera;
    ASSERT_TRUE(camera.start(&counter));
    SpinFor(1000);
    camera.stop();
    EXPECT_GE(counter.frames, 15); // fewer only when the machine is very busy
    EXPECT_LE(counter.frames, 32);
    const int frames = counter.frames;
    SpinFor(100);
    EXPECT_EQ(counter.frames, frames);
}

TEST(SourceDialog, ChangesApplyAtOnceAndDefaultsRestore)
{
    App();
    camera::TestCamera camera(1);
    camera::SourceDialog dialog(*camera.controls(), nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Videoquelle"));
    const auto sliders = dialog.findChildren<QSlider*>();
    ASSERT_EQ(sliders.size(), 2);
    sliders[0]->setValue(77);
    EXPECT_EQ(camera.controls()->list()[0].value, 77);
    auto* motion = dialog.findChild<QCheckBox*>();
    ASSERT_NE(motion, nullptr);
    motion->setChecked(false);
    EXPECT_EQ(camera.controls()->list()[2].value, 0);

    QPushButton* defaults = nullptr;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Standardwerte"))
            defaults = b;
    ASSERT_NE(defaults, nullptr);
    defaults->click();
    EXPECT_EQ(camera.controls()->list()[0].value, camera::TestCamera::DefaultNoise);
    EXPECT_EQ(sliders[0]->value(), camera::TestCamera::DefaultNoise);
    EXPECT_TRUE(motion->isChecked());
}

TEST(FormatDialog, OfferedChoicesApplyOnOkOnly)
{
    App();
    camera::TestCamera camera(1);
    {
        camera::FormatDialog dialog(*camera.formats(), nullptr);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Videoformat"));
        const auto boxes = dialog.findChildren<QComboBox*>();
        ASSERT_EQ(boxes.size(), 3);
        EXPECT_EQ(boxes[0]->currentText(), QStringLiteral("RGB, 24 Bit"));
        EXPECT_EQ(boxes[1]->currentText(), QStringLiteral("640 × 480"));
        EXPECT_EQ(boxes[2]->currentText(), QStringLiteral("30 Bilder/s"));
        boxes[0]->setCurrentIndex(1);
        boxes[1]->setCurrentIndex(0);
        EXPECT_EQ(dialog.chosen(), (camera::FormatSetting{V4L2_PIX_FMT_GREY, 320, 240, {1, 30}}));
        dialog.reject();
        EXPECT_EQ(camera.formats()->current().fourcc, static_cast<std::uint32_t>(V4L2_PIX_FMT_BGR24));
        boxes[0]->setCurrentIndex(1);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(camera.formats()->current(), (camera::FormatSetting{V4L2_PIX_FMT_GREY, 320, 240, {1, 30}}));
    EXPECT_EQ(camera::FrameRateText({2, 25}), QStringLiteral("12,5 Bilder/s"));
}

TEST(DriverDialogs, OpenModallyFromTheirMessages)
{
    SimulatedLibrary lib;
    QWidget parent;
    HWND window = MakeWindow(parent);
    EXPECT_EQ(SendMessageA(window, WM_CAP_DLG_VIDEOSOURCE, 0, 0), 0); // not connected
    ASSERT_EQ(SendMessageA(window, WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    QString seen;
    auto closeActive = [&seen] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr) {
            seen = modal->windowTitle();
            static_cast<QDialog*>(modal)->reject();
        }
    };
    QTimer::singleShot(50, closeActive);
    EXPECT_EQ(SendMessageA(window, WM_CAP_DLG_VIDEOSOURCE, 0, 0), 1);
    EXPECT_EQ(seen, QStringLiteral("Videoquelle"));
    QTimer::singleShot(50, closeActive);
    EXPECT_EQ(SendMessageA(window, WM_CAP_DLG_VIDEOFORMAT, 0, 0), 1);
    EXPECT_EQ(seen, QStringLiteral("Videoformat"));
    delete window;
}
