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
