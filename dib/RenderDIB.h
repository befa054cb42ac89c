#pragma once
// Drawing a picture onto a device: the one way a picture reaches a screen
// pane, the viewer, the print preview or a printer page.

#include "dib/Pixmill.h"
#include "platform/gdi/gdi.h"

// Draws the source rectangle of Dib (SrcY counts rows up from the bottom row)
// scaled into the target rectangle of DC. The source is first clipped to the
// picture, the target shrunk with it. A 24-bit picture is halftoned when the
// screen shows 8 bits or fewer and Halftone allows it; otherwise the device
// stretches it, or is given a resampled copy, or a memory bitmap. Failures
// of the last way are shown in a message box; the caller learns nothing.
// The palette selected is Dib's own when UseOwnPalette, else Palette (may be
// null). Leaves the device in COLORONCOLOR stretch mode.
void RenderDIB(HDC DC, int DestX, int DestY, int DestWidth, int DestHeight, const DIB& Dib, int SrcX, int SrcY,
               int SrcWidth, int SrcHeight, bool Halftone, DWORD Rop, bool UseOwnPalette, HPALETTE Palette);
