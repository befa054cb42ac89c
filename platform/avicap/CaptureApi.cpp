#include "platform/avicap/CaptureApi.h"

#include "platform/avicap/SystemLibrary.h"

#include "camera/v4l2/DeviceMonitor.h"

namespace avicap {

namespace {
Library* installed = nullptr;
}

Library& CurrentLibrary()
{
    return installed != nullptr ? *installed : SystemLibrary();
}

void SetLibrary(Library* library)
{
    installed = library;
}

void OnDriversChanged(QObject* context, std::function<void()> changed)
{
    QObject::connect(&camera::DeviceMonitor::Instance(), &camera::DeviceMonitor::devicesChanged, context,
                     std::move(changed));
}

} // namespace avicap

BOOL capGetDriverDescriptionA(WORD wDriverIndex, char* lpszName, int cbName, char* lpszVer, int cbVer)
{
    if (lpszName == nullptr || lpszVer == nullptr || cbName <= 0 || cbVer <= 0)
        return 0;
    return avicap::CurrentLibrary().driverDescription(wDriverIndex, lpszName, cbName, lpszVer, cbVer) ? 1 : 0;
}

HWND capCreateCaptureWindowA(const char* lpszWindowName, DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                             QWidget* hwndParent, int nID)
{
    return avicap::CurrentLibrary().createCaptureWindow(lpszWindowName, dwStyle, x, y, nWidth, nHeight, hwndParent,
                                                        nID);
}

LRESULT SendMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (hWnd == nullptr)
        return 0;
    return hWnd->message(msg, wParam, lParam);
}
