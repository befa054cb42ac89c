#include "camera/CameraMemory.h"

#include "camera/Notices.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

namespace camera {

namespace {

const QString identityKey = QStringLiteral("Kennung");
const QString formatKey = QStringLiteral("Format");
const QString controlsGroup = QStringLiteral("Regler");

// The format code exactly as its four bytes, spaces included, so that
// parseFormat reads back the same code.
QString fourccCode(std::uint32_t fourcc)
{
    QString text;
    for (int i = 0; i < 4; ++i)
        text += QChar(static_cast<char16_t>((fourcc >> (8 * i)) & 0xFF));
    return text;
}

// "YUYV 640x480 1/30"; the rate part "0/0" leaves the rate to the device.
QString formatText(const FormatSetting& f)
{
    return QStringLiteral("%1 %2x%3 %4/%5")
        .arg(fourccCode(f.fourcc))
        .arg(f.width)
        .arg(f.height)
        .arg(f.interval.numerator)
        .arg(f.interval.denominator);
}

std::optional<FormatSetting> parseFormat(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([\\x21-\\x7e ]{4}) (\\d{1,5})x(\\d{1,5}) (\\d{1,6})/(\\d{1,6})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    FormatSetting f;
    const QString code = m.captured(1);
    for (int i = 0; i < 4; ++i)
        f.fourcc |= static_cast<std::uint32_t>(code[i].unicode()) << (8 * i);
    f.width = m.captured(2).toInt();
    f.height = m.captured(3).toInt();
    f.interval = {m.captured(4).toUInt(), m.captured(5).toUInt()};
    if (f.width <= 0 || f.height <= 0 || f.width > 16384 || f.height > 16384)
        return std::nullopt;
    if ((f.interval.numerator == 0) != (f.interval.denominator == 0))
        return std::nullopt;
    return f;
}

QString controlKey(std::uint32_t id)
{
    return QStringLiteral("%1").arg(id, 8, 16, QLatin1Char('0'));
}

// Opens the camera's section if it is really that camera's; a section of
// another camera (a hash that happens to match, or a hand-edited file)
// stays untouched.
bool openSection(QSettings& settings, const QString& section, const std::string& camera)
{
    settings.beginGroup(section);
    const QVariant stored = settings.value(identityKey);
    if (stored.isValid() && stored.toString() != QString::fromStdString(camera)) {
        settings.endGroup();
        return false;
    }
    return true;
}

} // namespace

CameraMemory& CameraMemory::User()
{
    static CameraMemory memory{QString()};
    // Asked each time: where the settings live can be moved (tests do).
    memory.file_ = QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Stillwise"),
                             QStringLiteral("Stillwise"))
                       .fileName();
    return memory;
}

CameraMemory::CameraMemory(QString file) : file_(std::move(file)) {}

QString CameraMemory::section(const std::string& camera) const
{
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(camera), QCryptographicHash::Sha1);
    return QStringLiteral("Kamera-") + QString::fromLatin1(hash.toHex().left(16));
}

std::optional<FormatSetting> CameraMemory::format(const std::string& camera) const
{
    if (camera.empty())
        return std::nullopt;
    QSettings settings(file_, QSettings::IniFormat);
    if (!openSection(settings, section(camera), camera) || settings.value(identityKey).toString().isEmpty())
        return std::nullopt;
    return parseFormat(settings.value(formatKey).toString());
}

std::map<std::uint32_t, int> CameraMemory::controls(const std::string& camera) const
{
    std::map<std::uint32_t, int> values;
    if (camera.empty())
        return values;
    QSettings settings(file_, QSettings::IniFormat);
    if (!openSection(settings, section(camera), camera) || settings.value(identityKey).toString().isEmpty())
        return values;
    settings.beginGroup(controlsGroup);
    for (const QString& key : settings.childKeys()) {
        bool idOk = false, valueOk = false;
        const std::uint32_t id = key.toUInt(&idOk, 16);
        const int value = settings.value(key).toString().trimmed().toInt(&valueOk, 10);
        if (idOk && valueOk && key.size() == 8)
            values[id] = value;
    }
    return values;
}

