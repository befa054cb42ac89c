// "Beim Anmelden starten": the XDG autostart entry.

#include "app/Autostart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// desktop-file-validate's verdict on a file: empty when it has nothing to say.
QString Validate(const QString& path)
{
    QProcess validate;
    validate.setProcessChannelMode(QProcess::MergedChannels);
    validate.start(QStringLiteral("desktop-file-validate"), {path});
    if (!validate.waitForFinished(10000))
        return QStringLiteral("desktop-file-validate did not run");
    const QString said = QString::fromUtf8(validate.readAll()).trimmed();
    return validate.exitCode() == 0 && said.isEmpty() ? QString() : said + QStringLiteral(" (exit ") +
                                                                       QString::number(validate.exitCode()) +
                                                                       QLatin1Char(')');
}

QString Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(AutostartTest, TheEntryStartsTheTrayWithTheWebcamAndValidates)
{
    if (QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty())
        GTEST_SKIP() << "desktop-file-validate fehlt (desktop-file-utils)";
    QTemporaryDir config;
    // Where no "stillwise" on the PATH is this program: its full path,
    // quoted where it has spaces.
    const QString program = config.path() + QStringLiteral("/my programs/stillwise");
    AutostartEntry entry(config.path() + QStringLiteral("/autostart"), program);
    EXPECT_FALSE(entry.enabled());
    ASSERT_TRUE(entry.setEnabled(true)) << entry.error().toStdString();
    EXPECT_TRUE(entry.enabled());
    EXPECT_EQ(entry.filePath(), config.path() + QStringLiteral("/autostart/example.stillwise.stillwise.desktop"));
    const QString text = Read(entry.filePath());
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=\"") + program + QStringLiteral("\" --tray --webcam\n")))
        << text.toStdString();
    EXPECT_EQ(Validate(entry.filePath()), QString());

    // Written again over itself: still one valid entry.
    ASSERT_TRUE(entry.setEnabled(true));
    EXPECT_EQ(Validate(entry.filePath()), QString());

    ASSERT_TRUE(entry.setEnabled(false));
    EXPECT_FALSE(entry.enabled());
    EXPECT_FALSE(QFile::exists(entry.filePath()));
    // Nothing else was left in the folder.
    EXPECT_TRUE(QDir(config.path() + QStringLiteral("/autostart")).isEmpty());
    // Switching off what is off is no error.
    EXPECT_TRUE(entry.setEnabled(false));
}

TEST(AutostartTest, ProgramNamesAreQuotedTheWayDesktopEntriesWantThem)
{
    EXPECT_EQ(AutostartEntry::ExecLine(QStringLiteral("/opt/stillwise/bin/stillwise")),
              QStringLiteral("/opt/stillwise/bin/stillwise --tray --webcam"));
    EXPECT_EQ(AutostartEntry::ExecLine(QStringLiteral("/home/a b/$HOME\\x`y\"z/stillwise")),
              QStringLiteral("\"/home/a b/\\$HOME\\\\x\\`y\\\"z/stillwise\" --tray --webcam"));
    EXPECT_EQ(AutostartEntry::ExecLine(QStringLiteral("/home/100%/stillwise")),
              QStringLiteral("/home/100%%/stillwise --tray --webcam"));

    // The name alone where the PATH finds this very program.
    QTemporaryDir bin;
    const QString program = bin.path() + QStringLiteral("/stillwise");
    QFile file(program);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    file.close();
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    EXPECT_EQ(AutostartEntry::ExecLine(program), QStringLiteral("stillwise --tray --webcam"));
    qputenv("PATH", path);
}

TEST(AutostartTest, AFolderThatCannotBeWrittenIsSaidAndChangesNothing)
{
    QTemporaryDir config;
    // A file where the folder should be.
    QFile blocker(config.path() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    AutostartEntry entry(blocker.fileName(), QStringLiteral("/usr/bin/stillwise"));
    EXPECT_FALSE(entry.setEnabled(true));
    EXPECT_FALSE(entry.enabled());
    EXPECT_TRUE(entry.error().contains(blocker.fileName())) << entry.error().toStdString();
}

TEST(AutostartTest, TheDefaultFolderIsTheUsersAutostartFolder)
{
    EXPECT_EQ(AutostartEntry::DefaultFolder(), qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart"));
}
