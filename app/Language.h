#pragma once
// The program speaks German, also in what Qt draws itself (file and print
// dialogs, message box buttons, context menus), and writes numbers the
// German way.

class QCoreApplication;

// Loads Qt's German translations into the application (once) and makes the
// German locale the default. Answers whether the translations were found.
bool InstallGermanLanguage(QCoreApplication& app);
