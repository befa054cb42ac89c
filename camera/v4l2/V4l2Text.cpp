#include "camera/v4l2/V4l2Text.h"

#include <cstring>

namespace camera {

std::string FieldText(const std::uint8_t* field, std::size_t size)
{
    const auto* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

QString FourccText(std::uint32_t fourcc)
{
    QString text;
    for (int i = 0; i < 4; ++i) {
        const char c = static_cast<char>((fourcc >> (8 * i)) & 0x7f);
        text += c >= ' ' ? QChar(c) : QChar('?');
    }
    return text.trimmed();
}

} // namespace camera
