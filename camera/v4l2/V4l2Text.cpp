#include "camera/v4l2/V4l2Text.h"

#include "camera/v4l2/DeviceGone.h"

#include <QCoreApplication>

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
        return QCoreApplication::translate("camera::V4l2Text", "das Gerät ist nicht mehr da");
    switch (error) {
    case EBUSY:
        return QCoreApplication::translate("camera::V4l2Text", "das Gerät ist belegt");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("camera::V4l2Text", "kein Zugriff auf das Gerät");
    case ENOTTY:
    case EOPNOTSUPP:
        return QCoreApplication::translate("camera::V4l2Text", "das Gerät kann das nicht");
    case EINVAL:
        // Also a stream that is not (or no longer) running: the words
        // must fit both.
        return QCoreApplication::translate("camera::V4l2Text", "das Gerät weist die Anfrage zurück");
    case ENOMEM:
        return QCoreApplication::translate("camera::V4l2Text", "nicht genug Speicher");
    case EAGAIN:
        return QCoreApplication::translate("camera::V4l2Text", "das Gerät ist gerade nicht bereit");
    case EIO:
        return QCoreApplication::translate("camera::V4l2Text", "Übertragungsfehler");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

} // namespace camera
