#include "platform/avicap/avicap.h"

#include <QApplication>
#include <QMessageBox>

namespace avicap {

namespace {

QString& lastConnectError()
{
    static QString text;
    return text;
}

MessageSink& installedSink()
{
    static MessageSink sink;
    return sink;
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

void SetMessageSink(MessageSink sink)
{
    installedSink() = std::move(sink);
}

void ReportToUser(const QString& text)
{
    if (installedSink()) {
        installedSink()(text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Kamera"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

} // namespace avicap
