#pragma once
// Pixmill, the picture library. Makes, frees, reads, writes and halftones
// device-independent pictures held in a DIB record.
//
// Promises to callers:
//  - rows are uncompressed, bottom row first, biHeight positive and equal to
//    the number of rows; row y starts at bits + y * rowbytes;
//  - rowbytes is the standard stride ((width * bitcount + 31) / 32) * 4;
//  - newdib's pixel bytes start at zero;
//  - copies of a record share one picture; one deldib on any copy frees it;
//  - a request that cannot be met gives a record whose bits is null.
// All functions may be called from any thread, one at a time per picture.

#include "records/WinTypes.h"

#include <cstdint>

// One picture. A plain value: copying it copies the pointers only.
struct DIB {
    BITMAPINFO* info = nullptr;   // header followed by the colour table
    void* picture = nullptr;      // the library's own bookkeeping
    std::uint8_t* bits = nullptr; // pixel rows; null when newdib failed
    std::int32_t rowbytes = 0;    // bytes from one row to the next
    std::uint8_t haspalette = 0;  // 1: select hpalette before drawing
    HPALETTE hpalette = nullptr;  // owned by the library
};

DIB newdib(int width, int height, int bitcount, const BITMAPINFO* source, int colors);

// Like newdib, but the pixel bytes are left as the library finds them. For a
// caller that writes every byte of the picture before anyone reads it.
DIB newdibuninitialized(int width, int height, int bitcount, const BITMAPINFO* source, int colors);

// Remaking a picture in place. renewdib makes r a picture of the given format
// as deldib followed by newdibuninitialized would, but keeps its pixel memory
// and the bytes in it. It works when dibfits says the new picture fits the old
// memory (the same byte count, give or take a quarter, and the same number of
// colours); then nothing is allocated and nothing can fail. Otherwise it
// answers false and leaves r as it was.
bool dibfits(const DIB& r, int width, int height, int bitcount, int colors);
bool renewdib(DIB& r, int width, int height, int bitcount, const BITMAPINFO* source, int colors);

// Frees the picture behind r. A record that never held a picture, or whose
// picture was already freed, is ignored.
void deldib(const DIB& r);

// Pixel values: colour index at 1, 4 and 8 bits; B | G << 8 | R << 16 at 24
// bits (the bytes as they lie in memory); the raw little-endian word at 16
// and 32 bits. y counts rows in memory order (0 is the bottom row).
// Outside the picture getpixel answers 0 and setpixel does nothing.
std::uint32_t getpixel(const DIB& r, int x, int y);
void setpixel(const DIB& r, int x, int y, std::uint32_t value);

// An 8-bit picture of the same size with its own colour table (a colour cube
// with grey ramp), ordered-dithered so a screen of 8 bits or fewer can show it.
DIB DIBHalftoneDIB(const DIB& r);
// The whole picture resampled to width x height (area average when
// shrinking, nearest pixel when growing), then halftoned as above.
DIB DIBHalftoneDIBXY(const DIB& r, int width, int height);

double power(double base, double exponent);

namespace pixmill {

// Bookkeeping for tests and diagnostics.
struct Stats {
    std::int64_t livePictures = 0; // made and not yet freed
};
Stats stats();

} // namespace pixmill
