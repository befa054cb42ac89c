// The tool's command line: refusals with a message and a non-zero status,
// the PSNR it prints, and the frames it writes out.

#include "quality_test_support.h"

#include "bench/quality/Metrics.h"

#include <regex>

using namespace quality;
using qualitytest::PatternClip;
using qualitytest::RunTool;
using qualitytest::Scratch;

namespace {

Clip flatClip(Size size, int frames, std::uint8_t value)
{
    Clip clip{size, {}};
    for (int t = 0; t < frames; ++t)
        clip.frames.emplace_back(clip.frameBytes(), value);
    return clip;
}

} // namespace

TEST(QualityTool, RefusesBadInput)
{
    const Scratch scratch;
    const std::string clean = scratch.writeRaw("clean.bgr", PatternClip({8, 4}, 12, 0));
    const std::string noisy = scratch.writeRaw("noisy.bgr", PatternClip({8, 4}, 12, 1));
    const std::string shorter = scratch.writeRaw("short.bgr", PatternClip({8, 4}, 11, 1));
    const std::string cut = scratch.write("cut.bgr", std::string(8 * 4 * 3 * 12 - 1, '\x40'));
    const std::string y4m = scratch.write("other.y4m", "YUV4MPEG2 W16 H2 C444\nFRAME\n" + std::string(96, '\x80'));
    const std::string small = scratch.write("small.y4m", "YUV4MPEG2 W8 H4 C444\nFRAME\n" + std::string(96, '\x80'));
    const std::string broken = scratch.write("broken.y4m", "YUV4MPEG2 W8 H4 C444\nFRAME\n" + std::string(50, '\x80'));
    const std::vector<std::string> pair{"--clean", clean, "--noisy", noisy, "--size", "8x4"};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = pair;
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const struct {
        const char* what;
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {"sizes differ", {"--clean", clean, "--noisy", y4m, "--size", "8x4"}, "passt nicht"},
        {"two Y4M clips of other sizes", {"--clean", y4m, "--noisy", small}, "Größen passen nicht zusammen"},
        {"shorter noisy clip", {"--clean", clean, "--noisy", shorter, "--size", "8x4"}, "Bildzahlen"},
        {"part of a frame", {"--clean", clean, "--noisy", cut, "--size", "8x4"}, "kein Vielfaches"},
        {"broken Y4M", {"--clean", clean, "--noisy", broken, "--size", "8x4"}, "unvollständig"},
        {"unknown mode", with({"--mode", "median:3"}), "Unbekannter Modus"},
        {"strength not a number", with({"--mode", "plain:sixty"}), "keine Zahl"},
        {"strength too high", with({"--mode", "plain:101"}), "von 0 bis 100"},
        {"threshold missing", with({"--mode", "motion:60"}), "Unbekannter Modus"},
        {"threshold too high", with({"--mode", "motion:60:256"}), "von 0 bis 255"},
        {"unknown ffmpeg filter", with({"--mode", "ffmpeg:median"}), "Unbekannter Modus"},
        {"skip beyond the clip", with({"--skip", "12"}), "keines übrig"},
        {"skip not a number", with({"--skip", "-1"}), "keine Bildzahl"},
        {"no threads", with({"--threads", "0"}), "keine Threadzahl"},
        {"bad size", {"--clean", clean, "--noisy", noisy, "--size", "8by4"}, "Ungültige Größe"},
        {"no noisy clip", {"--clean", clean, "--size", "8x4"}, "--noisy"},
        {"value missing", with({"--mode"}), "braucht einen Wert"},
        {"unknown option", with({"--fast"}), "Unbekannte Angabe"},
        {"output of a mode not run", with({"--mode", "input", "--out", "auto=x.y4m"}), "nicht läuft"},
        {"missing file", {"--clean", scratch.path("none.bgr"), "--noisy", noisy, "--size", "8x4"}, "öffnen"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto run = RunTool(c.args);
        EXPECT_NE(run.status, 0);
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // The same pair with nothing wrong runs.
    EXPECT_EQ(RunTool(with({"--skip", "11"})).status, 0);
}

TEST(QualityTool, PrintsPsnrOverTheFramesAfterTheSkip)
{
    const Scratch scratch;
    const Size size{8, 4};
    const Clip clean = flatClip(size, 12, 100);
    Clip noisy = flatClip(size, 12, 110); // off by 10 everywhere: MSE 100
    noisy.frames[0].assign(noisy.frameBytes(), 200);
    noisy.frames[2].assign(noisy.frameBytes(), 0);
    const std::string c = scratch.writeRaw("c.bgr", clean), n = scratch.writeRaw("n.bgr", noisy);

    const auto run = RunTool({"--clean", c, "--noisy", n, "--size", "8x4", "--skip", "3", "--mode", "input"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::regex_match(run.out, std::regex("input 28\\.13 dB [0-9]+\\.[0-9]{2} ms\n"))) << run.out;
    // Frames 0 and 2 count without the skip, and bring the PSNR down.
    const auto all = RunTool({"--clean", c, "--noisy", n, "--size", "8x4", "--skip", "0", "--mode", "input"});
    EXPECT_LT(all.psnr().at("input"), 20.0);

    // Identical clips: the cap, not infinity.
    const auto same = RunTool({"--clean", c, "--noisy", c, "--size", "8x4", "--mode", "input"});
    EXPECT_EQ(same.out.substr(0, same.out.find(" ms")).substr(0, 14), "input 99.99 dB");
}

TEST(QualityTool, RunsTheUsualModesThroughTheFrameStep)
{
    const Scratch scratch;
    const Size size{10, 6}; // rows of 30 bytes: padded to 32 in the picture
    const Clip clean = PatternClip(size, 14, 0);
    const Clip noisy = PatternClip(size, 14, 5);
    const std::string c = scratch.writeRaw("c.bgr", clean), n = scratch.writeRaw("n.bgr", noisy);

    const auto run = RunTool({"--clean", c, "--noisy", n, "--size", "10x6"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::regex lines("plain:60 [0-9.]+ dB [0-9.]+ ms\nmotion:60:24 [0-9.]+ dB [0-9.]+ ms\n"
                           "auto [0-9.]+ dB [0-9.]+ ms\n");
    EXPECT_TRUE(std::regex_match(run.out, lines)) << run.out;

    // Strength 0 takes each frame as it is: the input's PSNR exactly, so the
    // rows went in and came out unshifted despite the padding.
    const auto zero = RunTool({"--clean", c, "--noisy", n, "--size", "10x6", "--mode", "input", "--mode", "plain:0",
                               "--mode", "motion:0:10"});
    const auto psnr = zero.psnr();
    EXPECT_EQ(psnr.at("plain:0"), psnr.at("input"));
    EXPECT_EQ(psnr.at("motion:0:10"), psnr.at("input"));
    // The automatic smoother gives the same bytes on any number of threads.
    const auto one = RunTool({"--clean", c, "--noisy", n, "--size", "10x6", "--mode", "auto:70", "--threads", "1"});
    const auto three = RunTool({"--clean", c, "--noisy", n, "--size", "10x6", "--mode", "auto:70", "--threads", "3"});
    ASSERT_EQ(three.status, 0) << three.err;
    EXPECT_EQ(one.psnr().at("auto:70"), three.psnr().at("auto:70"));
    // Strength 100 holds the black start picture.
    const auto frozen = RunTool({"--clean", c, "--noisy", n, "--size", "10x6", "--mode", "plain:100"});
    EXPECT_LT(frozen.psnr().at("plain:100"), 10.0);
}

TEST(QualityTool, WritesAModesFramesAsY4m)
{
    const Scratch scratch;
    const Size size{8, 4};
    const Clip clean = PatternClip(size, 11, 0);
    const Clip noisy = PatternClip(size, 11, 9);
    const std::string c = scratch.writeRaw("c.bgr", clean), n = scratch.writeRaw("n.bgr", noisy);
    const std::string out = scratch.path("input.y4m");
    const auto run = RunTool({"--clean", c, "--noisy", n, "--size", "8x4", "--mode", "input", "--mode", "plain:50",
                              "--out", "input=" + out});
    ASSERT_EQ(run.status, 0) << run.err;
    const Clip written = ReadClip(out, std::nullopt);
    ASSERT_EQ(written.frames.size(), noisy.frames.size());
    EXPECT_EQ(written.size, size);
    // 4:4:4 there and back: within the rounding of the two conversions.
    ErrorSum diff;
    for (std::size_t i = 0; i < noisy.frames.size(); ++i)
        diff.add(written.frames[i].data(), noisy.frames[i].data(), noisy.frameBytes());
    EXPECT_LT(diff.mse(), 1.0);
}
