#include "viewer/SavePictureDialog.h"

#include "viewer/DesktopShell.h"
#include "viewer/PictureFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// What the dialog proposes: where the user saved last, else the pictures
// folder, else the home folder.
struct Proposal {
    QString folder;
    PictureFormat format;
};

Proposal& proposal()
{
    static Proposal p = [] {
        QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            folder = QDir::homePath();
        return Proposal{folder, PictureFormat::Png};
    }();
    return p;
}

} // namespace

QString SavePictureAs(QWidget* owner, const DIB& picture)
{
    Proposal& last = proposal();
    QString proposed = QDir(last.folder)
                           .filePath(QCoreApplication::translate("SavePictureDialog", "Schnappschuss",
                                                                 "the proposed file name") +
                                     QLatin1Char('.') + SuffixFor(last.format));
    for (;;) {
        QString filter = FilterFor(last.format);
        QString fileName = desktop::CurrentShell().saveFileName(
            owner, QCoreApplication::translate("SavePictureDialog", "Schnappschuß speichern"), proposed,
            PictureFileFilters(), &filter);
        if (fileName.isEmpty())
            return {};
        const PictureFormat format = FormatForFile(fileName, filter);
        if (QFileInfo(fileName).suffix().isEmpty())
            fileName += QLatin1Char('.') + SuffixFor(format);
        last.format = format;

        QString reason;
        if (WritePictureFile(picture, fileName, format, &reason)) {
            last.folder = QFileInfo(fileName).absolutePath();
            return fileName;
        }
        desktop::CurrentShell().message(
            owner, QMessageBox::Warning, QCoreApplication::translate("SavePictureDialog", "Speichern nicht möglich"),
            QCoreApplication::translate("SavePictureDialog",
                                        "Das Bild konnte nicht in der Datei „%1“ gespeichert werden.\n\n%2\n\n"
                                        "Bitte wählen Sie einen anderen Ort oder Namen.")
                .arg(QDir::toNativeSeparators(fileName), reason));
        proposed = fileName;
    }
}
