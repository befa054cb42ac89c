#include "bench/quality/QualityTool.h"

#include "bench/quality/Arguments.h"
#include "bench/quality/ClipFiles.h"
#include "bench/quality/FfmpegFilters.h"
#include "bench/quality/FfmpegRun.h"
#include "bench/quality/Metrics.h"
#include "bench/quality/Modes.h"
#include "denoise/BandPool.h"

#include <limits>
#include <map>
#include <optional>

namespace quality {

namespace {

constexpr const char* usage =
    "Aufruf: stillwise-quality --clean SAUBER --noisy VERRAUSCHT [--size BxH] [--skip K]\n"
    "                          [--mode MODUS]... [--ffmpeg] [--out MODUS=DATEI.y4m]... [--threads N]\n"
    "Modi: input, plain:S, motion:S:T, auto, auto:S, ffmpeg:hqdn3d, ffmpeg:hqdn3d-4,\n"
    "      ffmpeg:hqdn3d-strong, ffmpeg:hqdn3d-8, ffmpeg:hqdn3d-12, ffmpeg:hqdn3d-16,\n"
    "      ffmpeg:fftdnoiz, ffmpeg:nlmeans\n";

struct Options {
    std::string clean;
    std::string noisy;
    std::optional<Size> size;
    std::size_t skip = 10;
    int threads = 1; // of the automatic smoother
    std::vector<Mode> modes;
    bool ffmpeg = false;
    std::map<std::string, std::string> outputs; // mode text -> file
};

Options parse(const std::vector<std::string>& args)
{
    Options o;
    for (Arguments line(args); line.next();) {
        const std::string& a = line.current();
        if (a == "--clean") {
            o.clean = line.value();
        } else if (a == "--noisy") {
            o.noisy = line.value();
        } else if (a == "--size") {
            o.size = ParseSize(line.value());
        } else if (a == "--skip") {
            o.skip = line.count(0, std::numeric_limits<int>::max(), "Bildzahl");
        } else if (a == "--threads") {
            o.threads = line.count(1, denoise::BandPool::kMostThreads, "Threadzahl");
        } else if (a == "--mode") {
            o.modes.push_back(ParseMode(line.value()));
        } else if (a == "--ffmpeg") {
            o.ffmpeg = true;
        } else if (a == "--out") {
            const std::string& v = line.value();
            const std::size_t eq = v.find('=');
            if (eq == std::string::npos || eq == 0 || eq + 1 == v.size())
                throw Error("--out erwartet MODUS=DATEI.y4m, nicht „" + v + "“");
            o.outputs[ParseMode(v.substr(0, eq)).text] = v.substr(eq + 1);
        } else {
            throw Error("Unbekannte Angabe „" + a + "“");
        }
    }
    if (o.clean.empty() || o.noisy.empty())
        throw Error("--clean und --noisy sind nötig");
    if (o.modes.empty())
        for (const char* m : {"plain:60", "motion:60:24", "auto"})
            o.modes.push_back(ParseMode(m));
    if (o.ffmpeg)
        for (const auto& name : FfmpegFilterNames()) {
            const std::string text = "ffmpeg:" + name;
            bool listed = false;
            for (const auto& m : o.modes)
                listed = listed || m.text == text;
            if (!listed)
                o.modes.push_back(ParseMode(text));
        }
    for (const auto& [mode, file] : o.outputs) {
        bool listed = false;
        for (const auto& m : o.modes)
            listed = listed || m.text == mode;
        if (!listed)
            throw Error("--out nennt den Modus „" + mode + "“, der nicht läuft");
    }
    return o;
}

void checkPair(const Options& o, const Clip& clean, const Clip& noisy)
{
    if (!(clean.size == noisy.size))
        throw Error("Größen passen nicht zusammen: " + o.clean + " ist " + SizeText(clean.size) + ", " + o.noisy +
                    " ist " + SizeText(noisy.size));
    if (clean.frames.size() != noisy.frames.size())
        throw Error("Bildzahlen passen nicht zusammen: " + o.clean + " hat " + std::to_string(clean.frames.size()) +
                    ", " + o.noisy + " hat " + std::to_string(noisy.frames.size()) + " Bilder");
    if (o.skip >= clean.frames.size())
        throw Error("--skip " + std::to_string(o.skip) + " lässt von " + std::to_string(clean.frames.size()) +
                    " Bildern keines übrig");
}

} // namespace

int RunQualityTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << usage;
        return 0;
    }
    try {
        const Options o = parse(args);
        const Clip clean = ReadClip(o.clean, o.size);
        const Clip noisy = ReadClip(o.noisy, o.size);
        checkPair(o, clean, noisy);

        bool needFfmpeg = false;
        for (const auto& m : o.modes)
            needFfmpeg = needFfmpeg || m.kind == Mode::Kind::Ffmpeg;
        if (needFfmpeg && !FfmpegAvailable())
            throw Error("ffmpeg ist nicht installiert (für die ffmpeg-Modi nötig)");
        // The level the noise was made with, as the BGR bytes carry it.
        const double sigma = needFfmpeg ? RmsDifference(noisy, clean) : 0.0;

        for (const auto& mode : o.modes) {
            const auto file = o.outputs.find(mode.text);
            const bool keep = file != o.outputs.end();
            Scorer scorer(clean, o.skip, keep);
            const double ms = mode.kind == Mode::Kind::Ffmpeg
                                  ? RunFfmpeg(FfmpegFilterGraph(mode.ffmpegName, sigma), noisy, scorer)
                                  : RunOwnMode(mode, noisy, scorer, o.threads);
            out << mode.text << ' ' << TwoDecimals(scorer.psnr()) << " dB " << TwoDecimals(ms) << " ms\n";
            out.flush();
            if (keep)
                WriteY4m444(file->second, std::move(scorer).output());
        }
        return 0;
    } catch (const Error& e) {
        err << "stillwise-quality: " << e.what() << '\n';
        return 2;
    } catch (const std::bad_alloc&) {
        err << "stillwise-quality: zu wenig Speicher für die Clips\n";
        return 2;
    }
}

} // namespace quality
