#pragma once
// The program's own names (German source texts, put into the user's
// language through Qt's translations) for what a V4L2 device names in English: its standard
// controls, their menu entries, the control classes the source dialog shows
// as tabs, and the standard pixel formats and their codes. Anything not listed keeps the
// device's own text.

#include <QString>

#include <cstdint>

namespace camera {

QString GermanControlName(std::uint32_t id, const QString& deviceName);
QString GermanMenuItem(std::uint32_t id, int index, const QString& deviceText);
// The tab title for a control class (the class bits of a control id).
QString ControlGroupName(std::uint32_t controlClass);
QString GermanPixelFormatName(std::uint32_t fourcc, const QString& deviceText);

// A pixel format's code for messages: "YUYV", "Y16"; bytes that are no
// printable ASCII show as '?'.
QString FourccText(std::uint32_t fourcc);

} // namespace camera
