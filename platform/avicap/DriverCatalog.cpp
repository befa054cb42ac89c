#include "platform/avicap/DriverCatalog.h"

#include "platform/avicap/CameraIdentity.h"
#include "platform/avicap/DeviceMonitor.h"
#include "platform/avicap/LoopbackNode.h"
#include "platform/avicap/TestCamera.h"
#include "platform/avicap/V4l2Driver.h"
#include "platform/avicap/V4l2System.h"
#include "platform/avicap/VideoWindow.h"

#include <fcntl.h>

#include <QCoreApplication>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>

namespace avicap {

namespace {

std::string fieldText(const __u8* field, std::size_t size)
{
    return std::string(reinterpret_cast<const char*>(field), strnlen(reinterpret_cast<const char*>(field), size));
}

// A node that cannot be opened now (no permission, held by another program)
// still gets its slot when sysfs says it is the first node of its device
// (where cameras have their picture), so that connecting explains the
// reason instead of hiding the camera.
bool describeClosedNode(V4l2System& system, const std::string& node, int error, DriverSlot& slot)
{
    if (error == ENOENT || error == ENODEV || error == ENXIO)
        return false;
    if (system.nodeAttribute(node, "index") != "0")
        return false;
    slot.name = system.nodeAttribute(node, "name");
    if (slot.name.empty())
        slot.name = node;
    slot.version = "(" + node +
                   (error == EBUSY ? ", belegt)" : error == EACCES || error == EPERM ? ", kein Zugriff)" : ")");
    return true;
}

} // namespace

DriverCatalog::DriverCatalog(V4l2System& system, std::uint64_t testCameraSeed)
    : system_(system), seed_(testCameraSeed)
{
}

std::vector<DriverSlot> DriverCatalog::drivers() const
{
    std::vector<DriverSlot> found;
    // The virtual webcam's own node is never offered: the program would
    // read what it writes.
    LoopbackChoice output;
    for (const std::string& node : system_.videoNodes()) {
        DriverSlot slot;
        slot.kind = DriverSlot::Kind::V4l2;
        slot.node = node;
        const int fd = system_.open(node, O_RDWR | O_NONBLOCK);
        if (fd < 0) {
            const int error = errno;
            output.considerClosed(node, system_.nodeAttribute(node, "name"), error);
            if (describeClosedNode(system_, node, error, slot))
                found.push_back(std::move(slot));
            continue;
        }
        v4l2_capability cap{};
        const bool known = system_.ioctl(fd, VIDIOC_QUERYCAP, &cap) == 0;
        system_.close(fd);
        if (!known)
            continue;
        output.consider(node, cap);
        if (!StreamsVideo(cap))
            continue;
        slot.name = fieldText(cap.card, sizeof cap.card);
        // The list reads "card (node)": which camera, then quietly where.
        slot.version = "(" + node + ")";
        slot.identity = CameraIdentity(cap, system_.nodeAttribute(node, "serial"));
        found.push_back(std::move(slot));
    }
    std::erase_if(found, [&](const DriverSlot& s) { return s.node == output.chosen().node; });
    if (found.size() + 1 > SlotCount)
        found.resize(SlotCount - 1);
    DriverSlot camera;
    camera.kind = DriverSlot::Kind::TestCamera;
    camera.name = "Stillwise Testkamera";
    camera.version = "(eingebaut)";
    found.push_back(std::move(camera));
    return found;
}

std::unique_ptr<Driver> DriverCatalog::open(int slot) const
{
    const std::vector<DriverSlot> all = drivers();
    if (slot < 0 || slot >= static_cast<int>(all.size())) {
        SetLastConnectError(QStringLiteral("In diesem Platz ist kein Treiber eingerichtet."));
        return nullptr;
    }
    const DriverSlot& chosen = all[static_cast<std::size_t>(slot)];
    if (chosen.kind == DriverSlot::Kind::TestCamera)
        return std::make_unique<TestCamera>(seed_);
    QString error;
    std::unique_ptr<Driver> driver = V4l2Driver::open(system_, chosen.node, error);
    if (!driver)
        SetLastConnectError(error);
    return driver;
}

std::pair<int, std::unique_ptr<Driver>> DriverCatalog::openCamera(const std::string& identity) const
{
    if (identity.empty())
        return {-1, nullptr};
    const std::vector<DriverSlot> all = drivers();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].identity != identity)
            continue;
        QString error;
        std::unique_ptr<Driver> driver = V4l2Driver::open(system_, all[i].node, error);
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
    const unsigned changes = QCoreApplication::instance() != nullptr ? DeviceMonitor::Instance().changes() : 0;
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

CaptureWindow* CatalogLibrary::createCaptureWindow(const char* title, DWORD style, int x, int y, int width,
                                                   int height, QWidget* parent, int)
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
