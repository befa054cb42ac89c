#include "viewer/PrintFormStorage.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace {

// QSettings reads an unquoted INI value with commas as a list; the stored
// text is what was in the file either way.
QString textOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

std::optional<int> readInteger(QSettings& settings, const char* name)
{
    if (!settings.contains(QLatin1String(name)))
        return std::nullopt;
    return StoredInteger(textOf(settings.value(QLatin1String(name))));
}

QString numbers(std::initializer_list<int> values)
{
    QStringList parts;
    for (int v : values)
        parts << QString::number(v);
    return parts.join(QLatin1Char(','));
}

// The values of a write that did not reach the file, until one does.
std::optional<PrintFormPlacement>& unsaved()
{
    static std::optional<PrintFormPlacement> values;
    return values;
}

} // namespace

std::unique_ptr<QSettings> OpenUserSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Stillwise"),
                                       QStringLiteral("Stillwise"));
}

int StoredInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

StoredPrintForm ReadPrintFormSettings()
{
    StoredPrintForm stored;
    if (const std::optional<PrintFormPlacement>& kept = unsaved()) {
        stored.showCmd = kept->showCmd;
        stored.breitValue = kept->breitValue;
        stored.hochValue = kept->hochValue;
        return stored;
    }
    const auto settings = OpenUserSettings();
    if (settings->status() != QSettings::NoError)
        return stored;
    settings->beginGroup(QLatin1String(kPrintFormSection));
    stored.applies = readInteger(*settings, "FormVersion").value_or(0) >= 0;
    stored.showCmd = readInteger(*settings, "ShowCmd");
    stored.breitValue = readInteger(*settings, "BreitEdit_Value");
    stored.hochValue = readInteger(*settings, "HochEdit_Value");
    return stored;
}

SettingsWrite WritePrintFormSettings(const PrintFormPlacement& p, QString* file)
{
    const auto settings = OpenUserSettings();
    settings->beginGroup(QLatin1String(kPrintFormSection));
    settings->setValue(QStringLiteral("FormVersion"), QStringLiteral("0"));
    settings->setValue(QStringLiteral("Flags"), QString::number(p.flags));
    settings->setValue(QStringLiteral("ShowCmd"), QString::number(p.showCmd));
    settings->setValue(QStringLiteral("PixelsPerInch"), QString::number(p.pixelsPerInch));
    settings->setValue(QStringLiteral("MinMaxPos"), numbers({p.minPos[0], p.minPos[1], p.maxPos[0], p.maxPos[1]}));
    settings->setValue(QStringLiteral("NormPos"), numbers({p.normPos[0], p.normPos[1], p.normPos[2], p.normPos[3]}));
    settings->setValue(QStringLiteral("Visible"), QString::fromLatin1(p.visible ? "1" : "0"));
    settings->setValue(QStringLiteral("BreitEdit_Value"), QString::number(p.breitValue));
    settings->setValue(QStringLiteral("HochEdit_Value"), QString::number(p.hochValue));
    settings->endGroup();
    settings->sync();
    // A garbled file read as a format error is written over all the same;
    // only an access error means the values did not reach the file.
    if (settings->status() != QSettings::AccessError) {
        unsaved().reset();
        return SettingsWrite::Written;
    }
    const bool again = unsaved().has_value();
    unsaved() = p;
    if (file != nullptr)
        *file = settings->fileName();
    return again ? SettingsWrite::FailedAgain : SettingsWrite::Failed;
}

void ForgetUnsavedPrintFormSettings()
{
    unsaved().reset();
}
