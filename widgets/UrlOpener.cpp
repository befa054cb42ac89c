#include "widgets/UrlOpener.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMessageBox>
#include <QString>
#include <QUrl>

#include <utility>

namespace url_opener {

namespace {
Opener& Current()
{
    static Opener opener;
    return opener;
}

Notice& CurrentNotice()
{
    static Notice notice;
    return notice;
}

void showWarning(QWidget* owner, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::translate("UrlOpener", "Öffnen nicht möglich"), text,
                    QMessageBox::Ok, owner);
    box.exec();
}
} // namespace

bool Open(const QUrl& url)
{
    if (Current())
        return Current()(url);
    return QDesktopServices::openUrl(url);
}

QString CannotOpenText(const QUrl& url)
{
    // Qt hands addresses to xdg-open; without it, or without any program
    // behind it, nothing opens and Qt only warns on stderr.
    const QString hint = QCoreApplication::translate(
        "UrlOpener", "Auf diesem Rechner ist kein Programm eingerichtet, das sie öffnen kann. "
                     "Stillwise öffnet Dateien und Adressen mit „xdg-open“ aus dem Paket "
                     "xdg-utils; ist es installiert und ein Programm dafür eingerichtet?");
    if (url.isLocalFile()) {
        return QCoreApplication::translate("UrlOpener",
                                           "Die Datei „%1“ ist gespeichert, ließ sich aber nicht öffnen.\n\n%2")
            .arg(QDir::toNativeSeparators(url.toLocalFile()), hint);
    }
    return QCoreApplication::translate("UrlOpener", "Die Adresse %1 ließ sich nicht im Webbrowser öffnen.\n\n%2")
        .arg(url.toDisplayString(), hint);
}

bool OpenOrSay(QWidget* owner, const QUrl& url)
{
    if (Open(url))
        return true;
    const QString text = CannotOpenText(url);
    if (CurrentNotice())
        CurrentNotice()(owner, text);
    else
        showWarning(owner, text);
    return false;
}

Opener SetOpener(Opener opener)
{
    return std::exchange(Current(), std::move(opener));
}

Notice SetNotice(Notice notice)
{
    return std::exchange(CurrentNotice(), std::move(notice));
}

} // namespace url_opener
