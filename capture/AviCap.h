#pragma once
// The thin layer over capture windows: one operation per message, each
// sending exactly one message and answering what the window answers.
// Counts, sizes and indices travel as unsigned 16-bit values in wParam,
// flags as 0 or 1, pointers and handles in lParam. Yes/no answers take the
// low byte of the window's answer.

#include "platform/avicap/CaptureApi.h"

LRESULT capSetCallbackOnStatus(HWND hwnd, CAPSTATUSCALLBACK fpProc);
LRESULT capSetCallbackOnFrame(HWND hwnd, CAPVIDEOCALLBACK fpProc);
LRESULT capSetCallbackOnVideoStream(HWND hwnd, CAPVIDEOCALLBACK fpProc);
LRESULT capSetCallbackOnWaveStream(HWND hwnd, CAPWAVECALLBACK fpProc);
LRESULT capGetUserData(HWND hwnd);
LRESULT capSetUserData(HWND hwnd, LPARAM lUser);
bool capDriverConnect(HWND hwnd, int i);
LRESULT capDriverDisconnect(HWND hwnd);
bool capDriverGetCaps(HWND hwnd, CAPDRIVERCAPS* s, int wSize);
LRESULT capDlgVideoFormat(HWND hwnd);
LRESULT capDlgVideoSource(HWND hwnd);
DWORD capGetVideoFormat(HWND hwnd, void* s, int wSize);
DWORD capGetVideoFormatSize(HWND hwnd);
LRESULT capPreview(HWND hwnd, bool f);
LRESULT capOverlay(HWND hwnd, bool f);
LRESULT capPreviewRate(HWND hwnd, int wMS);
LRESULT capPreviewScale(HWND hwnd, bool f);
bool capGetStatus(HWND hwnd, CAPSTATUS* s, int wSize);
bool capGrabFrame(HWND hwnd);
