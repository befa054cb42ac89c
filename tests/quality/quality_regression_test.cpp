// The smoothing modes on a small generated clip — a subject moving before a
// still background, Gaussian noise 8 — must keep their PSNR floors.

#include "quality_test_support.h"

#include "bench/quality/FfmpegRun.h"
#include "bench/quality/Noise.h"
#include "bench/quality/QualitySet.h"
#include "bench/quality/Scenes.h"

#include <iostream>

using namespace quality;
using qualitytest::RunTool;
using qualitytest::Scratch;

namespace {

struct RegressionClip {
    Scratch scratch;
    std::string clean;
    std::string noisy;

    RegressionClip()
    {
        const Clip c = MakeScene("subject", {160, 120}, 40);
        clean = scratch.writeRaw("subject.clean.bgr", c);
        noisy = scratch.writeRaw("subject.gauss8.bgr",
                                 NoisyCopy(c, ParseNoise("gauss8"), NoiseSeed("subject", "gauss8")));
    }

    std::map<std::string, double> run(const std::vector<std::string>& modes) const
    {
        std::vector<std::string> args{"--clean", clean, "--noisy", noisy, "--size", "160x120"};
        for (const auto& m : modes) {
            args.push_back("--mode");
            args.push_back(m);
        }
        const auto result = RunTool(args);
        EXPECT_EQ(result.status, 0) << result.err;
        std::cout << result.out;
        return result.psnr();
    }
};

} // namespace

TEST(QualityRegression, ModesKeepTheirFloors)
{
    const RegressionClip clip;
    const auto psnr = clip.run({"input", "plain:60", "motion:60:24", "auto"});
    ASSERT_EQ(psnr.size(), 4u);
    EXPECT_GE(psnr.at("plain:60"), QUALITY_FLOOR_PLAIN);
    EXPECT_GE(psnr.at("motion:60:24"), QUALITY_FLOOR_MOTION);
    EXPECT_GE(psnr.at("auto"), QUALITY_FLOOR_AUTO);
    // Whatever the floors say: the automatic mode is never worse than doing nothing.
    EXPECT_GE(psnr.at("auto"), psnr.at("input") - 0.05);
}

TEST(QualityRegression, FfmpegReferenceRunsThroughItsPipes)
{
    if (!FfmpegAvailable())
        GTEST_SKIP() << "ffmpeg ist nicht installiert";
    const RegressionClip clip;
    const auto psnr = clip.run({"input", "ffmpeg:hqdn3d"});
    ASSERT_EQ(psnr.size(), 2u);
    // hqdn3d removes some of the noise: every frame came back, in order.
    EXPECT_GT(psnr.at("ffmpeg:hqdn3d"), psnr.at("input") + 1.0);
}
