// Message boxes of the device layer: modal, one OK button, no owner.

#include "platform/gdi/Gdi.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace gdi {

namespace {

// The callers pass their German texts marked for the context
// "gdi::MessageBox"; they are put into the user's language here, where they
// are shown. A text without a translation shows as it is.
int showModal(const char* text, const char* caption, UINT)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return IDOK;
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::translate("gdi::MessageBox", caption),
                    QCoreApplication::translate("gdi::MessageBox", text), QMessageBox::Ok);
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
    const char* shownCaption = caption ? caption : QT_TRANSLATE_NOOP("gdi::MessageBox", "Fehler");
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
