#include "camera/testcam/TestCamera.h"

#include <QCoreApplication>

#include <linux/videodev2.h>

#include <cstring>

namespace camera {

namespace {

constexpr int sizes[][2] = {{320, 240}, {640, 480}, {1280, 720}, {1920, 1080}};
constexpr FrameInterval frameInterval{1, TestCamera::FramesPerSecond};

} // namespace

TestCamera::TestCamera(std::uint64_t seed) : scene_(seed)
{
    scene_.setNoise(DefaultNoise);
    scene_.setFlicker(DefaultFlicker);
    makeFormat();
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(1000 / FramesPerSecond);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

TestCamera::~TestCamera()
{
    stop();
}

void TestCamera::makeFormat()
{
    const bool grey = scene_.pixels() == TestScene::Pixels::Grey8;
    const std::size_t entries = grey ? 256 : 0;
    format_.assign(sizeof(BITMAPINFOHEADER) + entries * sizeof(RGBQUAD), 0);
    BITMAPINFOHEADER h;
    h.biWidth = scene_.width();
    h.biHeight = scene_.height();
    h.biBitCount = grey ? 8 : 24;
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(scene_.imageBytes());
    h.biClrUsed = static_cast<DWORD>(entries);
    std::memcpy(format_.data(), &h, sizeof h);
    RGBQUAD* table = ColorTable(reinterpret_cast<BITMAPINFO*>(format_.data()));
    for (std::size_t i = 0; i < entries; ++i) {
        const auto v = static_cast<BYTE>(i);
        table[i] = RGBQUAD{v, v, v, 0};
    }
}

bool TestCamera::start(FrameSink* sink)
{
    sink_ = sink;
    fresh_ = false;
    clock_.start();
    timer_.start();
    return true;
}

void TestCamera::stop()
{
    timer_.stop();
    sink_ = nullptr;
    fresh_ = false;
}

void TestCamera::tick()
{
    scene_.render(ready_.bytes);
    ready_.timeMs = static_cast<std::uint32_t>(clock_.elapsed());
    fresh_ = true;
    if (sink_ != nullptr)
        sink_->frameReady();
}

bool TestCamera::takeFrame(Frame& frame)
{
    if (!fresh_)
        return false;
    std::swap(frame, ready_);
    fresh_ = false;
    return true;
}

bool TestCamera::grab(Frame& frame)
{
    scene_.render(frame.bytes);
    frame.timeMs = clock_.isValid() ? static_cast<std::uint32_t>(clock_.elapsed()) : 0;
    return true;
}

std::vector<ControlInfo> TestCamera::Controls::list()
{
    std::vector<ControlInfo> all(3);
    // clang-format off
    all[0] = {NoiseControl, ControlInfo::Kind::Integer, QCoreApplication::translate("camera::TestCamera", "Rauschen"), 0, 100, 1, DefaultNoise,
              scene_.noise(), {}, false};
    all[1] = {FlickerControl, ControlInfo::Kind::Integer, QCoreApplication::translate("camera::TestCamera", "Flackern"), 0, 100, 1, DefaultFlicker,
              scene_.flicker(), {}, false};
    all[2] = {MotionControl, ControlInfo::Kind::Boolean, QCoreApplication::translate("camera::TestCamera", "Bewegung"), 0, 1, 1, 1,
              scene_.motion() ? 1 : 0, {}, false};
    // clang-format on
    return all;
}

bool TestCamera::Controls::set(std::uint32_t id, int value)
{
    switch (id) {
    case NoiseControl:
        scene_.setNoise(value);
        return true;
    case FlickerControl:
        scene_.setFlicker(value);
        return true;
    case MotionControl:
        scene_.setMotion(value != 0);
        return true;
    default:
        return false;
    }
}

void TestCamera::Controls::reset()
{
    scene_.setNoise(DefaultNoise);
    scene_.setFlicker(DefaultFlicker);
    scene_.setMotion(true);
}

std::vector<PixelFormatChoice> TestCamera::Formats::list()
{
    std::vector<PixelFormatChoice> all = {
        {V4L2_PIX_FMT_BGR24, QCoreApplication::translate("camera::TestCamera", "RGB, 24 Bit"), {}},
        {V4L2_PIX_FMT_GREY, QCoreApplication::translate("camera::TestCamera", "Graustufen, 8 Bit"), {}}};
    for (PixelFormatChoice& choice : all)
        for (const auto& size : sizes)
            choice.sizes.push_back({size[0], size[1], {frameInterval}});
    return all;
}

FormatSetting TestCamera::Formats::current()
{
    const TestScene& scene = camera_.scene_;
    return {scene.pixels() == TestScene::Pixels::Grey8 ? V4L2_PIX_FMT_GREY : V4L2_PIX_FMT_BGR24, scene.width(),
            scene.height(), frameInterval};
}

bool TestCamera::Formats::apply(const FormatSetting& setting)
{
    if (setting.fourcc != V4L2_PIX_FMT_BGR24 && setting.fourcc != V4L2_PIX_FMT_GREY)
        return false;
    bool known = false;
    for (const auto& size : sizes)
        known = known || (size[0] == setting.width && size[1] == setting.height);
    if (!known || !(setting.interval == frameInterval || setting.interval == FrameInterval{}))
        return false;
    camera_.scene_.setFormat(setting.width, setting.height,
                             setting.fourcc == V4L2_PIX_FMT_GREY ? TestScene::Pixels::Grey8 : TestScene::Pixels::Bgr24);
    camera_.makeFormat();
    // A frame made before the change no longer fits.
    camera_.fresh_ = false;
    return true;
}

} // namespace camera
