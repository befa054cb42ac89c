#pragma once
// The driver's video-source dialog: one row per control of the device,
// changes apply at once, "Standardwerte" resets them all.

#include "platform/avicap/DeviceSettings.h"

#include <QDialog>

#include <functional>
#include <map>

namespace avicap {

class SourceDialog : public QDialog {
    Q_OBJECT
public:
    SourceDialog(ControlSet& controls, QWidget* parent);

private:
    void apply(std::uint32_t id, int value);
    void refresh();

    ControlSet& controls_;
    // How to show a control's current value in its widget.
    std::map<std::uint32_t, std::function<void(const ControlInfo&)>> show_;
};

} // namespace avicap
