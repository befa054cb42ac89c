// Stillwise: the program's entry.

#include "app/DlgTreiber.h"
#include "app/ErrorHandlingApplication.h"
#include "app/Language.h"
#include "app/MainUnit.h"
#include "app/SelfCheck.h"
#include "viewer/PrintFUnit.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/AboutBoxUnit.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

bool HasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0')
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Without a display Qt would abort; say what is missing instead.
    if (!HasDisplay()) {
        const QString text = TranslateEarly(
            "main", QT_TRANSLATE_NOOP("main", "Stillwise braucht eine grafische Oberfläche, findet "
                                              "aber keine: weder DISPLAY (X11) noch WAYLAND_DISPLAY "
                                              "(Wayland) ist gesetzt.\nStarten Sie Stillwise in "
                                              "einer Desktop-Sitzung, oder geben Sie mit "
                                              "QT_QPA_PLATFORM an, wo es erscheinen soll (z. B. "
                                              "QT_QPA_PLATFORM=offscreen).\n"));
        std::fputs(text.toUtf8().constData(), stderr);
        return 2;
    }

    QElapsedTimer sinceStart;
    sinceStart.start();
    ErrorHandlingApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Stillwise"));
    // Lets the desktop match the windows to the menu entry and its icon (the
    // Wayland app id); the name of packaging/example.stillwise.stillwise.desktop.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.stillwise.stillwise"));

    InstallLanguage(app, LanguageFromEnvironment());

    // The windows, in the order the program has always made them; only the
    // main window is shown. The others belong to the main window and go with it.
    const auto mainForm = std::make_unique<TMainForm>();
    new TAboutBox(mainForm.get());
    mainForm->ViewPicForm = new TViewPicForm(mainForm.get());
    new TPrintForm(mainForm.get());
    new TDlgEinstell(mainForm.get());

    mainForm->show();
    if (SelfCheckRequested())
        InstallSelfCheck(*mainForm, sinceStart);
    return QApplication::exec();
}
