#include "platform/avicap/DriverCatalog.h"

#include "camera/Notices.h"
#include "camera/pipewire/PipeWireDriver.h"
#include "camera/testcam/TestCamera.h"
#include "camera/v4l2/CameraIdentity.h"
#include "camera/v4l2/DeviceGone.h"
#include "camera/v4l2/DeviceMonitor.h"
#include "camera/v4l2/LoopbackNode.h"
#include "camera/v4l2/NodeCatalog.h"
#include "camera/v4l2/V4l2Driver.h"
#include "camera/v4l2/V4l2System.h"
#include "camera/v4l2/V4l2Text.h"
#include "platform/avicap/VideoWindow.h"

#include <QCoreApplication>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace avicap {

namespace {

// A node that cannot be opened now (no permission, held by another program)
// still gets its slot when sysfs says it is the first node of its device
// (where cameras have their picture), so that connecting explains the
// reason instead of hiding the camera.
bool describeClosedNode(camera::V4l2System& system, const std::string& node, int error, DriverSlot& slot)
{
    if (camera::DeviceGone(error))
        return false;
    if (system.nodeAttribute(node, "index") != "0")
        return false;
    slot.name = system.nodeAttribute(node, "name");
    if (slot.name.empty())
        slot.name = node;
    const QString where = QString::fromStdString(node);
    const QString version = error == EBUSY
                                ? QCoreApplication::translate("avicap::DriverCatalog", "(%1, belegt)").arg(where)
                            : error == EACCES || error == EPERM
                                ? QCoreApplication::translate("avicap::DriverCatalog", "(%1, kein Zugriff)").arg(where)
                                : QStringLiteral("(%1)").arg(where);
    slot.version = version.toStdString();
    return true;
}

} // namespace

DriverCatalog::DriverCatalog(camera::V4l2System& system, std::uint64_t testCameraSeed,
                             camera::PipeWireCameras* pipewire)
    : system_(system), seed_(testCameraSeed), pipewire_(pipewire)
{}

std::vector<DriverSlot> DriverCatalog::drivers() const
{
    std::vector<DriverSlot> found;
    // The virtual webcam's own node is never offered: the program would
    // read what it writes.
    camera::LoopbackChoice output;
    std::vector<std::string> busy;
    for (const camera::NodeLook& look : camera::LookAtNodes(system_)) {
        DriverSlot slot;
        slot.kind = DriverSlot::Kind::V4l2;
        slot.node = look.node;
        if (look.openError != 0) {
            if (look.openError == EBUSY)
                busy.push_back(look.node);
            output.considerClosed(look.node, system_.nodeAttribute(look.node, "name"), look.openError);
            if (describeClosedNode(system_, look.node, look.openError, slot))
                found.push_back(std::move(slot));
            continue;
        }
        if (!look.answered)
            continue;
        output.consider(look.node, look.cap);
        if (!camera::StreamsVideo(look.cap))
            continue;
        slot.name = camera::FieldText(look.cap.card, sizeof look.cap.card);
        // The list reads "card (node)": which camera, then quietly where.
        slot.version = "(" + look.node + ")";
        slot.identity = camera::CameraIdentity(look.cap, system_.nodeAttribute(look.node, "serial"));
        found.push_back(std::move(slot));
    }
    std::erase_if(found, [&](const DriverSlot& s) { return s.node == output.chosen().node; });
    addPipeWireCameras(found, busy, output.chosen().node);
    if (found.size() + 1 > SlotCount)
        found.resize(SlotCount - 1);
    DriverSlot camera;
    camera.kind = DriverSlot::Kind::TestCamera;
    camera.name = QCoreApplication::translate("avicap::DriverCatalog", "Stillwise Testkamera").toStdString();
    camera.version = QCoreApplication::translate("avicap::DriverCatalog", "(eingebaut)").toStdString();
    found.push_back(std::move(camera));
    return found;
}

void DriverCatalog::addPipeWireCameras(std::vector<DriverSlot>& found, const std::vector<std::string>& busy,
                                       const std::string& output) const
{
    if (pipewire_ == nullptr || !pipewire_->available())
        return;
    for (const camera::PipeWireNode& node : pipewire_->nodes()) {
        // Our own output, published directly or seen through the loopback
        // node PipeWire's device monitor found: the program would read
        // what it writes.
        if (node.ours || (!output.empty() && node.v4l2Path == output))
            continue;
        if (!node.v4l2Path.empty()) {
            auto listed = std::find_if(found.begin(), found.end(),
                                       [&](const DriverSlot& s) { return s.node == node.v4l2Path; });
            if (listed != found.end()) {
                // A node we can open ourselves is opened as today, with all
                // its controls; PipeWire's node is kept for when another
                // program holds the camera, as PipeWire may serve it to both.
                listed->pipewire = node;
                if (std::find(busy.begin(), busy.end(), node.v4l2Path) != busy.end()) {
                    listed->shared = true;
                    listed->version = QCoreApplication::translate("avicap::DriverCatalog",
                                                                  "(%1, geteilt über PipeWire)")
                                          .arg(QString::fromStdString(node.v4l2Path))
                                          .toStdString();
                    listed->identity = camera::PipeWireIdentity(node);
                }
                continue;
            }
        }
        DriverSlot slot;
        slot.kind = DriverSlot::Kind::PipeWire;
        slot.name = node.description;
        slot.version = "(PipeWire)";
        slot.identity = camera::PipeWireIdentity(node);
        slot.pipewire = node;
        found.push_back(std::move(slot));
    }
}

