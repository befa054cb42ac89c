#pragma once
// The ways a clip can be smoothed for comparison: the program's own modes,
// run through its frame step exactly as the main window runs it, the noisy
// frames as they are, and FFmpeg's denoisers.
//
//   input            the noisy frames unchanged
//   plain:S          the running average at strength S (0..100)
//   motion:S:T       the same, sparing pixels that change by more than T (0..255)
//   auto, auto:S     the automatic smoother, at its start strength or at S
//   ffmpeg:NAME      hqdn3d, hqdn3d-4, hqdn3d-strong (hqdn3d-6), hqdn3d-8,
//                    hqdn3d-12, hqdn3d-16, fftdnoiz or nlmeans

#include "bench/quality/Clip.h"
#include "bench/quality/Metrics.h"
#include "denoise/AutoSmoother.h"

#include <string>

namespace quality {

namespace detail {
template <class Smoother>
constexpr int StartStrength()
{
    if constexpr (requires { Smoother::kStartStrength; })
        return Smoother::kStartStrength;
    else
        return 60;
}
} // namespace detail

// The strength `auto` runs at: the smoother's own start strength once it
// names one, 60 (the program's usual strength) until then.
inline constexpr int autoStartStrength = detail::StartStrength<denoise::AutoSmoother>();

struct Mode {
    enum class Kind { Input, Plain, Motion, Auto, Ffmpeg };
    Kind kind = Kind::Input;
    int strength = 0;
    int threshold = 0;
    std::string ffmpegName; // for Kind::Ffmpeg
    std::string text;       // as printed: "plain:60", "auto", "ffmpeg:nlmeans"
};

// Throws Error for an unknown mode, a missing or malformed number, or one
// out of range.
Mode ParseMode(const std::string& text);

// What one mode scored.
struct Score {
    double psnr = 0.0;
    double msPerFrame = 0.0;
};

// Runs one of the program's modes (or `input`) over the noisy frames;
// `scorer` sees every output frame. The time is that of the frame step alone.
// The automatic smoother runs on `threads` threads.
double RunOwnMode(const Mode& mode, const Clip& noisy, Scorer& scorer, int threads = 1);

} // namespace quality
