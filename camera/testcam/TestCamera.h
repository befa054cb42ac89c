#pragma once
// The built-in test camera: a driver that needs no hardware. It sends the
// test scene at 30 frames per second, in four sizes at 24 bits or as 8-bit
// grey with a colour table; its source settings are noise, flicker and
// motion. It can overlay (show frames in the capture window by itself).

#include "camera/Driver.h"
#include "camera/testcam/TestScene.h"

#include <QElapsedTimer>
#include <QTimer>

namespace camera {

class TestCamera final : public Driver {
public:
    static constexpr std::uint32_t NoiseControl = 1;
    static constexpr std::uint32_t FlickerControl = 2;
    static constexpr std::uint32_t MotionControl = 3;
    static constexpr int FramesPerSecond = 30;
    static constexpr int DefaultNoise = 30;
    static constexpr int DefaultFlicker = 30;

    explicit TestCamera(std::uint64_t seed);
    ~TestCamera() override;

    const std::vector<std::uint8_t>& format() const override { return format_; }
    bool hasOverlay() const override { return true; }
    bool start(FrameSink* sink) override;
    void stop() override;
    bool streaming() const override { return sink_ != nullptr; }
    bool takeFrame(Frame& frame) override;
    bool grab(Frame& frame) override;
    ControlSet* controls() override { return &controls_; }
    FormatSet* formats() override { return &formats_; }

private:
    class Controls final : public ControlSet {
    public:
        explicit Controls(TestScene& scene) : scene_(scene) {}
        std::vector<ControlInfo> list() override;
        bool set(std::uint32_t id, int value) override;
        void reset() override;

    private:
        TestScene& scene_;
    };

    class Formats final : public FormatSet {
    public:
        explicit Formats(TestCamera& camera) : camera_(camera) {}
        std::vector<PixelFormatChoice> list() override;
        FormatSetting current() override;
        bool apply(const FormatSetting& setting) override;

    private:
        TestCamera& camera_;
    };

    void tick();
    void makeFormat();

    TestScene scene_;
    Controls controls_{scene_};
    Formats formats_{*this};
    std::vector<std::uint8_t> format_;
    FrameSink* sink_ = nullptr;
    QTimer timer_;
    QElapsedTimer clock_;
    Frame ready_;
    bool fresh_ = false;
};

} // namespace camera
