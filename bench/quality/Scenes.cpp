#include "bench/quality/Scenes.h"

#include "bench/quality/CallScene.h"
#include "bench/quality/Imagery.h"
#include "camera/testcam/TestScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace quality {

namespace {

// Room around the frame in the world for pans and shakes, and the two taps
// the interpolation reads beyond its edge.
constexpr int margin = 8;
constexpr double panX = 0.7, panY = 0.25;
constexpr std::uint64_t worldSeed = 20240611;

// The subject swings to and fro across the middle, bobbing a little; at
// 640 pixels across it moves up to 8 pixels a frame.
void subjectAt(int t, Size size, int diameter, double pace, double& x, double& y)
{
    const double phase = 2.0 * std::numbers::pi * t / 150.0 * pace;
    x = size.width * (0.5 + 0.3 * std::sin(phase)) - diameter / 2.0;
    y = size.height * (0.42 + 0.08 * std::sin(2.0 * phase)) - diameter / 2.0;
}

Clip testCameraClip(Size size, int frames)
{
    camera::TestScene scene(5);
    scene.setFormat(size.width, size.height, camera::TestScene::Pixels::Bgr24);
    scene.setNoise(0);
    scene.setFlicker(0);
    scene.setMotion(true);
    Clip clip{size, {}};
    std::vector<std::uint8_t> bits;
    const std::size_t row = static_cast<std::size_t>(size.width) * 3;
    for (int t = 0; t < frames; ++t) {
        scene.render(bits);
        std::vector<std::uint8_t> frame(clip.frameBytes());
        for (int y = 0; y < size.height; ++y)
            std::memcpy(frame.data() + y * row, bits.data() + static_cast<std::size_t>(size.height - 1 - y) * scene.stride(), row);
        clip.frames.push_back(std::move(frame));
    }
    return clip;
}

} // namespace

const std::vector<std::string>& SceneNames()
{
    static const std::vector<std::string> names{"still", "subject", "pan", "shake", "light", "dark", "testcam", "face"};
    return names;
}

Clip MakeScene(const std::string& name, Size size, int frames)
{
    if (std::find(SceneNames().begin(), SceneNames().end(), name) == SceneNames().end())
        throw Error("Unbekannte Szene „" + name + "“");
    if (frames <= 0)
        throw Error("Eine Szene braucht mindestens ein Bild");
    if (name == "testcam")
        return testCameraClip(size, frames);
    if (name == "face")
        return MakeCallScene(size, frames, worldSeed + 20);

    const int worldWidth = size.width + 2 * margin + static_cast<int>(std::ceil(panX * frames));
    const int worldHeight = size.height + 2 * margin + static_cast<int>(std::ceil(panY * frames));
    const Picture world = MakeWorld(worldWidth, worldHeight, worldSeed);
    const int diameter = std::max(8, size.height * 2 / 5);

    Clip clip{size, {}};
    Picture frame(size.width, size.height);
    double shakeX = 0.0, shakeY = 0.0;
    std::uint64_t shakeState = 99;
    auto shakeStep = [&shakeState] {
        // A hand's tremor: random steps, half remembered from frame to frame.
        shakeState = shakeState * 6364136223846793005ull + 1442695040888963407ull;
        return ((shakeState >> 11) * 0x1.0p-53 - 0.5) * 8.0;
    };
    for (int t = 0; t < frames; ++t) {
        double x = margin, y = margin;
        float gain = 1.0f, offset = 0.0f;
        if (name == "pan") {
            x += panX * t;
            y += panY * t;
        } else if (name == "shake") {
            shakeX = 0.5 * shakeX + 0.5 * shakeStep();
            shakeY = 0.5 * shakeY + 0.5 * shakeStep();
            x += shakeX;
            y += shakeY;
        } else if (name == "light") {
            // Fading over the first half, holding, then a lamp switched on.
            const double half = frames / 2.0;
            gain = t < half ? static_cast<float>(1.0 - 0.4 * t / half) : t < frames * 2 / 3 ? 0.6f : 1.1f;
        } else if (name == "dark") {
            gain = 0.16f;
            offset = 14.0f;
        }
        // Still frames come from the world unchanged; only moving ones are resampled.
        CutFrame(world, x, y, frame);
        if (name == "subject" || name == "dark") {
            double sx = 0, sy = 0;
            const double pace = name == "dark" ? 0.4 : 1.0;
            subjectAt(t, size, diameter, pace, sx, sy);
            // It turns and its cloth bends as it goes.
            const double turn = 0.6 * std::sin(2.0 * std::numbers::pi * t / 90.0 * pace);
            Overlay(frame, MakeSubject(diameter, worldSeed + 10, turn), sx, sy, 1.0f);
        }
        clip.frames.push_back(ToBytes(frame, gain, offset));
    }
    return clip;
}

} // namespace quality
