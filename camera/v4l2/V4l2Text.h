#pragma once
// Texts out of V4L2 records: the fixed-size name fields (card, driver,
// control and menu names) and the four-character codes of pixel formats;
// and the words for the error a device answers with.

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

// Why a device call failed, for "(...)" in a German message: the common
// causes in our own words, which the C library gives in English unless the
// system speaks German; the system's text for the rest.
QString DeviceErrorText(int error);

} // namespace camera
