#pragma once
// What the command line asks for. It is read before there is an
// application object, so that --help, --version and a mistyped option
// are answered in a terminal without a display. Qt's own options
// (-platform, -style, -qwindowgeometry, ...) pass through untouched to the
// application object.

#include <QString>
#include <QStringList>

// How the program starts, and what a second start asks of the running one.
struct StartOptions {
    bool webcam = false; // --webcam: the webcam output on from the start
    bool tray = false;   // --tray: no window, only the tray icon
    bool operator==(const StartOptions&) const = default;
};

struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    StartOptions options;
    QString error; // for Error: what is wrong, in the user's language
};

// The arguments without the program's name.
CommandLine ParseCommandLine(const QStringList& arguments);

// The texts for the terminal, in the user's language, each ending in a
// line break. `program` is the name the program was started by.
QString HelpText(const QString& program);
QString VersionText();
QString UsageErrorText(const QString& program, const QString& error);
