#pragma once
// Records and numbers of the video-capture interface: what travels between a
// capture window and its client.

#include "records/WinTypes.h"

#include <cstdint>

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Frame header. The buffer belongs to the capture window: a client copies
// what it needs before its callback returns and keeps no pointer into it.
struct VIDEOHDR {
    std::uint8_t* lpData = nullptr; // frame bytes
    DWORD dwBufferLength = 0;       // length of that buffer in bytes
    DWORD dwBytesUsed = 0;          // bytes of the buffer that hold data
    DWORD dwTimeCaptured = 0;       // milliseconds since the stream began
    std::uintptr_t dwUser = 0;      // for the client
    DWORD dwFlags = 0;              // VHDR_* flags
    std::uintptr_t dwReserved[4] = {0, 0, 0, 0};
};
using PVIDEOHDR = VIDEOHDR*;

inline constexpr DWORD VHDR_DONE = 0x00000001;
inline constexpr DWORD VHDR_PREPARED = 0x00000002;
inline constexpr DWORD VHDR_INQUEUE = 0x00000004;
inline constexpr DWORD VHDR_KEYFRAME = 0x00000008;

// Audio buffer header (only carried; no driver of ours streams audio).
struct WAVEHDR {
    char* lpData = nullptr;
    DWORD dwBufferLength = 0;
    DWORD dwBytesRecorded = 0;
    std::uintptr_t dwUser = 0;
    DWORD dwFlags = 0;
    DWORD dwLoops = 0;
    WAVEHDR* lpNext = nullptr;
    std::uintptr_t reserved = 0;
};
using PWaveHdr = WAVEHDR*;

// Capture window status. The client reads the first four fields.
struct CAPSTATUS {
    UINT uiImageWidth = 0;
    UINT uiImageHeight = 0;
    BOOL fLiveWindow = 0;      // preview on
    BOOL fOverlayWindow = 0;   // overlay on
    BOOL fScale = 0;           // preview stretched to the window
    std::int32_t ptScrollX = 0;
    std::int32_t ptScrollY = 0;
    BOOL fUsingDefaultPalette = 0;
    BOOL fAudioHardware = 0;
    BOOL fCapFileExists = 0;
    DWORD dwCurrentVideoFrame = 0;
    DWORD dwCurrentVideoFramesDropped = 0;
    DWORD dwCurrentWaveSamples = 0;
    DWORD dwCurrentTimeElapsedMS = 0;
    std::uintptr_t hPalCurrent = 0;
    BOOL fCapturingNow = 0;
    DWORD dwReturn = 0;
    UINT wNumVideoAllocated = 0;
    UINT wNumAudioAllocated = 0;
};

// Driver capabilities. The client reads fHasOverlay.
struct CAPDRIVERCAPS {
    UINT wDeviceIndex = 0;
    BOOL fHasOverlay = 0;
    BOOL fHasDlgVideoSource = 0;
    BOOL fHasDlgVideoFormat = 0;
    BOOL fHasDlgVideoDisplay = 0;
    BOOL fCaptureInitialized = 0;
    BOOL fDriverSuppliesPalettes = 0;
    std::uintptr_t hVideoIn = 0;
    std::uintptr_t hVideoOut = 0;
    std::uintptr_t hVideoExtIn = 0;
    std::uintptr_t hVideoExtOut = 0;
};

// Window styles and the capture messages (WM_CAP_START + n).
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT WM_CAP_START = WM_USER;
inline constexpr UINT WM_CAP_SET_CALLBACK_STATUSA = WM_CAP_START + 3;
inline constexpr UINT WM_CAP_SET_CALLBACK_FRAME = WM_CAP_START + 5;
inline constexpr UINT WM_CAP_SET_CALLBACK_VIDEOSTREAM = WM_CAP_START + 6;
inline constexpr UINT WM_CAP_SET_CALLBACK_WAVESTREAM = WM_CAP_START + 7;
inline constexpr UINT WM_CAP_GET_USER_DATA = WM_CAP_START + 8;
inline constexpr UINT WM_CAP_SET_USER_DATA = WM_CAP_START + 9;
inline constexpr UINT WM_CAP_DRIVER_CONNECT = WM_CAP_START + 10;
inline constexpr UINT WM_CAP_DRIVER_DISCONNECT = WM_CAP_START + 11;
inline constexpr UINT WM_CAP_DRIVER_GET_CAPS = WM_CAP_START + 14;
inline constexpr UINT WM_CAP_DLG_VIDEOFORMAT = WM_CAP_START + 41;
inline constexpr UINT WM_CAP_DLG_VIDEOSOURCE = WM_CAP_START + 42;
inline constexpr UINT WM_CAP_GET_VIDEOFORMAT = WM_CAP_START + 44;
inline constexpr UINT WM_CAP_SET_PREVIEW = WM_CAP_START + 50;
inline constexpr UINT WM_CAP_SET_OVERLAY = WM_CAP_START + 51;
inline constexpr UINT WM_CAP_SET_PREVIEWRATE = WM_CAP_START + 52;
inline constexpr UINT WM_CAP_SET_SCALE = WM_CAP_START + 53;
inline constexpr UINT WM_CAP_GET_STATUS = WM_CAP_START + 54;
inline constexpr UINT WM_CAP_GRAB_FRAME = WM_CAP_START + 60;
