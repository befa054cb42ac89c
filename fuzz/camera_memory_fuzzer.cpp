// Any text as the settings file that holds what the user set for each
// camera (camera::CameraMemory, QSettings INI), after a few sections of
// other cameras, or 10,000 (fuzz/CameraMemoryInput.h). Restoring a camera
// from it may only set values the camera could hold and formats that parse;
// a value the camera refuses is passed over. After the camera's settings
// are saved again, the file must still parse, keep every other section as
// it was, and give back what was saved.

#include "camera/CameraMemory.h"
#include "camera/Notices.h"
#include "fuzz/CameraMemoryInput.h"
#include "fuzz/FuzzInput.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

using camera::ControlInfo;

ControlInfo control(std::uint32_t id, ControlInfo::Kind kind, int minimum, int maximum, int value)
{
    ControlInfo c;
    c.id = id;
    c.kind = kind;
    c.minimum = minimum;
    c.maximum = maximum;
    c.value = c.defaultValue = value;
    return c;
}

// A camera's controls as a driver lists them, refusing what a device
// refuses: values off the step or between menu items, and the white
// balance temperature while automatic white balance is on.
class Controls final : public camera::ControlSet {
public:
    Controls()
    {
        using Kind = ControlInfo::Kind;
        controls_ = {control(fuzz::MemoryBrightness, Kind::Integer, -64, 64, 0),
                     control(fuzz::MemoryWhiteTemp, Kind::Integer, 2800, 6500, 4600),
                     control(fuzz::MemoryAutoWhite, Kind::Boolean, 0, 1, 1),
                     control(fuzz::MemoryExposureMode, Kind::Menu, 0, 3, 3),
                     control(fuzz::MemoryPowerLine, Kind::Menu, 0, 2, 1),
                     control(fuzz::MemoryFocusButton, Kind::Button, 0, 0, 0),
                     control(fuzz::MemoryReadOnly, Kind::Integer, 0, 255, 128)};
        controls_[1].step = 10;
        controls_[3].items = {{1, QStringLiteral("Manuell")}, {3, QStringLiteral("Blendenvorwahl")}};
        controls_[4].items = {{0, QStringLiteral("Aus")}, {1, QStringLiteral("50 Hz")}, {2, QStringLiteral("60 Hz")}};
        controls_[6].readOnly = true;
    }

    std::vector<ControlInfo> list() override { return controls_; }

    bool set(std::uint32_t id, int value) override
    {
        const auto it = std::find_if(controls_.begin(), controls_.end(),
                                     [id](const ControlInfo& c) { return c.id == id; });
        if (it == controls_.end())
            fuzz::Fail("restore set a control the camera does not have");
        if (it->kind == ControlInfo::Kind::Button)
            fuzz::Fail("restore pressed a button");
        if (it->readOnly)
            fuzz::Fail("restore set a read-only control");
        if (value < it->minimum || value > it->maximum)
            fuzz::Fail("restore set a value outside the control's range");
        ++sets_;
        if ((value - it->minimum) % it->step != 0)
            return false;
        if (it->kind == ControlInfo::Kind::Menu &&
            std::none_of(it->items.begin(), it->items.end(), [value](const auto& item) { return item.first == value; }))
            return false;
        if (id == fuzz::MemoryWhiteTemp && controls_[2].value != 0)
            return false;
        it->value = value;
        return true;
    }

    void reset() override {}
    int sets() const { return sets_; }

private:
    std::vector<ControlInfo> controls_;
    int sets_ = 0;
};

class Formats final : public camera::FormatSet {
public:
    explicit Formats(std::optional<camera::FormatSetting> stored) : stored_(stored) {}

    std::vector<camera::PixelFormatChoice> list() override { return {}; }
    camera::FormatSetting current() override { return current_; }
    bool apply(const camera::FormatSetting& setting) override
    {
        if (!stored_ || setting != *stored_)
            fuzz::Fail("restore applied a format that is not the one stored for the camera");
        // The device takes its own sizes only.
        if (setting.width % 16 != 0 || setting.height % 8 != 0)
            return false;
        current_ = setting;
        return true;
    }

private:
    std::optional<camera::FormatSetting> stored_;
    camera::FormatSetting current_{camera::FourCC('Y', 'U', 'Y', 'V'), 640, 480, {1, 30}};
};

void checkFormat(const camera::FormatSetting& f)
{
    if (f.width < 1 || f.height < 1 || f.width > 16384 || f.height > 16384)
        fuzz::Fail("a stored format of an impossible size was taken");
    if ((f.interval.numerator == 0) != (f.interval.denominator == 0))
        fuzz::Fail("a stored format with half a frame interval was taken");
}

QString sectionOf(const std::string& camera)
{
    const QByteArray hash = QCryptographicHash::hash(QByteArray::fromStdString(camera), QCryptographicHash::Sha1);
    return QStringLiteral("Kamera-") + QString::fromLatin1(hash.toHex().left(16));
}

