#include "PrintTestSupport.h"

#include "viewer/PrintFUnit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdlib>

#include <gtest/gtest.h>

namespace {

QTemporaryDir& ConfigDir()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

QStringList& ShownErrors()
{
    static QStringList errors;
    return errors;
}

ErrorHandlingApplication& TestApp()
{
    static ErrorHandlingApplication* app = [] {
        // Never the real user's settings.
        qputenv("XDG_CONFIG_HOME", ConfigDir().path().toUtf8());
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, ConfigDir().path());
        static int argc = 1;
        static char name[] = "print_test";
        static char* argv[] = {name, nullptr};
        auto* a = new ErrorHandlingApplication(argc, argv);
        ErrorHandlingApplication::SetErrorSink([](const QString& text) { ShownErrors() << text; });
        return a;
    }();
    return *app;
}

QString SettingsFile()
{
    TestApp();
    return ConfigDir().path() + QStringLiteral("/Stillwise/Stillwise.ini");
}

void RemoveSettings()
{
    const QString file = SettingsFile();
    QFileInfo info(file);
    if (info.isDir())
        QDir(file).removeRecursively();
    else
        QFile::remove(file);
}

void WriteSettingsText(const QByteArray& text)
{
    RemoveSettings();
    QDir().mkpath(QFileInfo(SettingsFile()).path());
    QFile f(SettingsFile());
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
}

QString StoredValue(const char* name)
{
    QSettings s(SettingsFile(), QSettings::IniFormat);
    s.beginGroup(QStringLiteral("TPrintForm"));
    if (!s.contains(QLatin1String(name)))
        return {};
    const QVariant v = s.value(QLatin1String(name));
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

DIB MakeQuadrantPicture(int w, int h)
{
    DIB pic = newdib(w, h, 24, nullptr, 0);
    for (int y = 0; y < h; ++y) {
        // Row 0 in memory is the bottom row of the picture.
        const bool bottom = y < h / 2;
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2;
            const QColor c = bottom ? (right ? kBottomRight : kBottomLeft) : (right ? kTopRight : kTopLeft);
            setpixel(pic, x, y, std::uint32_t(c.blue()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.red()) << 16);
        }
    }
    return pic;
}

bool SameColour(QColor a, QColor b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

void WhenPrintDialogOpens(std::function<void(TPrintForm&)> answer)
{
    QTimer::singleShot(0, [answer] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* form = qobject_cast<TPrintForm*>(w); form && form->isVisible()) {
                answer(*form);
                return;
            }
        }
        ADD_FAILURE() << "no print dialog open";
    });
}

QString ScreenshotPath(const QString& name)
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/../../screenshots");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}
