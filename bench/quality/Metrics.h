#pragma once
// How far frames are from the clean ones: PSNR over every byte, and the RMS
// difference of two clips (the noise level a noisy clip was made with, as
// BGR sees it).

#include "bench/quality/Clip.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quality {

// PSNR of identical frames is infinite; it is reported as this cap, and any
// PSNR above it too, so that the table stays a table of numbers.
inline constexpr double psnrCap = 99.99;

// 10 log10(255² / MSE), capped; the cap for MSE 0.
double PsnrOf(double mse);

// Squared differences summed over frames as they come.
class ErrorSum {
public:
    void add(const std::uint8_t* a, const std::uint8_t* b, std::size_t bytes);
    std::uint64_t bytes() const { return bytes_; }
    double mse() const { return bytes_ == 0 ? 0.0 : static_cast<double>(squares_) / static_cast<double>(bytes_); }

private:
    std::uint64_t squares_ = 0;
    std::uint64_t bytes_ = 0;
};

// sqrt of the mean squared byte difference over all frames; the clips must
// be of one size and length.
double RmsDifference(const Clip& a, const Clip& b);

// Takes a mode's output frames in order: frames from `skip` on count
// towards the PSNR against the clean clip; all are kept when asked for.
class Scorer {
public:
    Scorer(const Clip& clean, std::size_t skip, bool keepFrames);
    void take(const std::uint8_t* frame);
    std::size_t frames() const { return taken_; }
    double psnr() const { return PsnrOf(sum_.mse()); }
    // The kept frames (empty unless asked for).
    Clip output() &&;

private:
    const Clip& clean_;
    std::size_t skip_;
    bool keep_;
    std::size_t taken_ = 0;
    ErrorSum sum_;
    Clip output_;
};

// "31.42"
std::string TwoDecimals(double value);

} // namespace quality
