#pragma once
// Drawing a picture onto a device: the one way a picture reaches a screen
// pane, the viewer, the print preview or a printer page.

#include "dib/Pixmill.h"
#include "platform/gdi/Gdi.h"

// Draws the source rectangle of Dib (SrcY counts rows up from the bottom row)
// scaled into the target rectangle of DC.
//
// The source is first clipped to the picture and the target shrunk with it.
// A 24-bit picture is halftoned when the screen shows 8 bits or fewer and
// Halftone allows it; otherwise the device stretches the picture itself, or
// is given a copy resampled to the target size, or a memory bitmap to copy
// from. Failures of the last way are shown in a message box; the caller
// learns nothing. The palette selected is Dib's own when UseOwnPalette, else
// Palette (may be null); the device's palette is restored on return. Leaves
// the device in COLORONCOLOR stretch mode.
//
// A negative target width or height mirrors the picture along that axis on
// the ways where the device stretches.
//
// Nothing at all is drawn (and the device is not touched) when the picture
// has no pixels or nothing of the source rectangle lies in the picture, or
// when the clipped target has no area. A target one pixel wide or high is
// not drawn on the resampled-copy way.
void RenderDIB(HDC DC, int DestX, int DestY, int DestWidth, int DestHeight, const DIB& Dib, int SrcX, int SrcY,
               int SrcWidth, int SrcHeight, bool Halftone, DWORD Rop, bool UseOwnPalette, HPALETTE Palette);

namespace render {

// A drawing request's two rectangles.
struct Rects {
    int DestX = 0, DestY = 0, DestWidth = 0, DestHeight = 0;
    int SrcX = 0, SrcY = 0, SrcWidth = 0, SrcHeight = 0;
};

// q rounded to the nearest integer, a half going to the even neighbour
// (2.5 -> 2, 3.5 -> 4); held within the range of int.
int RoundHalfEven(double q);

// Clips the source rectangle to a picture of W x H pixels, shrinking the
// target in proportion, by the right, bottom, top and left edge in that
// order. Sizes are rounded half to even. Answers false when nothing of the
// source lies in the picture (then r is left part-way and must not be drawn).
bool ClipToPicture(Rects& r, int W, int H);

// Fills scratch (DestWidth x DestHeight, same bit count as source, pixel
// bytes zero) from the source rectangle, nearest neighbour, first and last
// pixels matched. Supports 1, 4, 8 and 24 bits; leaves other bit counts
// untouched. The source rectangle must lie inside the picture and both target
// sizes must be at least 2.
void FillScratch(const DIB& scratch, const DIB& source, int SrcX, int SrcY, int SrcWidth, int SrcHeight);

} // namespace render
