#include "capture/PreviewFit.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Nearest integer, halves to the even neighbour (the default rounding mode),
// kept within 0..INT_MAX.
int roundedSide(long double v)
{
    if (!(v > 0))
        return 0;
    if (v >= static_cast<long double>(INT_MAX))
        return INT_MAX;
    return static_cast<int>(std::lrintl(v));
}

} // namespace

QSize FitPreview(QSize control, QSize image, bool scaleToWindow, bool proportional)
{
    if (!scaleToWindow)
        return {std::max(image.width(), 0), std::max(image.height(), 0)};
    const int cw = std::max(control.width(), 0);
    const int ch = std::max(control.height(), 0);
    if (!proportional || ch <= 0 || image.height() <= 0)
        return {cw, ch};

    // Only the ratios are single precision; a product or quotient rounded
    // to single precision first can move a result near a half by a pixel.
    const float controlRatio = static_cast<float>(cw) / static_cast<float>(ch);
    const float imageRatio = static_cast<float>(std::max(image.width(), 0)) / static_cast<float>(image.height());
    if (controlRatio > imageRatio)
        return {roundedSide(static_cast<long double>(ch) * imageRatio), ch};
    // An image and a control both without width have no ratio to compare:
    // the window fills the control.
    if (imageRatio == 0.0f)
        return {cw, ch};
    return {cw, roundedSide(static_cast<long double>(cw) / imageRatio)};
}
