#pragma once
// The drivers of this machine in slots 0..9: every V4L2 node that captures
// video, in node order, then the cameras only PipeWire offers, then the
// built-in test camera. Each camera is listed once: a camera PipeWire
// serves from a /dev/video* node this catalog lists is that node's slot.
// The catalog looks at the devices afresh each time it is asked, so a
// camera plugged in later shows up.

#include "camera/Driver.h"
#include "camera/pipewire/PipeWireCameras.h"
#include "platform/avicap/CaptureApi.h"

#include <QElapsedTimer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace camera {
class V4l2System;
}

namespace avicap {

struct DriverSlot {
    enum class Kind { V4l2, PipeWire, TestCamera };
    Kind kind = Kind::TestCamera;
    std::string node; // device node of a V4L2 slot
    std::string name;
    std::string version;
    std::string identity; // of a camera that could be asked
    // The PipeWire node of a PipeWire slot, or the one PipeWire serves a
    // V4L2 slot's node through: when another program holds the camera, the
    // slot is opened through PipeWire, shared with that program.
    std::optional<camera::PipeWireNode> pipewire;
    bool shared = false; // held by another program when the list was made
};

class DriverCatalog {
public:
    static constexpr int SlotCount = 10;

    // `system` carries every V4L2 call; the test camera starts from `seed`;
    // `pipewire` (may be null) offers PipeWire's cameras.
    DriverCatalog(camera::V4l2System& system, std::uint64_t testCameraSeed,
                  camera::PipeWireCameras* pipewire = nullptr);

    std::vector<DriverSlot> drivers() const;
    // The connected driver of a slot, or null with LastConnectError() set.
    std::unique_ptr<camera::Driver> open(int slot) const;
    // The driver of the camera with this identity wherever it is now, and
    // its slot; null (and -1) when that camera is not there.
    std::pair<int, std::unique_ptr<camera::Driver>> openCamera(const std::string& identity) const;

private:
    // The PipeWire cameras added to `found` (the V4L2 slots so far).
    void addPipeWireCameras(std::vector<DriverSlot>& found, const std::vector<std::string>& busy,
                            const std::string& output) const;
    std::unique_ptr<camera::Driver> openSlot(const DriverSlot& slot) const;
    // With a notice when a V4L2 camera is shared; `busy` is the V4L2
    // driver's reason, told instead when PipeWire cannot serve either.
    std::unique_ptr<camera::Driver> openThroughPipeWire(const DriverSlot& slot, const QString* busy) const;

    camera::V4l2System& system_;
    std::uint64_t seed_;
    camera::PipeWireCameras* pipewire_;
};

// The library on top of a catalog. Descriptions asked for slot after slot
// (a list of all ten) come from one look at the devices: opening a camera
// node can wake the camera, which takes its time.
class CatalogLibrary final : public Library {
public:
    explicit CatalogLibrary(DriverCatalog catalog) : catalog_(std::move(catalog)) {}
    bool driverDescription(WORD index, char* name, int nameSize, char* version, int versionSize) override;
    CaptureWindow* createCaptureWindow(const char* title, DWORD style, int x, int y, int width, int height,
                                       QWidget* parent, int id) override;

private:
    DriverCatalog catalog_;
    std::vector<DriverSlot> described_;
    QElapsedTimer describedAt_;
    unsigned describedChanges_ = 0;
};

// Copies a text into a buffer of `size` bytes, cut at a character boundary
// if it is too long, always zero-terminated.
void CopyText(const std::string& text, char* buffer, int size);

} // namespace avicap
