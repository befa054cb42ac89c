#pragma once
// Ownership of one picture for the length of a scope: freed with deldib when
// the guard goes, however the scope is left.

#include "dib/Pixmill.h"

class PictureGuard {
public:
    explicit PictureGuard(const DIB& picture) : picture_(picture) {}
    ~PictureGuard() { deldib(picture_); }
    PictureGuard(const PictureGuard&) = delete;
    PictureGuard& operator=(const PictureGuard&) = delete;

    const DIB& get() const { return picture_; }
    bool holdsPicture() const { return DIBHoldsPicture(picture_); }

private:
    DIB picture_;
};

// A still copy of a picture with its own pixel memory: same width, height
// and bit count, the same bytes. The record holds no pixels (bits null) when
// the copy cannot be made.
DIB CopyPicture(const DIB& picture);