// A key as QSettings looks it up: allKeys() lists "/Kamera-…/Kennung" for a
// section "[/Kamera-…]", but value() of it is "Kamera-…/Kennung".
QString addressOf(const QString& key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// Everything QSettings reads from the file outside one section (all of it
// for an empty section name), by the keys that address it.
std::map<QString, QVariant> readOthers(const QString& file, const QString& section, QSettings::Status* status = nullptr)
{
    QSettings settings(file, QSettings::IniFormat);
    std::map<QString, QVariant> values;
    for (const QString& key : settings.allKeys()) {
        const QString address = addressOf(key);
        if (section.isEmpty() || !address.startsWith(section + QLatin1Char('/')))
            values[address] = settings.value(key);
    }
    if (status != nullptr)
        *status = settings.status();
    return values;
}

// QSettings itself does not keep every text it reads: a key it lists but
// cannot address ("[/Kamera-…]" lists "/Kamera-…/Kennung", which it then
// writes as "Kamera-…/Kennung") comes back elsewhere after any write. Such
// a file is changed by any save, the program's or another's, so the
// program is judged on files that survive a save of an unrelated key.
bool keptByQSettings(const QString& path, const QByteArray& text)
{
    const QString copy = path + QStringLiteral(".probe");
    {
        QFile file(copy);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            fuzz::Fail("the probe file could not be written");
    }
    const std::map<QString, QVariant> before = readOthers(copy, QString());
    {
        QSettings settings(copy, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Probe/Wert"), 1);
        settings.sync();
    }
    std::map<QString, QVariant> after = readOthers(copy, QString());
    after.erase(QStringLiteral("Probe/Wert"));
    QFile::remove(copy);
    return after == before;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether the user was told that saving failed.
bool told = false;

QTemporaryDir& folder()
{
    // In memory where the machine has it: QSettings saves through
    // QSaveFile, which waits for the disk on each save, and a run saves
    // three times.
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static QTemporaryDir folder(base + QStringLiteral("/stillwise-memory-fuzz-XXXXXX"));
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!folder().isValid())
        fuzz::Fail("no folder for the settings files");
    // Saving fails when QSettings cannot read the file; the user is told.
    camera::SetMessageSink([](const QString&) { told = true; });
    // QSettings warns on stderr of keys it cannot take, thousands of times
    // a second here.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::FuzzInput in(data, size);
    const std::string camera = fuzz::MemoryCameras[in.take<std::uint8_t>() % std::size(fuzz::MemoryCameras)];
    static const int many = std::getenv("STILLWISE_FUZZ_SECTIONS") != nullptr
                                ? std::atoi(std::getenv("STILLWISE_FUZZ_SECTIONS"))
                                : -1;
    const int code = in.take<std::uint8_t>() % 8;
    const int fillers = many >= 0 ? many : code;

    QByteArray text;
    for (int i = 0; i < fillers; ++i)
        text += QStringLiteral("[Kamera-f%1]\nKennung=Kamera %2 @usb-%2\nFormat=MJPG 1280x720 1/30\n")
                    .arg(i, 15, 16, QLatin1Char('0'))
                    .arg(i)
                    .toUtf8();
    text += QByteArray(reinterpret_cast<const char*>(in.rest()), static_cast<qsizetype>(in.restSize()));

    // A file of its own for each input: QSettings keeps what it read of a
    // file and would not notice a rewrite within the same instant.
    static int count = 0;
    const QString path = folder().filePath(QStringLiteral("run%1.ini").arg(++count));
    struct Remove {
        QString path;
        ~Remove() { QFile::remove(path); }
    } remove{path};
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            fuzz::Fail("the settings file could not be written");
    }
    if (!keptByQSettings(path, text))
        return 0;
    const QString section = sectionOf(camera);
    const std::map<QString, QVariant> others = readOthers(path, section);
    std::optional<QString> owner;
    {
        QSettings settings(path, QSettings::IniFormat);
        const QVariant stored = settings.value(section + QStringLiteral("/Kennung"));
        if (stored.isValid())
            owner = stored.toString();
    }

    told = false;
    camera::CameraMemory memory(path);
    const std::optional<camera::FormatSetting> stored = memory.format(camera);
    if (stored)
        checkFormat(*stored);
    Controls controls;
    Formats formats(stored);
    memory.restore(camera, &controls, &formats);

    // The user changes the format and two controls; they are saved.
    const camera::FormatSetting chosen{camera::FourCC('M', 'J', 'P', 'G'), 1280, 720, {1, 25}};
    const std::map<std::uint32_t, int> values = {{fuzz::MemoryBrightness, 17}, {fuzz::MemoryExposureMode, 1}};
    memory.rememberFormat(camera, chosen);
    memory.rememberControls(camera, values);

    QSettings::Status after;
    const std::map<QString, QVariant> othersAfter = readOthers(path, section, &after);
    if (othersAfter != others)
        fuzz::Fail("saving one camera changed the settings outside its section");
    // A section that names another camera is not this camera's to change.
    const bool ours = !owner || *owner == QString::fromStdString(camera);
    // QSettings leaves a file alone when it finds it broken as it loads it
    // (a broken section it reads only later is rewritten without the lines
    // it could not read): broken is only allowed for a file that was left
    // as it came, and if it was this camera's to save, the user is told.
    if (after != QSettings::NoError) {
        if (fileBytes(path) != text)
            fuzz::Fail("saving left the settings file broken");
        if (ours && !told)
            fuzz::Fail("saving failed and the user was not told");
        return 0;
    }

    const std::optional<camera::FormatSetting> reread = memory.format(camera);
    if (ours && reread != chosen)
        fuzz::Fail("the saved format does not read back");
    if (!ours && reread)
        fuzz::Fail("a format was read from another camera's section");
    const std::map<std::uint32_t, int> controlsAfter = memory.controls(camera);
    for (const auto& [id, value] : values) {
        const auto it = controlsAfter.find(id);
        if (ours && (it == controlsAfter.end() || it->second != value))
            fuzz::Fail("a saved control value does not read back");
    }
    if (!ours && !controlsAfter.empty())
        fuzz::Fail("control values were read from another camera's section");
    return 0;
}
