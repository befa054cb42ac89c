// Stillwise: the program's entry.

#include "app/Autostart.h"
#include "app/Background.h"
#include "app/CameraOnDemand.h"
#include "app/CommandLine.h"
#include "app/DlgTreiber.h"
#include "app/ErrorHandlingApplication.h"
#include "app/Language.h"
#include "app/MainUnit.h"
#include "app/SelfCheck.h"
#include "app/SingleInstance.h"
#include "viewer/PrintFUnit.h"
#include "viewer/ViewPicFUnit.h"
#include "widgets/AboutBoxUnit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>
#include <QSystemTrayIcon>

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
    // The command line first: --help, --version and a mistaken option are
    // answered in the terminal, also where there is no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const QString program = QFileInfo(QString::fromLocal8Bit(argv[0])).fileName();
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(HelpText(program).toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(VersionText().toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Error:
        std::fputs(UsageErrorText(program, line.error).toLocal8Bit().constData(), stderr);
        return 2;
    case CommandLine::Action::Run:
        break;
    }

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

    // One Stillwise per session: a later start hands its options to the
    // running one and ends before it touches a camera. A self-check run
    // checks this program, not the one running, and stays on its own.
    SingleInstance instance;
    const SingleInstance::Claim claim =
        SelfCheckRequested() ? SingleInstance::Claim::Failed : instance.claim(line.options);
    switch (claim) {
    case SingleInstance::Claim::HandedOver:
        return 0;
    case SingleInstance::Claim::Failed:
        // Runs alone, unreachable for later starts.
        if (!instance.error().isEmpty())
            std::fputs((instance.error() + QLatin1Char('\n')).toLocal8Bit().constData(), stderr);
        break;
    case SingleInstance::Claim::First:
        break;
    }

    // The windows, in the order the program has always made them; only the
    // main window is shown. The others belong to the main window and go with it.
    // Started for the tray, the camera waits until something needs it.
    const auto mainForm = std::make_unique<TMainForm>(nullptr, !line.options.tray);
    new TAboutBox(mainForm.get());
    mainForm->ViewPicForm = new TViewPicForm(mainForm.get());
    new TPrintForm(mainForm.get());
    new TDlgEinstell(mainForm.get());

    AutostartEntry autostart;
    Background background(*mainForm, autostart, [] { return QSystemTrayIcon::isSystemTrayAvailable(); });
    QObject::connect(&instance, &SingleInstance::received, &background, &Background::apply);
    background.start(line.options);
    CameraOnDemand camera(*mainForm, line.options.tray);
    if (SelfCheckRequested())
        InstallSelfCheck(*mainForm, sinceStart);
    return QApplication::exec();
}
