#include "platform/avicap/CaptureApi.h"

namespace avicap {

namespace {

QString& lastConnectError()
{
    static QString text;
    return text;
}

} // namespace

QString LastConnectError()
{
    return lastConnectError();
}

void SetLastConnectError(const QString& text)
{
    lastConnectError() = text;
}

} // namespace avicap
