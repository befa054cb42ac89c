// Message boxes of the device layer: modal, one OK button, no owner.

#include "platform/gdi/Gdi.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace gdi {

namespace {

int showModal(const char* text, const char* caption, UINT)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return IDOK;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(caption), QString::fromUtf8(text), QMessageBox::Ok);
    box.exec();
    return IDOK;
}

MessageBoxSink& sink()
{
    static MessageBoxSink s;
    return s;
}

} // namespace

int MessageBoxA(const void*, const char* text, const char* caption, UINT type)
{
    const char* shownCaption = caption ? caption : "Fehler";
    const char* shownText = text ? text : "";
    if (sink())
        return sink()(shownText, shownCaption, type);
    return showModal(shownText, shownCaption, type);
}

MessageBoxSink SetMessageBoxSink(MessageBoxSink replacement)
{
    MessageBoxSink previous = std::move(sink());
    sink() = std::move(replacement);
    return previous;
}

} // namespace gdi
