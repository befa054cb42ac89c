#pragma once
// What the user set for each camera, kept in the program's settings file
// in a section per camera: the video format and the controls changed
// through the source dialog. Restored when that camera is opened again.
//
// Entries are read with suspicion: a section that belongs to another
// camera, a value that does not parse, or one the device refuses is passed
// over. A write that fails is told to the user once.

#include "camera/DeviceSettings.h"

#include <QElapsedTimer>
#include <QString>

#include <map>
#include <optional>
#include <string>

namespace camera {

class CameraMemory {
public:
    // The memory in the user's settings file.
    static CameraMemory& User();

    // The memory in an INI file of its own (tests).
    explicit CameraMemory(QString file);

    std::optional<FormatSetting> format(const std::string& camera) const;
    std::map<std::uint32_t, int> controls(const std::string& camera) const;

    void rememberFormat(const std::string& camera, const FormatSetting& format);
    void rememberControl(const std::string& camera, std::uint32_t id, int value);
    // Several at once, in one write of the file.
    void rememberControls(const std::string& camera, const std::map<std::uint32_t, int>& values);
    void forgetControls(const std::string& camera);

    // Puts the camera back as it was left: format, then controls (twice, as
    // an automatic mode set late can free a value refused before).
    void restore(const std::string& camera, ControlSet* controls, FormatSet* formats) const;

private:
    QString section(const std::string& camera) const;
    void written(int status);

    QString file_;
    bool failureTold_ = false;
};

// Dialogs' views of a camera's settings that remember what the user does.
// A slider dragged sets its control many times a second, and each write of
// the settings file goes to the disk: values that come quicker than
// WriteEvery are gathered and written together, the last ones at the latest
// when the view goes with its dialog.
class RememberingControls final : public ControlSet {
public:
    static constexpr int WriteEveryMs = 500;

    RememberingControls(ControlSet& inner, CameraMemory& memory, std::string camera)
        : inner_(inner), memory_(memory), camera_(std::move(camera))
    {}
    RememberingControls(const RememberingControls&) = delete;
    RememberingControls& operator=(const RememberingControls&) = delete;
    ~RememberingControls() override { write(); }

    std::vector<ControlInfo> list() override { return inner_.list(); }
    bool set(std::uint32_t id, int value) override;
    void reset() override;
    int changeHandle() override { return inner_.changeHandle(); }
    bool takeChanges() override { return inner_.takeChanges(); }

private:
    void write();

    ControlSet& inner_;
    CameraMemory& memory_;
    std::string camera_;
    std::map<std::uint32_t, int> unwritten_;
    QElapsedTimer sinceWrite_;
};

class RememberingFormats final : public FormatSet {
public:
    RememberingFormats(FormatSet& inner, CameraMemory& memory, std::string camera)
        : inner_(inner), memory_(memory), camera_(std::move(camera))
    {}
    std::vector<PixelFormatChoice> list() override { return inner_.list(); }
    FormatSetting current() override { return inner_.current(); }
    bool apply(const FormatSetting& setting) override;

private:
    FormatSet& inner_;
    CameraMemory& memory_;
    std::string camera_;
};

} // namespace camera
