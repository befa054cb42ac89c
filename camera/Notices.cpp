#include "camera/Notices.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

namespace camera {

namespace {

MessageSink& installedSink()
{
    static MessageSink sink;
    return sink;
}

} // namespace

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
    QMessageBox box(QMessageBox::Critical, QCoreApplication::translate("camera::Notices", "Kamera"), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace camera
