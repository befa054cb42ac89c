#pragma once
// What the program asks of the desktop around it besides opening addresses
// (widgets/UrlOpener.h): a file name to save to, and telling the user
// something in a message box. The program uses the real desktop; tests
// install a scripted one so that nothing blocks.

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace desktop {

class Shell {
public:
    virtual ~Shell() = default;

    // A modal save dialog: proposes `proposedPath`, offers `filters` (the
    // first preselected unless *selectedFilter names another), asks before
    // overwriting. Answers the chosen path, empty when cancelled; the
    // filter in use is written to *selectedFilter.
    virtual QString saveFileName(QWidget* owner, const QString& caption, const QString& proposedPath,
                                 const QStringList& filters, QString* selectedFilter);

    // A modal message box with one OK button.
    virtual void message(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text);
};

// The shell in use. SetShell(nullptr) restores the real desktop; the caller
// keeps ownership of what it installs.
Shell& CurrentShell();
void SetShell(Shell* shell);

} // namespace desktop
