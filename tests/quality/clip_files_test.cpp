// Reading clips: raw BGR and Y4M 4:2:0 and 4:4:4 of one picture come out as
// the same BGR, and broken files are refused.

#include "quality_test_support.h"

#include "bench/quality/ClipFiles.h"

#include <cstdlib>

using namespace quality;
using qualitytest::Scratch;

namespace {

// A picture whose colour is the same over each 2 x 2 block, so 4:2:0 loses
// nothing of it; its YCbCr planes at full and at half chroma resolution.
struct BlockPicture {
    Size size;
    std::vector<std::uint8_t> y, cb, cr;      // full resolution
    std::vector<std::uint8_t> cb420, cr420;   // one sample per block

    explicit BlockPicture(Size s) : size(s)
    {
        const int cw = (s.width + 1) / 2, ch = (s.height + 1) / 2;
        for (int by = 0; by < ch; ++by)
            for (int bx = 0; bx < cw; ++bx) {
                cb420.push_back(static_cast<std::uint8_t>(96 + (bx * 13 + by * 7) % 64));
                cr420.push_back(static_cast<std::uint8_t>(100 + (bx * 5 + by * 11) % 56));
            }
        for (int py = 0; py < s.height; ++py)
            for (int px = 0; px < s.width; ++px) {
                const std::size_t block = static_cast<std::size_t>(py / 2) * cw + px / 2;
                y.push_back(static_cast<std::uint8_t>(40 + ((px / 2) * 17 + (py / 2) * 23) % 170));
                cb.push_back(cb420[block]);
                cr.push_back(cr420[block]);
            }
    }

    std::string y4m(const std::string& tag, bool c420, const std::string& extra = "") const
    {
        std::string file = "YUV4MPEG2 W" + std::to_string(size.width) + " H" + std::to_string(size.height) +
                           " F30:1 Ip A1:1" + tag + extra + "\n";
        for (int frame = 0; frame < 2; ++frame) {
            file += frame == 0 ? "FRAME\n" : "FRAME Ixyz\n"; // frame parameters are allowed
            file.append(y.begin(), y.end());
            const auto& u = c420 ? cb420 : cb;
            const auto& v = c420 ? cr420 : cr;
            file.append(u.begin(), u.end());
            file.append(v.begin(), v.end());
        }
        return file;
    }
};

int largestDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b)
{
    int worst = a.size() == b.size() ? 0 : 256;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

} // namespace

TEST(ClipFiles, Y4m420And444AndRawReadAsTheSameBgr)
{
    const Scratch scratch;
    for (const Size size : {Size{16, 8}, Size{15, 9}}) {
        SCOPED_TRACE(SizeText(size));
        const BlockPicture picture(size);
        const Clip full = ReadClip(scratch.write("a444.y4m", picture.y4m(" C444", false)), std::nullopt);
        ASSERT_EQ(full.frames.size(), 2u);
        EXPECT_EQ(full.size, size);
        // Limited range: luma 40..210 stays inside the bytes, so nothing clips.
        for (const char* tag : {"", " C420jpeg", " C420mpeg2", " C420paldv", " C420"}) {
            SCOPED_TRACE(tag);
            const Clip half = ReadClip(scratch.write("a420.y4m", picture.y4m(tag, true)), std::nullopt);
            ASSERT_EQ(half.frames.size(), 2u);
            EXPECT_LE(largestDifference(half.frames[1], full.frames[1]), 1);
        }
        // The BGR read as raw frames is the same picture again; and written
        // as 4:4:4 by the tool, it reads back within the rounding of one
        // conversion each way.
        const Clip raw = ReadClip(scratch.writeRaw("a.bgr", full), size);
        EXPECT_EQ(raw.frames, full.frames);
        WriteY4m444(scratch.path("back.y4m"), raw);
        const Clip back = ReadClip(scratch.path("back.y4m"), size);
        ASSERT_EQ(back.frames.size(), 2u);
        EXPECT_LE(largestDifference(back.frames[0], raw.frames[0]), 2);
    }
}

TEST(ClipFiles, RangeTagDecidesBlackAndWhite)
{
    const Scratch scratch;
    auto grey = [&](int luma, const std::string& extra) {
        std::string file = "YUV4MPEG2 W2 H2 C444" + extra + "\nFRAME\n";
        file += std::string(4, static_cast<char>(luma)) + std::string(8, static_cast<char>(128));
        return ReadClip(scratch.write("g.y4m", file), std::nullopt).frames[0][0];
    };
    EXPECT_EQ(grey(235, ""), 255);
    EXPECT_EQ(grey(16, ""), 0);
    EXPECT_NEAR(grey(235, " XCOLORRANGE=FULL"), 235, 1);
    EXPECT_EQ(grey(255, " XCOLORRANGE=FULL"), 255);
}

TEST(ClipFiles, RefusesBrokenFiles)
{
    const Scratch scratch;
    const std::string frame444(3 * 4 * 2, '\x80');
    const struct {
        const char* what;
        std::string bytes;
        std::optional<Size> size;
        const char* message;
    } cases[] = {
        {"header without end", "YUV4MPEG2 W4 H2 C444", std::nullopt, "Kopfzeile endet nicht"},
        {"no height", "YUV4MPEG2 W4 C444\nFRAME\n" + frame444, std::nullopt, "Breite und Höhe"},
        {"zero width", "YUV4MPEG2 W0 H2\n", std::nullopt, "Breite und Höhe"},
        {"width not a number", "YUV4MPEG2 W4x H2 C444\nFRAME\n" + frame444, std::nullopt, "Breite und Höhe"},
        {"4:2:2", "YUV4MPEG2 W4 H2 C422\nFRAME\n" + frame444, std::nullopt, "C422"},
        {"10 bits", "YUV4MPEG2 W4 H2 C420p10\n", std::nullopt, "C420p10"},
        {"cut frame", "YUV4MPEG2 W4 H2 C444\nFRAME\n" + frame444 + "FRAME\n" + frame444.substr(3), std::nullopt,
         "Bild 2 ist unvollständig"},
        {"no FRAME marker", "YUV4MPEG2 W4 H2 C444\nFRAME\n" + frame444 + "FRAMX\n" + frame444, std::nullopt,
         "Bild 2 beginnt nicht mit FRAME"},
        {"no frames", "YUV4MPEG2 W4 H2 C444\n", std::nullopt, "ohne Bilder"},
        {"size differs from header", "YUV4MPEG2 W4 H2 C444\nFRAME\n" + frame444, Size{2, 4}, "passt nicht"},
        {"raw without size", std::string(24, '\0'), std::nullopt, "--size"},
        {"raw, part of a frame", std::string(24 + 5, '\0'), Size{4, 2}, "kein Vielfaches"},
        {"raw, empty", std::string(), Size{4, 2}, "leer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = scratch.write("broken", c.bytes);
        try {
            ReadClip(path, c.size);
            ADD_FAILURE() << "read";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(ReadClip(scratch.path("missing"), Size{4, 2}), Error);
}
