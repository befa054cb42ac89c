#pragma once
// The models behind a driver's own dialogs, usable without any dialog: the
// source settings (controls such as brightness) and the video formats.

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace camera {

struct ControlInfo {
    enum class Kind { Integer, Boolean, Menu, Button };
    std::uint32_t id = 0;
    Kind kind = Kind::Integer;
    QString name;
    int minimum = 0;
    int maximum = 0;
    int step = 1;
    int defaultValue = 0;
    int value = 0;
    std::vector<std::pair<int, QString>> items; // menu: value and its text
    std::uint32_t group = 0;                    // the control class; controls of one class share a tab
    bool readOnly = false;                      // shown, never changeable (read-only, or held by another program)
    bool inactive = false;                      // changeable, but without effect now (an automatic mode rules it)
};

class ControlSet {
public:
    virtual ~ControlSet() = default;
    virtual std::vector<ControlInfo> list() = 0;
    // Applies at once; a button ignores the value and is pressed.
    virtual bool set(std::uint32_t id, int value) = 0;
    // Every control back to its default value.
    virtual void reset() = 0;

    // A descriptor that raises an exceptional condition (POLLPRI) when a
    // control changes on the device, for a dialog to follow it; -1 when the
    // device tells nothing.
    virtual int changeHandle() { return -1; }
    // Takes the waiting change notices; true when there were any.
    virtual bool takeChanges() { return false; }
};

// Time between two frames as a fraction of a second.
struct FrameInterval {
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 0;
    bool operator==(const FrameInterval&) const = default;
};

struct FrameSizeChoice {
    int width = 0;
    int height = 0;
    std::vector<FrameInterval> intervals; // may be empty: the device sets its own
};

struct PixelFormatChoice {
    std::uint32_t fourcc = 0;
    QString description;
    std::vector<FrameSizeChoice> sizes;
};

// Pixel formats are named by their four-character codes, as V4L2 names
// them, whatever the back-end.
constexpr std::uint32_t FourCC(char a, char b, char c, char d)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(d)) << 24;
}
// 24-bit BGR, the format every frame reaches the program in.
inline constexpr std::uint32_t FourccBgr24 = FourCC('B', 'G', 'R', '3');

struct FormatSetting {
    std::uint32_t fourcc = 0;
    int width = 0;
    int height = 0;
    FrameInterval interval; // 0/0: leave as it is
    bool operator==(const FormatSetting&) const = default;
};

class FormatSet {
public:
    virtual ~FormatSet() = default;
    virtual std::vector<PixelFormatChoice> list() = 0;
    virtual FormatSetting current() = 0;
    // Sets the format; a running stream goes on in the new format. False
    // when the device refuses it (the old format then stays).
    virtual bool apply(const FormatSetting& setting) = 0;
    // Why the last apply() was refused, in German, when the reason is
    // known beyond "the device does not take it".
    virtual QString refusal() const { return {}; }
};

// "30 Bilder/s", "12,5 Bilder/s".
QString FrameRateText(const FrameInterval& interval);

} // namespace camera
