#pragma once
// Texts out of V4L2 records: the fixed-size name fields (card, driver,
// control and menu names) and the four-character codes of pixel formats.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace camera {

// A fixed-size field has no zero at its end when the text fills it.
std::string FieldText(const std::uint8_t* field, std::size_t size);

// A pixel format's code for messages: "YUYV", "Y16"; bytes that are no
// printable ASCII show as '?'.
QString FourccText(std::uint32_t fourcc);

} // namespace camera
