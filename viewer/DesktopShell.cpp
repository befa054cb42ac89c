#include "viewer/DesktopShell.h"

#include <QFileDialog>
#include <QFileInfo>

namespace desktop {

namespace {
Shell* installed = nullptr;

// The file-name extension (without the dot) of a filter such as
// "PNG-Bild (*.png)": the first pattern's.
QString suffixOfFilter(const QString& filter)
{
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (star < 0)
        return {};
    qsizetype end = star + 2;
    while (end < filter.size() && filter[end].isLetterOrNumber())
        ++end;
    return filter.mid(star + 2, end - star - 2);
}
} // namespace

QString Shell::saveFileName(QWidget* owner, const QString& caption, const QString& proposedPath,
                            const QStringList& filters, QString* selectedFilter)
{
    QFileDialog dialog(owner, caption);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    QString filter = selectedFilter != nullptr && filters.contains(*selectedFilter) ? *selectedFilter
                                                                                   : filters.value(0);
    dialog.selectNameFilter(filter);
    // A name typed without an extension gets the chosen type's, before the
    // dialog asks whether to overwrite it.
    dialog.setDefaultSuffix(suffixOfFilter(filter));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& f) { dialog.setDefaultSuffix(suffixOfFilter(f)); });
    const QFileInfo proposed(proposedPath);
    dialog.setDirectory(proposed.absolutePath());
    dialog.selectFile(proposed.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    if (selectedFilter != nullptr)
        *selectedFilter = dialog.selectedNameFilter();
    return dialog.selectedFiles().constFirst();
}

void Shell::message(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
    box.exec();
}

Shell& CurrentShell()
{
    static Shell real;
    return installed != nullptr ? *installed : real;
}

void SetShell(Shell* shell)
{
    installed = shell;
}

} // namespace desktop
