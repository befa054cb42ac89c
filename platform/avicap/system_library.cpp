#include "platform/avicap/system_library.h"

namespace avicap {

namespace {

// Until the drivers arrive the machine offers none.
class NoDrivers final : public Library {
public:
    bool driverDescription(WORD, char*, int, char*, int) override { return false; }
    CaptureWindow* createCaptureWindow(const char*, DWORD, int, int, int, int, QWidget*, int) override
    {
        return nullptr;
    }
};

} // namespace

Library& SystemLibrary()
{
    static NoDrivers library;
    return library;
}

} // namespace avicap
