#pragma once
// The capture library: capture drivers in slots 0..9 (V4L2 devices, then the
// built-in test camera) and capture windows that talk with them.
//
// A capture window is a real child widget of its parent. Every operation on
// it is one synchronous message (WM_CAP_*); the window answers on the calling
// (GUI) thread. Callbacks registered through messages are called on the GUI
// thread too, while it dispatches events. A null window answers every message
// with 0.

#include "records/VfwTypes.h"

#include <QString>
#include <QWidget>

#include <functional>

#include <memory>

namespace avicap {

// What every capture window is: a widget that answers capture messages.
// Tests may derive scripted windows from it.
class CaptureWindow : public QWidget {
public:
    using QWidget::QWidget;
    virtual LRESULT message(UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

// The library behind the two imported functions. The program uses the real
// one; tests may install a scripted one.
class Library {
public:
    virtual ~Library() = default;
    virtual bool driverDescription(WORD index, char* name, int nameSize, char* version, int versionSize) = 0;
    virtual CaptureWindow* createCaptureWindow(const char* title, DWORD style, int x, int y, int width, int height,
                                               QWidget* parent, int id) = 0;
};

// The library in use. SetLibrary(nullptr) restores the real one; the caller
// keeps ownership of what it installs.
Library& CurrentLibrary();
void SetLibrary(Library* library);

// Why the last WM_CAP_DRIVER_CONNECT answered 0, as a German text for the
// user (a device without permission, busy in another program, ...); empty
// after a connect that worked or when nothing more is known.
QString LastConnectError();
void SetLastConnectError(const QString& text);

// Calls `changed` on the GUI thread, for as long as `context` lives,
// whenever the drivers in the slots may have changed: a camera was plugged
// in or out.
void OnDriversChanged(QObject* context, std::function<void()> changed);

} // namespace avicap

// A capture window handle; null means no window.
using HWND = avicap::CaptureWindow*;

// Callback shapes. Each answers 1.
using CAPSTATUSCALLBACK = LRESULT (*)(HWND hWnd, int nID, const char* lpsz);
using CAPVIDEOCALLBACK = LRESULT (*)(HWND hWnd, VIDEOHDR* lpVHdr);
using CAPWAVECALLBACK = LRESULT (*)(HWND hWnd, WAVEHDR* lpWHdr);

// True when the slot holds a driver; then both buffers hold zero-terminated
// texts (the card name; driver, its version and the device node).
BOOL capGetDriverDescriptionA(WORD wDriverIndex, char* lpszName, int cbName, char* lpszVer, int cbVer);

// A new capture window as a child of parent, or null. The caller owns it
// (destroying the widget disconnects its driver).
HWND capCreateCaptureWindowA(const char* lpszWindowName, DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                             QWidget* hwndParent, int nID);

// One synchronous message; a null window answers 0.
LRESULT SendMessageA(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
