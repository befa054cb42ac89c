#pragma once
// "Beim Anmelden starten": an XDG autostart entry that starts Stillwise in
// the tray with the webcam output on at every login. The entry is the only
// file the program writes outside its own settings; switching the option
// off deletes it again.

#include <QString>

class AutostartEntry {
public:
    // `folder` empty: $XDG_CONFIG_HOME/autostart (~/.config/autostart).
    // `program` empty: the running program (see ExecLine).
    explicit AutostartEntry(QString folder = QString(), QString program = QString());

    // Whether the entry exists.
    bool enabled() const;
    // Writes or deletes the entry. False, with error() set (German), when
    // that fails; the state is then as before.
    bool setEnabled(bool on);
    const QString& error() const { return error_; }

    // $folder/<app id>.desktop.
    QString filePath() const;
    // The entry's text.
    QString contents() const;

    static QString DefaultFolder();
    // How the entry names the program: "stillwise" where that name finds
    // the running program on the PATH, its full path otherwise (a build
    // started from its folder), quoted as desktop entries want.
    static QString ExecLine(const QString& program);

private:
    QString folder_;
    QString program_;
    QString error_;
};
