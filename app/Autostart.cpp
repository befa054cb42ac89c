#include "app/Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr const char* AppId = "example.stillwise.stillwise";
constexpr const char* Options = " --tray --webcam";

// An argument of Exec as desktop entries quote it: plain
// where it holds no reserved character, otherwise in double quotes with
// ", `, $ and \ escaped. A field code's % is doubled either way.
QString QuoteArgument(const QString& argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString doubled = argument;
    doubled.replace(QLatin1Char('%'), QLatin1String("%%"));
    const bool plain = !doubled.isEmpty() &&
                       std::none_of(doubled.begin(), doubled.end(), [](QChar c) { return reserved.contains(c); });
    if (plain)
        return doubled;
    QString quoted;
    for (QChar c : doubled) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

AutostartEntry::AutostartEntry(QString folder, QString program)
    : folder_(folder.isEmpty() ? DefaultFolder() : std::move(folder)),
      program_(program.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(program))
{
}

QString AutostartEntry::DefaultFolder()
{
    // XDG_CONFIG_HOME, or ~/.config where it is not set.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QLatin1String("/autostart");
}

QString AutostartEntry::filePath() const
{
    return folder_ + QLatin1Char('/') + QLatin1String(AppId) + QLatin1String(".desktop");
}

QString AutostartEntry::ExecLine(const QString& program)
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("stillwise"));
    const bool found = !onPath.isEmpty() && !program.isEmpty() &&
                       QFileInfo(onPath).canonicalFilePath() == QFileInfo(program).canonicalFilePath();
    return (found ? QStringLiteral("stillwise") : QuoteArgument(program)) + QLatin1String(Options);
}

QString AutostartEntry::contents() const
{
    // Name and Comment in both languages, as in the menu's entry; the
    // comment says what the entry does in the desktop's list of programs
    // started at login.
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Stillwise\n"
                          "Comment=Calm webcam for video calls, waiting in the tray\n"
                          "Comment[de]=Ruhige Webcam für Videotelefonie, wartet im Systembereich\n"
                          "Exec=%1\n"
                          "Icon=stillwise\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        // Exec is a string value: its backslashes are escaped once more
        // on top of the quoting: a quoted backslash becomes four.
        .arg(ExecLine(program_).replace(QLatin1Char('\\'), QLatin1String("\\\\")));
}

bool AutostartEntry::enabled() const
{
    return QFileInfo::exists(filePath());
}

bool AutostartEntry::setEnabled(bool on)
{
    error_.clear();
    const QString path = QDir::toNativeSeparators(filePath());
    if (!on) {
        QFile file(filePath());
        if (!file.exists() || file.remove())
            return true;
        error_ = QCoreApplication::translate("AutostartEntry",
                                             "Der Eintrag für den Start beim Anmelden (%1) lässt sich nicht "
                                             "löschen: %2")
                     .arg(path, file.errorString());
        return false;
    }
    if (!QDir().mkpath(folder_)) {
        error_ = QCoreApplication::translate("AutostartEntry",
                                             "Der Ordner für Programme, die beim Anmelden starten (%1), lässt sich "
                                             "nicht anlegen.")
                     .arg(QDir::toNativeSeparators(folder_));
        return false;
    }
    // Written whole or not at all: a half-written entry would start
    // nothing, or something else.
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(contents().toUtf8()) < 0 || !file.commit()) {
        error_ = QCoreApplication::translate("AutostartEntry",
                                             "Der Eintrag für den Start beim Anmelden (%1) lässt sich nicht "
                                             "schreiben: %2")
                     .arg(path, file.errorString());
        return false;
    }
    return true;
}
