#pragma once
// Putting a resampled picture onto a Qt target: straight into a 32-bit
// image, or through a painter.

#include "platform/gdi/Nearest.h"

#include <QRect>

class QImage;
class QPainter;

namespace gdi {

// The spans of a drawing from the classic arguments. The source rectangle's
// y counts rows up from the bottom of the picture when fromBottom, down from
// the top otherwise. False when a rectangle is empty.
bool makeSpans(int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc, int srcWidth,
               int srcHeight, int pictureHeight, bool fromBottom, Span& x, Span& y);

// Writes into an image of Format_RGB32, ARGB32 or ARGB32_Premultiplied,
// only inside clip (image coordinates).
void drawIntoImage(QImage& image, const QRect& clip, const Span& x, const Span& y, const PixelSource& source);

// Draws through an active painter; coordinates are the painter's logical
// ones. A raster engine's own image (a widget's backing store) is written
// directly. smooth asks a scaling device for smoothing.
void drawThroughPainter(QPainter& painter, const Span& x, const Span& y, const PixelSource& source, bool smooth);

} // namespace gdi
