#pragma once
// A simulated webcam with the control set of a well-equipped camera: the
// standard picture and camera controls (under their English driver names),
// a read-only one, an inactive one ruled by its automatic mode, and enough
// maker-specific extras to make about sixty.

#include "tests/camera/SimulatedV4l2.h"

#include <cstring>
#include <string>

namespace simv4l2 {

inline Control MakeControl(std::uint32_t id, std::uint32_t type, const char* name, int min, int max, int def,
                           std::uint32_t flags = 0, std::vector<std::string> menu = {})
{
    Control c{};
    c.query.id = id;
    c.query.type = type;
    std::strncpy(reinterpret_cast<char*>(c.query.name), name, sizeof c.query.name - 1);
    c.query.minimum = min;
    c.query.maximum = max;
    c.query.step = 1;
    c.query.default_value = def;
    c.query.flags = flags;
    c.value = def;
    c.menu = std::move(menu);
    return c;
}

inline Camera ManyControlCamera()
{
    Camera c = MakeCamera("/dev/video0");
    c.card = "Vielregler-Kamera";
    c.controls.clear();
    const std::uint32_t I = V4L2_CTRL_TYPE_INTEGER, B = V4L2_CTRL_TYPE_BOOLEAN, M = V4L2_CTRL_TYPE_MENU;
    auto add = [&c](Control k) { c.controls.push_back(std::move(k)); };
    add(MakeControl(V4L2_CID_BRIGHTNESS, I, "Brightness", -64, 64, 0));
    add(MakeControl(V4L2_CID_CONTRAST, I, "Contrast", 0, 95, 32));
    add(MakeControl(V4L2_CID_SATURATION, I, "Saturation", 0, 100, 55));
    add(MakeControl(V4L2_CID_HUE, I, "Hue", -2000, 2000, 0));
    add(MakeControl(V4L2_CID_AUDIO_VOLUME, I, "Volume", 0, 100, 80));
    add(MakeControl(V4L2_CID_AUDIO_MUTE, B, "Mute", 0, 1, 0));
    add(MakeControl(V4L2_CID_AUTO_WHITE_BALANCE, B, "White Balance, Automatic", 0, 1, 1));
    add(MakeControl(V4L2_CID_GAMMA, I, "Gamma", 100, 300, 100));
    add(MakeControl(V4L2_CID_AUTOGAIN, B, "Gain, Automatic", 0, 1, 1));
    add(MakeControl(V4L2_CID_GAIN, I, "Gain", 0, 255, 0, V4L2_CTRL_FLAG_INACTIVE));
    add(MakeControl(V4L2_CID_HFLIP, B, "Horizontal Flip", 0, 1, 0));
    add(MakeControl(V4L2_CID_VFLIP, B, "Vertical Flip", 0, 1, 0));
    add(MakeControl(V4L2_CID_POWER_LINE_FREQUENCY, M, "Power Line Frequency", 0, 3, 1, 0,
                    {"Disabled", "50 Hz", "60 Hz", "Auto"}));
    add(MakeControl(V4L2_CID_WHITE_BALANCE_TEMPERATURE, I, "White Balance Temperature", 2800, 6500, 4600,
                    V4L2_CTRL_FLAG_INACTIVE));
    add(MakeControl(V4L2_CID_SHARPNESS, I, "Sharpness", 0, 7, 2));
    add(MakeControl(V4L2_CID_BACKLIGHT_COMPENSATION, I, "Backlight Compensation", 0, 2, 1));
    add(MakeControl(V4L2_CID_MIN_BUFFERS_FOR_CAPTURE, I, "Min Number of Capture Buffers", 1, 32, 2,
                    V4L2_CTRL_FLAG_READ_ONLY));
    // Maker-specific user controls keep their own names.
    for (int i = 0; i < 25; ++i) {
        const std::string name = "Vendor Tuning " + std::to_string(i + 1);
        add(MakeControl(V4L2_CID_USER_BASE + 0x1000 + i, I, name.c_str(), 0, 1000, 500));
    }
    add(MakeControl(V4L2_CID_EXPOSURE_AUTO, M, "Auto Exposure", 0, 3, 3, 0,
                    {"Auto Mode", "Manual Mode", "Shutter Priority Mode", "Aperture Priority Mode"}));
    add(MakeControl(V4L2_CID_EXPOSURE_ABSOLUTE, I, "Exposure Time, Absolute", 3, 2047, 250, V4L2_CTRL_FLAG_INACTIVE));
    add(MakeControl(V4L2_CID_EXPOSURE_AUTO_PRIORITY, B, "Exposure, Dynamic Framerate", 0, 1, 0));
    add(MakeControl(V4L2_CID_FOCUS_AUTO, B, "Focus, Automatic Continuous", 0, 1, 1));
    add(MakeControl(V4L2_CID_FOCUS_ABSOLUTE, I, "Focus, Absolute", 0, 250, 0, V4L2_CTRL_FLAG_INACTIVE));
    add(MakeControl(V4L2_CID_ZOOM_ABSOLUTE, I, "Zoom, Absolute", 100, 500, 100));
    add(MakeControl(V4L2_CID_PAN_ABSOLUTE, I, "Pan, Absolute", -36000, 36000, 0));
    add(MakeControl(V4L2_CID_TILT_ABSOLUTE, I, "Tilt, Absolute", -36000, 36000, 0));
    add(MakeControl(V4L2_CID_PRIVACY, B, "Privacy", 0, 1, 0));
    for (int i = 0; i < 8; ++i) {
        const std::string name = "Camera Extra " + std::to_string(i + 1);
        add(MakeControl(V4L2_CID_CAMERA_CLASS_BASE + 0x800 + i, I, name.c_str(), 0, 10, 5));
    }
    add(MakeControl(V4L2_CID_TEST_PATTERN, M, "Test Pattern", 0, 1, 0, 0, {"Off", "Bars"}));
    add(MakeControl(V4L2_CID_JPEG_COMPRESSION_QUALITY, I, "Compression Quality", 1, 100, 80));
    return c;
}

} // namespace simv4l2
