#pragma once
// Pictures with a recognisable pattern and colour table, and what each of
// their pixels should look like on a 32-bit device.

#include "dib/Pixmill.h"
#include "platform/gdi/Gdi.h"

#include <QImage>

#include <cstdint>
#include <string>

#include <QColor>
#include <QString>

namespace testpic {

// Frees a picture at the end of a test, whatever happens.
class Picture {
public:
    explicit Picture(DIB r) : r_(r) {}
    ~Picture() { deldib(r_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    const DIB& dib() const { return r_; }
    operator const DIB&() const { return r_; }

private:
    DIB r_;
};

// Colour table entry i: a colour no other entry has.
inline RGBQUAD tableColour(int i)
{
    return RGBQUAD{static_cast<BYTE>(255 - i), static_cast<BYTE>((i * 91 + 7) % 256), static_cast<BYTE>((i * 37) % 256), 0};
}

// A width x height picture at the bit count, every pixel set through the
// library to a value depending on its column and memory row.
inline DIB makePicture(int width, int height, int bits)
{
    const int colors = bits <= 8 ? (1 << bits) : 0;
    DIB r = newdib(width, height, bits, nullptr, colors);
    if (!r.bits)
        return r;
    RGBQUAD* table = ColorTable(r.info);
    for (int i = 0; i < colors; ++i)
        table[i] = tableColour(i);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(x * 7919 + y * 104729 + x * y * 31);
            std::uint32_t value = v;
            if (bits <= 8)
                value = v % (1u << bits);
            else if (bits == 16)
                value = v & 0x7fff;
            else
                value = (v * 2654435761u) & 0xffffff;
            setpixel(r, x, y, value);
        }
    return r;
}

// The device colour of the pixel in column x, memory row y (0 = bottom).
inline QRgb expectedColour(const DIB& r, int x, int y)
{
    const std::uint32_t v = getpixel(r, x, y);
    const int bits = DIBBitCount(r);
    if (bits <= 8) {
        const RGBQUAD c = ColorTable(r.info)[v];
        return qRgb(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    if (bits == 16) {
        auto widen = [](std::uint32_t c) { return int((c << 3) | (c >> 2)); };
        return qRgb(widen((v >> 10) & 31), widen((v >> 5) & 31), widen(v & 31));
    }
    return 0xff000000u | (v & 0xffffff);
}

// The source pixel under the centre of destination pixel k of n, for m
// source pixels.
inline int centreSample(int k, int n, int m)
{
    return static_cast<int>((2 * std::int64_t{k} + 1) * m / (2 * std::int64_t{n}));
}

// StretchDIBits of the source rectangle (y counted up from the bottom) into
// the destination rectangle, as SRCCOPY.
inline int stretch(HDC dc, QRect dest, const DIB& pic, QRect src)
{
    return gdi::StretchDIBits(dc, dest.x(), dest.y(), dest.width(), dest.height(), src.x(), src.y(), src.width(),
                              src.height(), pic.bits, pic.info, DIB_RGB_COLORS, SRCCOPY);
}

inline constexpr QRgb kSentinel = 0xff123456u;

inline QImage sentinelImage(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, format);
    image.fill(QColor::fromRgb(kSentinel));
    return image;
}

// Compares an image with the picture's source rectangle (y counted up from
// the bottom) drawn nearest neighbour into the destination rectangle, the
// rest of the image still sentinel. Answers "" or the first difference.
inline std::string compareDrawing(const QImage& image, const QRect& dest, const DIB& pic, const QRect& src,
                                  bool mirrorX = false, bool mirrorY = false)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb want = kSentinel;
            if (dest.contains(x, y)) {
                int i = x - dest.left(), j = y - dest.top();
                if (mirrorX)
                    i = dest.width() - 1 - i;
                if (mirrorY)
                    j = dest.height() - 1 - j;
                const int sx = src.left() + centreSample(i, dest.width(), src.width());
                const int fromTop = centreSample(j, dest.height(), src.height());
                const int sy = src.top() + src.height() - 1 - fromTop; // memory row
                want = expectedColour(pic, sx, sy);
            }
            const QRgb got = image.pixel(x, y) | 0xff000000u;
            if (got != want)
                return "pixel (" + std::to_string(x) + "," + std::to_string(y) + "): got "
                       + QString::number(got, 16).toStdString() + " want " + QString::number(want, 16).toStdString();
        }
    return {};
}

} // namespace testpic
