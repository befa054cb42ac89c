// The video-source and video-format dialogs on a camera with many
// controls: they fit the screen, speak German, grey what cannot be changed
// and follow the device while open.

#include "tests/camera/AvicapTestSupport.h"
#include "tests/camera/ManyControls.h"

#include "camera/dialogs/FormatDialog.h"
#include "camera/dialogs/SourceDialog.h"
#include "camera/v4l2/V4l2Driver.h"
#include "platform/avicap/VideoWindow.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QTabWidget>

#include <map>

using namespace avicap_test;

namespace {

QLabel* labelNamed(QWidget& in, const QString& text)
{
    for (QLabel* l : in.findChildren<QLabel*>())
        if (l->text() == text)
            return l;
    return nullptr;
}

QCheckBox* boxNamed(QWidget& in, const QString& text)
{
    for (QCheckBox* b : in.findChildren<QCheckBox*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// The widget a form shows beside a label.
QWidget* fieldOf(QLabel* label)
{
    return label != nullptr ? label->buddy() : nullptr;
}

QPushButton* buttonNamed(QWidget& in, const QString& text)
{
    for (QPushButton* b : in.findChildren<QPushButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// Whether a widget lies wholly inside the dialog's visible area.
bool reachable(QWidget& dialog, QWidget* w)
{
    if (w == nullptr || !w->isVisibleTo(&dialog))
        return false;
    const QRect r(w->mapTo(&dialog, QPoint(0, 0)), w->size());
    return dialog.rect().contains(r);
}

struct ManyControlCamera : ::testing::Test {
    SimulatedLibrary lib{{simv4l2::ManyControlCamera()}};
    QWidget parent;
    HWND window = nullptr;

    void SetUp() override
    {
        window = MakeWindow(parent);
        ASSERT_EQ(SendMessageA(window, WM_CAP_DRIVER_CONNECT, 0, 0), 1);
    }
    ~ManyControlCamera() override { delete window; }
    camera::Driver& driver() { return *static_cast<avicap::VideoWindow*>(window)->driver(); }
};

} // namespace

TEST_F(ManyControlCamera, SourceDialogFitsTheScreenWithTabsAndGermanNames)
{
    camera::SourceDialog dialog(*driver().controls(), nullptr);
    dialog.show();
    SpinFor(50);

    const QRect room = dialog.screen()->availableGeometry();
    EXPECT_LE(dialog.frameGeometry().height(), room.height());
    EXPECT_TRUE(reachable(dialog, buttonNamed(dialog, QStringLiteral("Standardwerte"))));
    EXPECT_TRUE(reachable(dialog, buttonNamed(dialog, QStringLiteral("Schließen"))));

    QTabWidget* tabs = dialog.tabs();
    ASSERT_NE(tabs, nullptr);
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i)
        titles << tabs->tabText(i);
    EXPECT_EQ(titles, (QStringList{QStringLiteral("Bild"), QStringLiteral("Kamera"), QStringLiteral("JPEG"),
                                   QStringLiteral("Bildverarbeitung")}));
    // The long picture tab scrolls inside the dialog rather than growing it.
    auto* picture = qobject_cast<QScrollArea*>(tabs->widget(0));
    ASSERT_NE(picture, nullptr);
    EXPECT_GT(picture->widget()->sizeHint().height(), picture->viewport()->height());

    for (const char* name :
         {"Helligkeit:", "Kontrast:", "Farbsättigung:", "Farbton:", "Gamma:", "Verstärkung:", "Farbtemperatur:",
          "Schärfe:", "Gegenlichtausgleich:", "Netzfrequenz:", "Lautstärke:", "Belichtungsart:", "Belichtungszeit:",
          "Schärfeebene:", "Zoom:", "Schwenken:", "Neigen:", "Vendor Tuning 7:"})
        EXPECT_NE(labelNamed(dialog, QString::fromUtf8(name)), nullptr) << name;
    for (const char* name : {"Automatischer Weißabgleich", "Automatische Verstärkung", "Ton aus", "Autofokus",
                             "Waagerecht spiegeln", "Senkrecht spiegeln"})
        EXPECT_NE(boxNamed(dialog, QString::fromUtf8(name)), nullptr) << name;
    for (const char* english : {"Volume:", "Gain:", "Brightness:"})
        EXPECT_EQ(labelNamed(dialog, QString::fromUtf8(english)), nullptr) << english;

    auto* mains = qobject_cast<QComboBox*>(fieldOf(labelNamed(dialog, QStringLiteral("Netzfrequenz:"))));
    ASSERT_NE(mains, nullptr);
    QStringList items;
    for (int i = 0; i < mains->count(); ++i)
        items << mains->itemText(i);
    EXPECT_EQ(items, (QStringList{QStringLiteral("Aus"), QStringLiteral("50 Hz"), QStringLiteral("60 Hz"),
                                  QStringLiteral("Automatisch")}));

    // Ruled by an automatic mode or read-only: shown, greyed, unchangeable.
    for (const char* name : {"Verstärkung:", "Belichtungszeit:", "Farbtemperatur:", "Mindestzahl Puffer:"}) {
        QLabel* label = labelNamed(dialog, QString::fromUtf8(name));
        ASSERT_NE(label, nullptr) << name;
        EXPECT_FALSE(label->isEnabled()) << name;
        EXPECT_FALSE(fieldOf(label)->isEnabled()) << name;
    }
    EXPECT_TRUE(fieldOf(labelNamed(dialog, QStringLiteral("Helligkeit:")))->isEnabled());

    const QString shots = QStringLiteral(STILLWISE_SCREENSHOT_DIR);
    QDir().mkpath(shots);
    tabs->setCurrentIndex(0);
    SpinFor(20);
    EXPECT_TRUE(dialog.grab().save(shots + QStringLiteral("/source_dialog_bild.png")));
    tabs->setCurrentIndex(1);
    SpinFor(20);
    EXPECT_TRUE(dialog.grab().save(shots + QStringLiteral("/source_dialog_kamera.png")));
}

TEST_F(ManyControlCamera, FormatDialogNamesStandardFormatsInGerman)
{
    camera::FormatDialog dialog(*driver().formats(), nullptr);
    auto* formats = dialog.findChildren<QComboBox*>().value(0);
    ASSERT_NE(formats, nullptr);
    QStringList names;
    for (int i = 0; i < formats->count(); ++i)
        names << formats->itemText(i);
    EXPECT_EQ(names,
              (QStringList{QStringLiteral("YUV 4:2:2 gepackt (YUYV)"), QStringLiteral("Motion-JPEG (komprimiert)")}));
}

namespace {

// A control set whose device changes on its own: another program switches
// automatic exposure. Notices arrive as urgent data on a loopback TCP
// connection, which raises the same exceptional condition a V4L2 device
// raises for its events.
class ChangingControls final : public camera::ControlSet {
public:
    ChangingControls()
    {
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(server, 1);
        ::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length);
        sender_ = ::socket(AF_INET, SOCK_STREAM, 0);
        ::connect(sender_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        receiver_ = ::accept(server, nullptr, nullptr);
        ::close(server);
        values_[V4L2_CID_EXPOSURE_AUTO] = V4L2_EXPOSURE_MANUAL;
        values_[V4L2_CID_EXPOSURE_ABSOLUTE] = 300;
    }
    ~ChangingControls() override
    {
        ::close(sender_);
        ::close(receiver_);
    }

    std::vector<camera::ControlInfo> list() override
    {
        ++listed;
        camera::ControlInfo mode;
        mode.id = V4L2_CID_EXPOSURE_AUTO;
        mode.kind = camera::ControlInfo::Kind::Menu;
        mode.name = QStringLiteral("Belichtungsart");
        mode.group = V4L2_CTRL_CLASS_CAMERA;
        mode.maximum = 3;
        mode.value = values_[V4L2_CID_EXPOSURE_AUTO];
        mode.items = {{0, QStringLiteral("Automatisch")}, {1, QStringLiteral("Manuell")}};
        camera::ControlInfo time;
        time.id = V4L2_CID_EXPOSURE_ABSOLUTE;
        time.name = QStringLiteral("Belichtungszeit");
        time.group = V4L2_CTRL_CLASS_CAMERA;
        time.minimum = 3;
        time.maximum = 2047;
        time.value = values_[V4L2_CID_EXPOSURE_ABSOLUTE];
        time.inactive = mode.value != V4L2_EXPOSURE_MANUAL;
        return {mode, time};
    }
    bool set(std::uint32_t id, int value) override
    {
        values_[id] = value;
        return true;
    }
    void reset() override {}
    int changeHandle() override { return receiver_; }
    bool takeChanges() override
    {
        char byte;
        return ::recv(receiver_, &byte, 1, MSG_OOB | MSG_DONTWAIT) == 1;
    }

    // What another program does to the device.
    void changeElsewhere(std::uint32_t id, int value)
    {
        values_[id] = value;
        const char byte = 'c';
        ::send(sender_, &byte, 1, MSG_OOB);
    }

    int listed = 0;

private:
    std::map<std::uint32_t, int> values_;
    int sender_ = -1;
    int receiver_ = -1;
};

} // namespace

TEST(SourceDialogLive, FollowsAutomaticModesSwitchedOnTheDevice)
{
    App();
    ChangingControls controls;
    camera::SourceDialog dialog(controls, nullptr);
    dialog.show();
    QLabel* label = labelNamed(dialog, QStringLiteral("Belichtungszeit:"));
    ASSERT_NE(label, nullptr);
    QWidget* time = fieldOf(label);
    auto* slider = time->findChild<QSlider*>();
    ASSERT_NE(slider, nullptr);
    EXPECT_TRUE(time->isEnabled());

    controls.changeElsewhere(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_AUTO);
    controls.changeElsewhere(V4L2_CID_EXPOSURE_ABSOLUTE, 120);
    EXPECT_TRUE(SpinUntil([&] { return !time->isEnabled(); }, 2000));
    EXPECT_FALSE(label->isEnabled());
    EXPECT_TRUE(SpinUntil([&] { return slider->value() == 120; }, 2000));

    controls.changeElsewhere(V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL);
    EXPECT_TRUE(SpinUntil([&] { return time->isEnabled(); }, 2000));
    // Once the notices are taken the dialog stays quiet.
    SpinFor(50);
    const int listed = controls.listed;
    SpinFor(100);
    EXPECT_EQ(controls.listed, listed);
}
