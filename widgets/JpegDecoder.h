#pragma once
// Decodes JPEG pictures with libjpeg. Damaged or truncated data never
// crashes and never yields half a picture: it gives a null image.

#include <QByteArray>
#include <QImage>

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;   // colour components in the file
    bool progressive = false;
};

// Answers an RGB888 image, or a null image when the data is not a complete,
// undamaged JPEG (or is too large to hold). `info`, when given, receives what
// the file's header says even if decoding fails afterwards.
QImage DecodeJpeg(const QByteArray& data, JpegInfo* info = nullptr);
