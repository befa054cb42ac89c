#pragma once
// The program's view of pictures: the DIB record of the picture library and
// the small accessors every picture user needs.

#include "platform/pixmill/PixmillLibrary.h"

#include <cstdint>

// Header fields of the picture. The record must hold a picture (info set).
std::int32_t DIBWidth(const DIB& r);
std::int32_t DIBHeight(const DIB& r);
std::int32_t DIBBitCount(const DIB& r);

// 1 when n <= 0, else 2^n in 32-bit arithmetic (0 from n = 32 on).
std::int32_t PowerOfTwo(std::int32_t n);
std::int32_t DIBColorCount(const DIB& r);

// Whether the record holds a picture: false for a failed newdib or a
// cleared record.
inline bool DIBHoldsPicture(const DIB& r)
{
    return r.info != nullptr && r.bits != nullptr;
}

// The colour depth of the screen, in bits per pixel: the depth of a bitmap
// made compatible with the desktop (24 when no such bitmap can be made).
std::int32_t ScreenBitsPerPixel();
