#include "bench/quality/Metrics.h"

#include <cmath>
#include <cstdio>

namespace quality {

double PsnrOf(double mse)
{
    if (mse <= 0.0)
        return psnrCap;
    return std::min(psnrCap, 10.0 * std::log10(255.0 * 255.0 / mse));
}

void ErrorSum::add(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes)
{
    // Per row of bytes in 32 bits (255² · 65536 would not fit), then into 64.
    while (bytes > 0) {
        const std::size_t n = std::min<std::size_t>(bytes, 65535);
        std::uint32_t s = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const int d = static_cast<int>(a[i]) - static_cast<int>(b[i]);
            s += static_cast<std::uint32_t>(d * d);
        }
        squares_ += s;
        bytes_ += n;
        a += n;
        b += n;
        bytes -= n;
    }
}

double RmsDifference(const Clip& a, const Clip& b)
{
    ErrorSum sum;
    for (std::size_t i = 0; i < a.frames.size() && i < b.frames.size(); ++i)
        sum.add(a.frames[i].data(), b.frames[i].data(), a.frameBytes());
    return std::sqrt(sum.mse());
}

Scorer::Scorer(const Clip& clean, std::size_t skip, bool keepFrames) : clean_(clean), skip_(skip), keep_(keepFrames)
{
    output_.size = clean.size;
}

void Scorer::take(const std::uint8_t* frame)
{
    if (taken_ >= clean_.frames.size())
        throw Error("Mehr Bilder erhalten, als der Clip hat");
    if (taken_ >= skip_)
        sum_.add(frame, clean_.frames[taken_].data(), clean_.frameBytes());
    if (keep_)
        output_.frames.emplace_back(frame, frame + clean_.frameBytes());
    ++taken_;
}

Clip Scorer::output() &&
{
    return std::move(output_);
}

std::string TwoDecimals(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

} // namespace quality
