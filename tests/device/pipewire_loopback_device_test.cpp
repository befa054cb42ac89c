// Both ways out at once, as on a desktop with the loopback module loaded:
// run-in-vm.sh --loopback --pipewire gives a v4l2loopback node /dev/video5
// labelled "Stillwise", udevd, PipeWire and WirePlumber with its V4L2
// monitor, and the package's WirePlumber rule (pipewire-session.sh copies
// it). A PipeWire reader must see one camera Stillwise, not two.

#include "output/PipeWireStream.h"
#include "output/WebcamSwitch.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct Picture {
    int width = 320, height = 240, rowbytes = 960;
    std::vector<std::uint8_t> bits = std::vector<std::uint8_t>(960 * 240, 90);
    output::BgrPicture view() const { return {bits.data(), rowbytes, width, height}; }
};

QByteArray RunProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
    }
    return p.readAllStandardOutput();
}

// The video sources PipeWire lists now, by their properties.
std::vector<QJsonObject> Sources()
{
    std::vector<QJsonObject> out;
    for (const QJsonValue& o : QJsonDocument::fromJson(RunProgram(QStringLiteral("pw-dump"), {})).array()) {
        const QJsonObject object = o.toObject();
        if (object.value(QStringLiteral("type")).toString() != QStringLiteral("PipeWire:Interface:Node"))
            continue;
        const QJsonObject props =
            object.value(QStringLiteral("info")).toObject().value(QStringLiteral("props")).toObject();
        if (props.value(QStringLiteral("media.class")).toString() == QStringLiteral("Video/Source"))
            out.push_back(props);
    }
    return out;
}

bool Names(const QJsonObject& props, const QString& word)
{
    for (const char* key : {"node.description", "node.nick", "node.name", "api.v4l2.cap.card"})
        if (props.value(QString::fromUtf8(key)).toString().contains(word, Qt::CaseInsensitive))
            return true;
    return false;
}

std::string Describe(const std::vector<QJsonObject>& sources)
{
    std::string s;
    for (const QJsonObject& p : sources)
        s += p.value(QStringLiteral("node.name")).toString().toStdString() + " (" +
             p.value(QStringLiteral("node.description")).toString().toStdString() + "); ";
    return s;
}

} // namespace

TEST(PipeWireAndLoopback, APipeWireReaderSeesStillwiseOnceAndTheRuleIsWhatHidesTheLoopbackNode)
{
    ASSERT_TRUE(output::SessionPipeWire().reachable()) << "no PipeWire daemon (run-in-vm.sh --loopback --pipewire)";
    QCheckBox box(QStringLiteral("Als Webcam ausgeben"));
    QStringList told;
    output::WebcamSwitch webcam(&box, [&](const QString& why) { told << why; });
    ASSERT_TRUE(box.isEnabled());
    EXPECT_TRUE(box.toolTip().contains(QStringLiteral("PipeWire-Kamera"))) << box.toolTip().toStdString();
    EXPECT_TRUE(box.toolTip().contains(QStringLiteral("/dev/video5"))) << box.toolTip().toStdString();
    box.click();
    ASSERT_TRUE(box.isChecked()) << (told.isEmpty() ? std::string() : told.back().toStdString());
    const Picture p;
    auto sendFor = [&](std::chrono::milliseconds span) {
        const auto until = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < until) {
            webcam.send(p.view());
            QApplication::processEvents();
            std::this_thread::sleep_for(33ms);
        }
    };
    sendFor(1s);
    // The loopback node offers capture now that we write into it; udev
    // learns that on its next event, as after any change on a desktop.
    RunProgram(QStringLiteral("udevadm"), {QStringLiteral("trigger"), QStringLiteral("--action=change"),
                                           QStringLiteral("--subsystem-match=video4linux")});
    RunProgram(QStringLiteral("udevadm"), {QStringLiteral("settle"), QStringLiteral("-t"), QStringLiteral("10")});
    sendFor(3s);

    std::vector<QJsonObject> sources = Sources();
    // The monitor works: it lists vivid.
    bool vivid = false;
    for (const QJsonObject& s : sources)
        vivid = vivid || s.value(QStringLiteral("api.v4l2.path")).toString() == QStringLiteral("/dev/video0");
    EXPECT_TRUE(vivid) << Describe(sources);
    std::vector<QJsonObject> stillwise;
    for (const QJsonObject& s : sources)
        if (Names(s, QStringLiteral("Stillwise")))
            stillwise.push_back(s);
    ASSERT_EQ(stillwise.size(), 1u) << Describe(sources);
    EXPECT_EQ(stillwise[0].value(QStringLiteral("node.name")).toString(), QString::fromUtf8(output::PipeWireNodeName));

    // Without the rule the same monitor lists the loopback node as a second
    // Stillwise: WirePlumber started again without it.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* home = std::getenv("HOME");
    ASSERT_NE(runtime, nullptr);
    ASSERT_NE(home, nullptr);
    QFile pidFile(QString::fromUtf8(runtime) + QStringLiteral("/wireplumber.pid"));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const int pid = pidFile.readAll().trimmed().toInt();
    pidFile.close();
    ASSERT_GT(pid, 1);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    ASSERT_TRUE(QFile::remove(QString::fromUtf8(home) +
                              QStringLiteral("/.config/wireplumber/main.lua.d/60-stillwise-loopback.lua")));
    sendFor(1s);
    qint64 again = 0;
    ASSERT_TRUE(QProcess::startDetached(QStringLiteral("wireplumber"), {}, QString(), &again));
    ASSERT_TRUE(pidFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
    pidFile.write(QByteArray::number(again));
    pidFile.close();
    std::vector<QJsonObject> loopback;
    for (int i = 0; i < 60 && loopback.empty(); ++i) {
        sendFor(500ms);
        for (const QJsonObject& s : Sources())
            if (s.value(QStringLiteral("api.v4l2.path")).toString() == QStringLiteral("/dev/video5"))
                loopback.push_back(s);
    }
    ASSERT_EQ(loopback.size(), 1u) << "without the rule the monitor should list /dev/video5: " << Describe(Sources());
    EXPECT_TRUE(Names(loopback[0], QStringLiteral("Stillwise"))) << Describe(loopback);
    EXPECT_TRUE(box.isChecked());
    box.click();
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