void CameraMemory::rememberFormat(const std::string& camera, const FormatSetting& format)
{
    if (camera.empty())
        return;
    QSettings settings(file_, QSettings::IniFormat);
    if (!openSection(settings, section(camera), camera))
        return;
    settings.setValue(identityKey, QString::fromStdString(camera));
    settings.setValue(formatKey, formatText(format));
    settings.endGroup();
    settings.sync();
    written(settings.status());
}

void CameraMemory::rememberControl(const std::string& camera, std::uint32_t id, int value)
{
    rememberControls(camera, {{id, value}});
}

void CameraMemory::rememberControls(const std::string& camera, const std::map<std::uint32_t, int>& values)
{
    if (camera.empty() || values.empty())
        return;
    QSettings settings(file_, QSettings::IniFormat);
    if (!openSection(settings, section(camera), camera))
        return;
    settings.setValue(identityKey, QString::fromStdString(camera));
    for (const auto& [id, value] : values)
        settings.setValue(controlsGroup + QLatin1Char('/') + controlKey(id), value);
    settings.endGroup();
    settings.sync();
    written(settings.status());
}

void CameraMemory::forgetControls(const std::string& camera)
{
    if (camera.empty())
        return;
    QSettings settings(file_, QSettings::IniFormat);
    if (!openSection(settings, section(camera), camera))
        return;
    settings.remove(controlsGroup);
    settings.endGroup();
    settings.sync();
    written(settings.status());
}

void CameraMemory::written(int status)
{
    if (status == QSettings::NoError || failureTold_)
        return;
    failureTold_ = true;
    ReportToUser(
        QCoreApplication::translate("camera::CameraMemory",
                                    "Die Kameraeinstellungen lassen sich nicht in %1 speichern. Sie gelten nur, "
                                    "solange das Programm läuft.")
            .arg(file_));
}

void CameraMemory::restore(const std::string& camera, ControlSet* controls, FormatSet* formats) const
{
    if (camera.empty())
        return;
    if (formats != nullptr) {
        if (const std::optional<FormatSetting> wanted = format(camera)) {
            const FormatSetting now = formats->current();
            const bool sameRate = wanted->interval.numerator == 0 || wanted->interval == now.interval;
            if (!(now.fourcc == wanted->fourcc && now.width == wanted->width && now.height == wanted->height &&
                  sameRate))
                formats->apply(*wanted); // refused: the device keeps what it has
        }
    }
    if (controls == nullptr)
        return;
    const std::map<std::uint32_t, int> values = this->controls(camera);
    if (values.empty())
        return;
    for (int round = 0; round < 2; ++round) {
        std::vector<ControlInfo> all = controls->list();
        // Automatic modes first: they decide whether the values they rule
        // can be set.
        std::stable_sort(all.begin(), all.end(), [](const ControlInfo& a, const ControlInfo& b) {
            return (a.kind != ControlInfo::Kind::Integer) > (b.kind != ControlInfo::Kind::Integer);
        });
        for (const ControlInfo& c : all) {
            const auto it = values.find(c.id);
            if (it == values.end() || c.kind == ControlInfo::Kind::Button || c.readOnly || c.value == it->second)
                continue;
            if (it->second < c.minimum || it->second > c.maximum)
                continue; // from another firmware, or edited by hand
            controls->set(c.id, it->second);
        }
    }
}

bool RememberingControls::set(std::uint32_t id, int value)
{
    // A button's press is stored too, but never pressed again on restoring:
    // restore() passes over buttons.
    const bool ok = inner_.set(id, value);
    if (ok) {
        unwritten_[id] = value;
        if (!sinceWrite_.isValid() || sinceWrite_.elapsed() >= WriteEveryMs)
            write();
    }
    return ok;
}

void RememberingControls::reset()
{
    unwritten_.clear();
    inner_.reset();
    memory_.forgetControls(camera_);
}

void RememberingControls::write()
{
    memory_.rememberControls(camera_, unwritten_);
    unwritten_.clear();
    sinceWrite_.start();
}

bool RememberingFormats::apply(const FormatSetting& setting)
{
    const bool ok = inner_.apply(setting);
    if (ok)
        memory_.rememberFormat(camera_, inner_.current());
    return ok;
}

} // namespace camera
