#include "capture/AviCap.h"

namespace {

WPARAM word(int v)
{
    return static_cast<WPARAM>(static_cast<WORD>(v));
}

WPARAM flag(bool f)
{
    return f ? 1 : 0;
}

template <typename P>
LPARAM pointer(P p)
{
    return reinterpret_cast<LPARAM>(p);
}

bool yes(LRESULT answer)
{
    return (answer & 0xFF) != 0;
}

} // namespace

LRESULT capSetCallbackOnStatus(HWND hwnd, CAPSTATUSCALLBACK fpProc)
{
    return SendMessageA(hwnd, WM_CAP_SET_CALLBACK_STATUSA, 0, pointer(fpProc));
}

LRESULT capSetCallbackOnFrame(HWND hwnd, CAPVIDEOCALLBACK fpProc)
{
    return SendMessageA(hwnd, WM_CAP_SET_CALLBACK_FRAME, 0, pointer(fpProc));
}

LRESULT capSetCallbackOnVideoStream(HWND hwnd, CAPVIDEOCALLBACK fpProc)
{
    return SendMessageA(hwnd, WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, pointer(fpProc));
}

LRESULT capSetCallbackOnWaveStream(HWND hwnd, CAPWAVECALLBACK fpProc)
{
    return SendMessageA(hwnd, WM_CAP_SET_CALLBACK_WAVESTREAM, 0, pointer(fpProc));
}

LRESULT capGetUserData(HWND hwnd)
{
    return SendMessageA(hwnd, WM_CAP_GET_USER_DATA, 0, 0);
}

LRESULT capSetUserData(HWND hwnd, LPARAM lUser)
{
    return SendMessageA(hwnd, WM_CAP_SET_USER_DATA, 0, lUser);
}

bool capDriverConnect(HWND hwnd, int i)
{
    return yes(SendMessageA(hwnd, WM_CAP_DRIVER_CONNECT, word(i), 0));
}

LRESULT capDriverDisconnect(HWND hwnd)
{
    return SendMessageA(hwnd, WM_CAP_DRIVER_DISCONNECT, 0, 0);
}

bool capDriverGetCaps(HWND hwnd, CAPDRIVERCAPS* s, int wSize)
{
    return yes(SendMessageA(hwnd, WM_CAP_DRIVER_GET_CAPS, word(wSize), pointer(s)));
}

LRESULT capDlgVideoFormat(HWND hwnd)
{
    return SendMessageA(hwnd, WM_CAP_DLG_VIDEOFORMAT, 0, 0);
}

LRESULT capDlgVideoSource(HWND hwnd)
{
    return SendMessageA(hwnd, WM_CAP_DLG_VIDEOSOURCE, 0, 0);
}

DWORD capGetVideoFormat(HWND hwnd, void* s, int wSize)
{
    return static_cast<DWORD>(SendMessageA(hwnd, WM_CAP_GET_VIDEOFORMAT, word(wSize), pointer(s)));
}

DWORD capGetVideoFormatSize(HWND hwnd)
{
    return static_cast<DWORD>(SendMessageA(hwnd, WM_CAP_GET_VIDEOFORMAT, 0, 0));
}

LRESULT capPreview(HWND hwnd, bool f)
{
    return SendMessageA(hwnd, WM_CAP_SET_PREVIEW, flag(f), 0);
}

LRESULT capOverlay(HWND hwnd, bool f)
{
    return SendMessageA(hwnd, WM_CAP_SET_OVERLAY, flag(f), 0);
}

LRESULT capPreviewRate(HWND hwnd, int wMS)
{
    return SendMessageA(hwnd, WM_CAP_SET_PREVIEWRATE, word(wMS), 0);
}

LRESULT capPreviewScale(HWND hwnd, bool f)
{
    return SendMessageA(hwnd, WM_CAP_SET_SCALE, flag(f), 0);
}

bool capGetStatus(HWND hwnd, CAPSTATUS* s, int wSize)
{
    return yes(SendMessageA(hwnd, WM_CAP_GET_STATUS, word(wSize), pointer(s)));
}

bool capGrabFrame(HWND hwnd)
{
    return yes(SendMessageA(hwnd, WM_CAP_GRAB_FRAME, 0, 0));
}
