#pragma once
// A scratch folder, files and tool runs for the quality tool's tests.

#include "bench/quality/ClipFiles.h"
#include "bench/quality/QualityTool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace qualitytest {

// A folder of its own for one test, removed with everything in it.
class Scratch {
public:
    Scratch()
    {
        std::random_device seed;
        dir_ = std::filesystem::temp_directory_path() / ("stillwise-quality-" + std::to_string(seed()));
        std::filesystem::create_directories(dir_);
    }
    ~Scratch() { std::filesystem::remove_all(dir_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

    std::string writeRaw(const std::string& name, const quality::Clip& clip) const
    {
        std::string bytes;
        for (const auto& f : clip.frames)
            bytes.append(reinterpret_cast<const char*>(f.data()), f.size());
        return write(name, bytes);
    }

private:
    std::filesystem::path dir_;
};

struct ToolRun {
    int status = 0;
    std::string out;
    std::string err;
    // "MODE PSNR dB MS ms" lines: mode -> PSNR.
    std::map<std::string, double> psnr() const
    {
        std::map<std::string, double> result;
        std::istringstream lines(out);
        std::string mode, db, ms, unit;
        double value = 0, time = 0;
        while (lines >> mode >> value >> db >> time >> unit)
            result[mode] = value;
        return result;
    }
};

inline ToolRun RunTool(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    ToolRun run;
    run.status = quality::RunQualityTool(args, out, err);
    run.out = out.str();
    run.err = err.str();
    return run;
}

// A clip of `frames` frames whose bytes follow a smooth pattern plus `seed`.
inline quality::Clip PatternClip(quality::Size size, int frames, int seed)
{
    quality::Clip clip{size, {}};
    for (int t = 0; t < frames; ++t) {
        std::vector<std::uint8_t> f(clip.frameBytes());
        for (std::size_t i = 0; i < f.size(); ++i)
            f[i] = static_cast<std::uint8_t>(40 + (i * 7 + static_cast<std::size_t>(t * 3 + seed)) % 170);
        clip.frames.push_back(std::move(f));
    }
    return clip;
}

} // namespace qualitytest
