#include "bench/quality/Modes.h"

#include "bench/quality/Arguments.h"

#include "app/SmoothFrame.h"
#include "bench/quality/FfmpegFilters.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace quality {

namespace {

int number(const std::string& mode, std::string_view text, int low, int high)
{
    int value = 0;
    if (!ParseWhole(text, value) || value < low || value > high)
        throw Error("Modus „" + mode + "“: „" + std::string(text) + "“ ist keine Zahl von " + std::to_string(low) +
                    " bis " + std::to_string(high));
    return value;
}

std::vector<std::string_view> split(std::string_view text)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
        if (colon == std::string_view::npos)
            return parts;
        start = colon + 1;
    }
}

// The main window's two pictures: freed however the run ends.
struct Pictures {
    DIB corrected;
    DIB raw;
    Pictures(int width, int height)
        : corrected(newdib(width, height, 24, nullptr, 0)), raw(newdib(width, height, 24, nullptr, 0))
    {
    }
    ~Pictures()
    {
        deldib(corrected);
        deldib(raw);
    }
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;
};

} // namespace

Mode ParseMode(const std::string& text)
{
    const std::vector<std::string_view> parts = split(text);
    const std::string_view name = parts[0];
    Mode m;
    m.text = text;
    if (name == "input" && parts.size() == 1) {
        m.kind = Mode::Kind::Input;
    } else if (name == "plain" && parts.size() == 2) {
        m.kind = Mode::Kind::Plain;
        m.strength = number(text, parts[1], 0, 100);
    } else if (name == "motion" && parts.size() == 3) {
        m.kind = Mode::Kind::Motion;
        m.strength = number(text, parts[1], 0, 100);
        m.threshold = number(text, parts[2], 0, 255);
    } else if (name == "auto" && parts.size() <= 2) {
        m.kind = Mode::Kind::Auto;
        m.strength = parts.size() == 2 ? number(text, parts[1], 0, 100) : autoStartStrength;
    } else if (name == "ffmpeg" && parts.size() == 2 && IsFfmpegFilter(std::string(parts[1]))) {
        m.kind = Mode::Kind::Ffmpeg;
        m.ffmpegName = parts[1];
    } else {
        throw Error("Unbekannter Modus „" + text +
                    "“ (bekannt: input, plain:S, motion:S:T, auto, auto:S, ffmpeg:hqdn3d, ffmpeg:hqdn3d-4, "
                    "ffmpeg:hqdn3d-strong, ffmpeg:hqdn3d-8, ffmpeg:hqdn3d-12, ffmpeg:hqdn3d-16, ffmpeg:fftdnoiz, "
                    "ffmpeg:nlmeans)");
    }
    return m;
}

double RunOwnMode(const Mode& mode, const Clip& noisy, Scorer& scorer, int threads)
{
    if (mode.kind == Mode::Kind::Input) {
        for (const auto& frame : noisy.frames)
            scorer.take(frame.data());
        return 0.0;
    }

    const int w = noisy.size.width, h = noisy.size.height;
    BITMAPINFOHEADER format{};
    format.biWidth = w;
    format.biHeight = h;
    format.biBitCount = 24;
    const auto* info = reinterpret_cast<const BITMAPINFO*>(&format);
    const std::size_t rowbytes = static_cast<std::size_t>(StandardRowBytes(w, 24));
    const std::size_t row = static_cast<std::size_t>(w) * 3;
    std::vector<std::uint8_t> dibFrame(rowbytes * static_cast<std::size_t>(h), 0);
    std::vector<std::uint8_t> out(noisy.frameBytes());

    // Black pictures of the clip's size, as the main window holds them at
    // the start: the first frames fade in from black, as in the program.
    Pictures pictures(w, h);
    if (!DIBHoldsPicture(pictures.corrected) || !DIBHoldsPicture(pictures.raw))
        throw Error("Bilder von " + SizeText(noisy.size) + " lassen sich nicht anlegen");
    denoise::AutoSmoother smoother(denoise::BestPath(), threads);
    MotionSparing motion;
    motion.on = mode.kind == Mode::Kind::Motion;
    motion.threshold = mode.threshold;
    denoise::AutoSmoother* automatic = mode.kind == Mode::Kind::Auto ? &smoother : nullptr;

    using Clock = std::chrono::steady_clock;
    Clock::duration spent{};
    for (const auto& frame : noisy.frames) {
        // Top-down rows into the picture's padded rows, in the same order:
        // the modes do not care which way up a picture is.
        for (int y = 0; y < h; ++y)
            std::memcpy(dibFrame.data() + y * rowbytes, frame.data() + y * row, row);
        const auto start = Clock::now();
        const bool renewed = SmoothFrame(pictures.corrected, pictures.raw, info, sizeof format, dibFrame.data(),
                                         static_cast<std::uint32_t>(dibFrame.size()), mode.strength, motion, automatic);
        spent += Clock::now() - start;
        if (!renewed)
            throw Error("Der Bildschritt hat ein Bild von " + SizeText(noisy.size) + " abgelehnt");
        for (int y = 0; y < h; ++y)
            std::memcpy(out.data() + y * row, pictures.corrected.bits + y * pictures.corrected.rowbytes, row);
        scorer.take(out.data());
    }
    return std::chrono::duration<double, std::milli>(spent).count() / static_cast<double>(noisy.frames.size());
}

} // namespace quality
