#pragma once
// The driver's video-format dialog: pixel format, frame size and frame rate
// the device offers; "OK" applies the choice.

#include "camera/DeviceSettings.h"

#include <QDialog>

class QComboBox;

namespace camera {

class FormatDialog : public QDialog {
    Q_OBJECT
public:
    FormatDialog(FormatSet& formats, QWidget* parent);

    // The setting the dialog shows.
    FormatSetting chosen() const;

    void accept() override;

private:
    void fillSizes(const FormatSetting& want);
    void fillRates(const FormatSetting& want);
    const PixelFormatChoice* pixelFormat() const;
    const FrameSizeChoice* frameSize() const;

    FormatSet& formats_;
    std::vector<PixelFormatChoice> choices_;
    QComboBox* formatBox_;
    QComboBox* sizeBox_;
    QComboBox* rateBox_;
};

} // namespace camera
