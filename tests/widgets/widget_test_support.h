#pragma once
// Helpers for looking at widgets the way a person sees them.

#include <QDir>
#include <QImage>
#include <QString>
#include <QWidget>

namespace widget_test {

// Grabs the widget and keeps the picture in ./widget-shots/<name>.png so a
// failing comparison can be looked at.
inline QImage Grab(QWidget& w, const QString& name)
{
    const QImage image = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QDir().mkpath(QStringLiteral("widget-shots"));
    image.save(QStringLiteral("widget-shots/%1.png").arg(name));
    return image;
}

// Colours of the classic palette the glyph tests paint with.
inline const QRgb kOlive = qRgb(128, 128, 0); // the glyphs' transparent colour
inline const QRgb kRed = qRgb(255, 0, 0);
inline const QRgb kGrey = qRgb(128, 128, 128);

// A glyph bitmap of `images` images of size x size side by side, filled red,
// grey, blue and green in turn, each with an olive bottom-left pixel.
inline QImage GlyphStrip(int images, int size = 16)
{
    const QRgb fills[] = {kRed, kGrey, qRgb(0, 0, 255), qRgb(0, 255, 0)};
    QImage strip(images * size, size, QImage::Format_RGB32);
    for (int i = 0; i < images; ++i) {
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                strip.setPixel(i * size + x, y, fills[i % 4]);
        strip.setPixel(i * size, size - 1, kOlive);
    }
    return strip;
}

inline QRgb Rgb(const QImage& image, int x, int y)
{
    return image.pixel(x, y) | 0xff000000u;
}

inline int CountColour(const QImage& image, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += Rgb(image, x, y) == (colour | 0xff000000u);
    return n;
}

} // namespace widget_test
