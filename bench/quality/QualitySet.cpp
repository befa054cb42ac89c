#include "bench/quality/QualitySet.h"

#include "bench/quality/Arguments.h"
#include "bench/quality/ClipFiles.h"
#include "bench/quality/Scenes.h"

#include <filesystem>

namespace quality {

namespace {

// Raised whenever the scenes or the noise change, so that sets (and results
// kept for them) made by an older generator are made anew.
constexpr int setVersion = 2;

void writeRaw(const std::string& path, const Clip& clip)
{
    RawWriter writer(path);
    for (const auto& frame : clip.frames)
        writer.write(frame.data(), frame.size());
    writer.close();
}

} // namespace

const std::vector<std::string>& DefaultNoises()
{
    static const std::vector<std::string> names{"gauss4", "gauss8", "gauss15", "cam8", "cam15"};
    return names;
}

std::uint64_t NoiseSeed(const std::string& scene, const std::string& noise)
{
    std::uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
    for (const char c : scene + "/" + noise) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ull;
    }
    return hash;
}

int RunQualitySet(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    try {
        if (args.size() == 1 && args[0] == "--version") {
            out << setVersion << '\n';
            return 0;
        }
        if (args.size() == 1 && args[0] == "--list") {
            for (const auto& s : SceneNames())
                out << s << ' ';
            out << '\n';
            for (const auto& n : DefaultNoises())
                out << n << ' ';
            out << '\n';
            return 0;
        }
        std::string dir;
        Size size{640, 360};
        int frames = 60;
        std::vector<std::string> scenes, noises;
        for (Arguments line(args); line.next();) {
            const std::string& a = line.current();
            if (a == "--size") {
                size = ParseSize(line.value());
            } else if (a == "--frames") {
                frames = line.count(1, 100000, "Bildzahl");
            } else if (a == "--scene") {
                scenes.push_back(line.value());
            } else if (a == "--noise") {
                const std::string& v = line.value();
                ParseNoise(v);
                noises.push_back(v);
            } else if (!a.starts_with("--") && dir.empty()) {
                dir = a;
            } else {
                throw Error("Unbekannte Angabe „" + a + "“");
            }
        }
        if (dir.empty())
            throw Error("Aufruf: stillwise-quality-set ORDNER [--size BxH] [--frames N] [--scene NAME]... "
                        "[--noise NAME]...");
        if (scenes.empty())
            scenes = SceneNames();
        if (noises.empty())
            noises = DefaultNoises();
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec)
            throw Error(dir + ": Ordner lässt sich nicht anlegen: " + ec.message());
        for (const auto& scene : scenes) {
            const Clip clean = MakeScene(scene, size, frames);
            writeRaw(dir + "/" + scene + ".clean.bgr", clean);
            for (const auto& noise : noises)
                writeRaw(dir + "/" + scene + "." + noise + ".bgr",
                         NoisyCopy(clean, ParseNoise(noise), NoiseSeed(scene, noise)));
        }
        return 0;
    } catch (const Error& e) {
        err << "stillwise-quality-set: " << e.what() << '\n';
        return 2;
    }
}

} // namespace quality
