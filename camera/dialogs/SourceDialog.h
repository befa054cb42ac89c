#pragma once
// The driver's video-source dialog: the device's controls on one tab per
// control class ("Bild", "Kamera", ...), each tab scrolling on its own so
// that the dialog fits the screen with its buttons in view. Changes apply
// at once; "Standardwerte" resets them all. Controls an automatic mode
// rules are greyed and follow the device while the dialog is open.

#include "camera/DeviceSettings.h"

#include <QDialog>

#include <functional>
#include <map>

class QSocketNotifier;
class QTabWidget;

namespace camera {

class SourceDialog : public QDialog {
    Q_OBJECT
public:
    SourceDialog(ControlSet& controls, QWidget* parent);

    QTabWidget* tabs() const { return tabs_; }

private:
    void apply(std::uint32_t id, int value);
    void refresh();
    void fitToScreen();
    void followDevice();

    ControlSet& controls_;
    QTabWidget* tabs_ = nullptr;
    QSocketNotifier* changes_ = nullptr;
    // How to show a control's current value and state in its widgets.
    std::map<std::uint32_t, std::function<void(const ControlInfo&)>> show_;
};

} // namespace camera
