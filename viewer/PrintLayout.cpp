#include "viewer/PrintLayout.h"

#include "dib/RenderDIB.h"

#include <algorithm>
#include <climits>
#include <cmath>

int saturated(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

double coupled(int a, int p, int b, int c, int d)
{
    const long double x = static_cast<long double>(std::int64_t(a) * p) / b * c / d;
    return static_cast<double>(x);
}

int truncated(double x)
{
    if (std::isnan(x))
        return 0;
    if (x >= double(INT_MAX))
        return INT_MAX;
    if (x <= double(INT_MIN))
        return INT_MIN;
    return static_cast<int>(x);
}

bool hasPixels(const DIB& picture)
{
    return DIBHoldsPicture(picture) && DIBWidth(picture) > 0 && DIBHeight(picture) > 0;
}

PrintRect CalcPrintRect(int PW, int PH, int IW, int IH, const PrintOptions& options)
{
    PrintRect r;
    if (options.FullPage) {
        r.Width = PW;
        r.Height = PH;
        // A picture without pixels has no aspect to keep.
        if (options.KeepAspect && IW > 0 && IH > 0) {
            const std::int64_t t = std::int64_t(IH) * PW / IW;
            if (t > PH)
                r.Width = saturated(std::int64_t(IW) * PH / IH);
            else
                r.Height = saturated(t);
        }
    } else {
        // Percent of the page, to the nearest pixel, halves to even.
        r.Width = render::RoundHalfEven(double(std::int64_t(options.Width) * PW) / 100.0);
        r.Height = render::RoundHalfEven(double(std::int64_t(options.Height) * PH) / 100.0);
    }
    if (options.Centred) {
        r.X = saturated((std::int64_t(PW) - r.Width) / 2);
        r.Y = saturated((std::int64_t(PH) - r.Height) / 2);
    }
    return r;
}
