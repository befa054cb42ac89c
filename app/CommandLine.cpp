#include "app/CommandLine.h"

#include "app/Language.h"

#include <QtGlobal>

#include <algorithm>
#include <array>

#ifndef STILLWISE_VERSION
#error "STILLWISE_VERSION is set by app/CMakeLists.txt"
#endif

namespace {

// Qt's own command-line options: they are meant for the application
// object, which takes them out of the list itself. Each is written with
// one dash or two; those in the first list take a value, as the next
// argument or after '='.
constexpr std::array QtOptionsWithValue = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "qwindowgeometry", "qwindowicon", "qwindowtitle", "session",
                                           "display", "name", "title", "geometry", "style", "stylesheet",
                                           "qmljsdebugger"};
constexpr std::array QtOptionsAlone = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

template <std::size_t N>
bool Among(const std::array<const char*, N>& names, const QString& name)
{
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return name == QLatin1String(n); });
}

QString Say(const char* german)
{
    return TranslateEarly("CommandLine", german);
}

CommandLine Failure(QString why)
{
    CommandLine line;
    line.action = CommandLine::Action::Error;
    line.error = std::move(why);
    return line;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--") && !optionsEnded) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-"))
            return Failure(
                Say(QT_TRANSLATE_NOOP("CommandLine", "Unerwartetes Argument „%1“: Stillwise öffnet keine Dateien."))
                    .arg(argument));
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.action = CommandLine::Action::Help;
            return line;
        }
        if (argument == QLatin1String("--version")) {
            line.action = CommandLine::Action::Version;
            return line;
        }
        if (argument == QLatin1String("--webcam")) {
            line.options.webcam = true;
            continue;
        }
        if (argument == QLatin1String("--tray")) {
            line.options.tray = true;
            continue;
        }
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool valueAttached = equals >= 0;
        if (valueAttached)
            name.truncate(equals);
        if (Among(QtOptionsAlone, name) && !valueAttached)
            continue;
        if (Among(QtOptionsWithValue, name)) {
            if (valueAttached)
                continue;
            if (i + 1 < arguments.size()) {
                ++i;
                continue;
            }
            return Failure(Say(QT_TRANSLATE_NOOP("CommandLine", "Der Option „%1“ fehlt ihr Wert.")).arg(argument));
        }
        return Failure(Say(QT_TRANSLATE_NOOP("CommandLine", "Unbekannte Option „%1“.")).arg(argument));
    }
    return line;
}

QString HelpText(const QString& program)
{
    return Say(QT_TRANSLATE_NOOP("CommandLine",
                                 "Aufruf: %1 [OPTION]...\n"
                                 "Beruhigt das Livebild einer Webcam mit einem gleitenden Mittelwert und gibt es auf "
                                 "Wunsch als Webcam an andere Programme weiter.\n"
                                 "\n"
                                 "  --webcam     startet mit eingeschalteter Ausgabe als Webcam\n"
                                 "  --tray       startet ohne Fenster, nur mit dem Symbol im Systembereich\n"
                                 "               (ohne Systembereich: mit minimiertem Fenster)\n"
                                 "  -h, --help   zeigt diese Hilfe und endet\n"
                                 "  --version    zeigt die Version und endet\n"
                                 "\n"
                                 "Läuft Stillwise schon, übergibt ein zweiter Aufruf seine Optionen dem laufenden "
                                 "Programm: ohne --tray zeigt es sein Fenster, mit --webcam schaltet es die "
                                 "Ausgabe als Webcam ein.\n"
                                 "Qt-Optionen wie -platform oder -style werden an Qt weitergereicht.\n"))
        .arg(program);
}

QString VersionText()
{
    return QStringLiteral("Stillwise %1\n").arg(QLatin1String(STILLWISE_VERSION));
}

QString UsageErrorText(const QString& program, const QString& error)
{
    return QStringLiteral("%1: %2\n").arg(program, error) +
           Say(QT_TRANSLATE_NOOP("CommandLine", "„%1 --help“ zeigt, welche Optionen es gibt.\n")).arg(program);
}