std::unique_ptr<camera::Driver> DriverCatalog::openSlot(const DriverSlot& slot) const
{
    if (slot.kind == DriverSlot::Kind::TestCamera)
        return std::make_unique<camera::TestCamera>(seed_);
    if (slot.kind == DriverSlot::Kind::PipeWire || slot.shared)
        return openThroughPipeWire(slot, nullptr);
    QString error;
    int cause = 0;
    std::unique_ptr<camera::Driver> driver = camera::V4l2Driver::open(system_, slot.node, error, &cause);
    // Most cameras open for a second program, and say they are busy only
    // when it asks for their stream: only then is it known that another
    // program holds one PipeWire may share.
    if (!driver && cause == EBUSY && slot.pipewire)
        return openThroughPipeWire(slot, &error);
    if (!driver)
        SetLastConnectError(error);
    return driver;
}

std::unique_ptr<camera::Driver> DriverCatalog::openThroughPipeWire(const DriverSlot& slot, const QString* busy) const
{
    QString error;
    std::unique_ptr<camera::Driver> driver;
    if (slot.pipewire && pipewire_ != nullptr)
        driver = camera::PipeWireDriver::open(*pipewire_, *slot.pipewire, error);
    if (!driver) {
        // For a busy camera that PipeWire cannot serve either, being busy
        // is what the user can act on.
        SetLastConnectError(busy != nullptr ? *busy : error);
        return nullptr;
    }
    if (slot.kind == DriverSlot::Kind::V4l2)
        camera::ReportToUser(
            QCoreApplication::translate("avicap::DriverCatalog",
                                        "Die Kamera „%1“ wird gerade von einem anderen Programm benutzt; "
                                        "Stillwise zeigt sie über PipeWire gemeinsam mit ihm.")
                .arg(QString::fromStdString(slot.name)));
    return driver;
}

std::unique_ptr<camera::Driver> DriverCatalog::open(int slot) const
{
    const std::vector<DriverSlot> all = drivers();
    if (slot < 0 || slot >= static_cast<int>(all.size())) {
        SetLastConnectError(
            QCoreApplication::translate("avicap::DriverCatalog", "In diesem Platz ist kein Treiber eingerichtet."));
        return nullptr;
    }
    return openSlot(all[static_cast<std::size_t>(slot)]);
}

std::pair<int, std::unique_ptr<camera::Driver>> DriverCatalog::openCamera(const std::string& identity) const
{
    if (identity.empty())
        return {-1, nullptr};
    const std::vector<DriverSlot> all = drivers();
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::unique_ptr<camera::Driver> driver;
        if (all[i].identity == identity)
            driver = openSlot(all[i]);
        // A V4L2 camera that was read through PipeWire is taken up that
        // way again.
        else if (all[i].pipewire && camera::PipeWireIdentity(*all[i].pipewire) == identity)
            driver = openThroughPipeWire(all[i], nullptr);
        if (driver && driver->identity() == identity)
            return {static_cast<int>(i), std::move(driver)};
    }
    return {-1, nullptr};
}

void CopyText(const std::string& text, char* buffer, int size)
{
    if (size <= 0)
        return;
    std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    // Do not cut a UTF-8 character in two.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

bool CatalogLibrary::driverDescription(WORD index, char* name, int nameSize, char* version, int versionSize)
{
    constexpr qint64 freshForMs = 1000;
    // A camera plugged in or out makes the last look out of date at once.
    const unsigned changes = QCoreApplication::instance() != nullptr ? camera::DeviceMonitor::Instance().changes() : 0;
    if (!describedAt_.isValid() || describedAt_.elapsed() > freshForMs || changes != describedChanges_) {
        describedChanges_ = changes;
        described_ = catalog_.drivers();
        describedAt_.start();
    }
    if (index >= described_.size())
        return false;
    CopyText(described_[index].name, name, nameSize);
    CopyText(described_[index].version, version, versionSize);
    return true;
}

CaptureWindow* CatalogLibrary::createCaptureWindow(const char* title, DWORD style, int x, int y, int width, int height,
                                                   QWidget* parent, int)
{
    auto* window = new VideoWindow([this](int slot) { return catalog_.open(slot); }, parent);
    window->setCameraFinder([this](const std::string& identity) { return catalog_.openCamera(identity); });
    if (title != nullptr)
        window->setWindowTitle(QString::fromUtf8(title));
    window->setGeometry(x, y, std::max(0, width), std::max(0, height));
    if (style & WS_VISIBLE)
        window->show();
    return window;
}

} // namespace avicap
