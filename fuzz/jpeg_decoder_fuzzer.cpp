// Any bytes as a camera's MJPEG frame and as a picture file, through the
// one JPEG decoder: into the frame's BGR rows at the size the header claims
// and at the camera's size, as a whole picture (QImage), and through
// DecodeJpeg. After each of them the same decoder must still decode a good
// frame exactly as a fresh decoder does: a camera that sends one damaged
// frame must not lose the stream.

#include "fuzz/FuzzInput.h"
#include "fuzz/GuardedBytes.h"
#include "fuzz/JpegMaking.h"
#include "pixels/JpegDecoder.h"

#include <QByteArray>
#include <QImage>

#include <cstdio>
#include <cstring>

namespace {

// The camera's good frame: 4:2:2 without Huffman tables, as MJPEG cameras
// send them, with restart markers, which many of them write.
struct GoodFrame {
    int width = 0, height = 0;
    std::size_t stride = 0;
    std::vector<std::uint8_t> jpeg;
    std::vector<std::uint8_t> bgr; // as a fresh decoder makes it

    GoodFrame()
    {
        fuzz::JpegRecipe recipe;
        recipe.width = width = 48;
        recipe.height = height = 32;
        recipe.subsampling = 1;
        recipe.restartMcus = 2;
        jpeg = fuzz::WithoutHuffmanTables(fuzz::MakeJpeg(recipe));
        stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
        bgr.resize(stride * height);
        pixels::JpegDecoder fresh;
        if (!fresh.decode(jpeg.data(), jpeg.size(), width, height, bgr.data(), stride))
            fuzz::Fail("a fresh decoder refuses the good frame");
    }
};

const GoodFrame& goodFrame()
{
    static const GoodFrame good;
    return good;
}

void decodeGoodFrame(pixels::JpegDecoder& decoder, const char* after)
{
    const GoodFrame& good = goodFrame();
    fuzz::GuardedBytes bgr(good.bgr.size());
    if (!decoder.decode(good.jpeg.data(), good.jpeg.size(), good.width, good.height, bgr.data(), good.stride)) {
        std::fprintf(stderr, "the good frame was refused after %s\n", after);
        fuzz::Fail("a good frame refused after the input");
    }
    // Padding bytes at the end of each row are not the decoder's.
    for (int y = 0; y < good.height; ++y)
        if (std::memcmp(bgr.data() + y * good.stride, good.bgr.data() + y * good.stride,
                        static_cast<std::size_t>(good.width) * 3) != 0) {
            std::fprintf(stderr, "the good frame decoded differently after %s\n", after);
            fuzz::Fail("a good frame decoded wrongly after the input");
        }
}

// TurboJPEG is not instrumented, so the fuzzer cannot see which of its
// paths an input took. These counters (libFuzzer's extra counters) tell it
// what the input's marker segments are and how each decode ended, so that a
// mutation that reaches a new kind of header or a new outcome is kept.
__attribute__((section("__libfuzzer_extra_counters"))) std::uint8_t features[64 * 4 + 16];

void countStructure(const std::uint8_t* p, std::size_t n)
{
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return;
    std::size_t at = 2;
    int segments = 0, restarts = 0;
    while (at + 4 <= n && segments < 64) {
        if (p[at] != 0xFF) {
            ++at;
            continue;
        }
        const std::uint8_t marker = p[at + 1];
        if (marker >= 0xD0 && marker <= 0xD7) { // restart markers stand alone in the scan
            ++restarts;
            at += 2;
            continue;
        }
        if (marker == 0x00 || marker == 0xFF) {
            ++at;
            continue;
        }
        // Which marker at which of the first positions.
        features[(marker & 0x3F) + 64 * std::min(segments, 3)] = 1;
        ++segments;
        if (marker == 0xD9)
            break;
        const std::size_t length = (static_cast<std::size_t>(p[at + 2]) << 8) | p[at + 3];
        at += 2 + length;
    }
    features[256 + std::min(restarts, 7)] = 1;
}

void countOutcome(int step, bool ok)
{
    features[264 + step * 2 + (ok ? 1 : 0)] = 1;
}

// Pictures above this are decoded only as QImages, whose limit is the
// decoder's own: a fuzzer that finds the large headers would otherwise
// spend its time allocating frames.
constexpr long long MaxFramePixels = 2048LL * 2048LL;

bool decodeAsFrame(pixels::JpegDecoder& decoder, const fuzz::GuardedBytes& jpeg, int width, int height)
{
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > MaxFramePixels)
        return false;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    fuzz::GuardedBytes bgr(stride * static_cast<std::size_t>(height));
    return decoder.decode(jpeg.data(), jpeg.size(), width, height, bgr.data(), stride);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    goodFrame();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::GuardedBytes jpeg(data, size);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(jpeg.data()),
                                                     static_cast<qsizetype>(jpeg.size()));
    pixels::JpegInfo info;
    const bool known = pixels::ReadJpegInfo(bytes, info);

    countStructure(jpeg.data(), jpeg.size());

    pixels::JpegDecoder decoder;
    if (known) {
        countOutcome(0, decodeAsFrame(decoder, jpeg, info.width, info.height));
        decodeGoodFrame(decoder, "a frame at the size of its header");
    }
    countOutcome(1, decodeAsFrame(decoder, jpeg, goodFrame().width, goodFrame().height));
    decodeGoodFrame(decoder, "a frame at the camera's size");

    const QImage picture = decoder.decode(bytes);
    countOutcome(2, !picture.isNull());
    if (!picture.isNull()) {
        if (!known || picture.width() != info.width || picture.height() != info.height)
            fuzz::Fail("a picture of another size than its header says");
        if (picture.format() != QImage::Format_RGB888)
            fuzz::Fail("a picture not in RGB888");
    }
    decodeGoodFrame(decoder, "a picture");

    pixels::JpegInfo told;
    const QImage file = pixels::DecodeJpeg(bytes, &told);
    if (!file.isNull() && (file.width() != told.width || file.height() != told.height))
        fuzz::Fail("DecodeJpeg's picture is not the size its header tells");
    // The same bytes are a picture or not, whatever the decoder saw before.
    if (file.isNull() != picture.isNull())
        fuzz::Fail("DecodeJpeg and a used decoder disagree whether the data is a picture");
    return 0;
}
