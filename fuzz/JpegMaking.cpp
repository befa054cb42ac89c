#include "fuzz/JpegMaking.h"

#include "fuzz/FuzzInput.h"

#include <turbojpeg.h>

#include <cstdlib>
#include <random>

namespace fuzz {

namespace {

// TurboJPEG takes restart markers, arithmetic coding and optimised tables
// only from its environment variables (TJ_RESTART, TJ_ARITHMETIC,
// TJ_OPTIMIZE), read on each compression.
class CodingEnvironment {
public:
    explicit CodingEnvironment(const JpegRecipe& r)
    {
        set("TJ_RESTART", r.restartMcus > 0 ? std::to_string(r.restartMcus) + "B" : std::string());
        set("TJ_ARITHMETIC", r.arithmetic ? "1" : "");
        set("TJ_OPTIMIZE", r.optimised ? "1" : "");
    }
    CodingEnvironment(const CodingEnvironment&) = delete;
    CodingEnvironment& operator=(const CodingEnvironment&) = delete;
    ~CodingEnvironment()
    {
        for (const char* name : {"TJ_RESTART", "TJ_ARITHMETIC", "TJ_OPTIMIZE"})
            unsetenv(name);
    }

private:
    static void set(const char* name, const std::string& value)
    {
        if (value.empty())
            unsetenv(name);
        else
            setenv(name, value.c_str(), 1);
    }
};

} // namespace

std::vector<std::uint8_t> MakeJpeg(const JpegRecipe& r, unsigned seed)
{
    const int channels = r.cmyk ? 4 : 3;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(r.width) * r.height * channels);
    std::mt19937 random(seed);
    for (int y = 0; y < r.height; ++y)
        for (int x = 0; x < r.width; ++x) {
            std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * r.width + x) * channels;
            const int noise = static_cast<int>(random() % 16);
            const bool edge = (x / 8 + y / 8) % 3 == 0;
            p[0] = static_cast<std::uint8_t>(x * 255 / std::max(1, r.width - 1));
            p[1] = static_cast<std::uint8_t>(edge ? 230 : y * 200 / std::max(1, r.height - 1) + noise);
            p[2] = static_cast<std::uint8_t>(edge ? 20 : 128 + noise);
            if (channels == 4)
                p[3] = static_cast<std::uint8_t>((x + y) & 0x3f);
        }
    tjhandle handle = tjInitCompress();
    if (handle == nullptr)
        Fail("tjInitCompress failed");
    unsigned char* out = nullptr;
    unsigned long size = 0;
    int result;
    {
        const CodingEnvironment coding(r);
        result = tjCompress2(handle, pixels.data(), r.width, 0, r.height, r.cmyk ? TJPF_CMYK : TJPF_RGB, &out, &size,
                             r.subsampling, r.quality, r.progressive ? TJFLAG_PROGRESSIVE : 0);
    }
    tjDestroy(handle);
    if (result != 0)
        Fail("tjCompress2 failed");
    std::vector<std::uint8_t> jpeg(out, out + size);
    tjFree(out);
    return jpeg;
}

std::vector<std::uint8_t> WithoutHuffmanTables(const std::vector<std::uint8_t>& jpeg)
{
    // Marker segments up to the first scan; what follows is copied whole.
    std::vector<std::uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    std::size_t at = 2;
    while (at + 4 <= jpeg.size() && jpeg[at] == 0xFF) {
        const std::uint8_t marker = jpeg[at + 1];
        const std::size_t length = (static_cast<std::size_t>(jpeg[at + 2]) << 8) | jpeg[at + 3];
        if (marker == 0xDA || at + 2 + length > jpeg.size())
            break;
        if (marker != 0xC4)
            out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at),
                       jpeg.begin() + static_cast<std::ptrdiff_t>(at + 2 + length));
        at += 2 + length;
    }
    out.insert(out.end(), jpeg.begin() + static_cast<std::ptrdiff_t>(at), jpeg.end());
    return out;
}

} // namespace fuzz
