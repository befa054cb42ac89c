#pragma once
// Texts out of V4L2 records: the fixed-size name fields (card, driver,
// control and menu names; FourccText, in camera/ControlNames.h, gives the
// codes of pixel formats); and the words for the error a device answers with.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace camera {

// A fixed-size field has no zero at its end when the text fills it.
std::string FieldText(const std::uint8_t* field, std::size_t size);

// Why a device call failed, for "(...)" in a German message: the common
// causes in our own words, which the C library gives in English unless the
// system speaks German; the system's text for the rest.
QString DeviceErrorText(int error);

} // namespace camera
