#include "camera/v4l2/V4l2Text.h"

#include "camera/v4l2/DeviceGone.h"

#include <cerrno>
#include <cstring>

namespace camera {

std::string FieldText(const std::uint8_t* field, std::size_t size)
{
    const auto* text = reinterpret_cast<const char*>(field);
    return std::string(text, strnlen(text, size));
}

QString DeviceErrorText(int error)
{
    if (DeviceGone(error))
        return QStringLiteral("das Gerät ist nicht mehr da");
    switch (error) {
    case EBUSY:
        return QStringLiteral("das Gerät ist belegt");
    case EACCES:
    case EPERM:
        return QStringLiteral("kein Zugriff auf das Gerät");
    case ENOTTY:
    case EOPNOTSUPP:
        return QStringLiteral("das Gerät kann das nicht");
    case EINVAL:
        // Also a stream that is not (or no longer) running: the words
        // must fit both.
        return QStringLiteral("das Gerät weist die Anfrage zurück");
    case ENOMEM:
        return QStringLiteral("nicht genug Speicher");
    case EAGAIN:
        return QStringLiteral("das Gerät ist gerade nicht bereit");
    case EIO:
        return QStringLiteral("Übertragungsfehler");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace camera
