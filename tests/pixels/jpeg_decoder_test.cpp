#include "pixels/JpegDecoder.h"
#include "resources/Resources.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace {

QByteArray AboutPicture()
{
    StillwiseInitResources();
    QFile file(QStringLiteral(":/pictures/about.jpg"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

QByteArray Encode(const QImage& image, bool progressive)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image));
    return bytes;
}

TEST(JpegDecoder, ProgramPictureIsAProgressiveThreeComponentJpeg)
{
    pixels::JpegInfo info;
    const QImage image = pixels::DecodeJpeg(AboutPicture(), &info);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(306, 322));
    EXPECT_EQ(info.components, 3);
    EXPECT_TRUE(info.progressive);
}

TEST(JpegDecoder, DecodesColoursAndGreyPictures)
{
    QImage colour(40, 30, QImage::Format_RGB32);
    colour.fill(QColor(200, 40, 20));
    for (int y = 0; y < 30; ++y)
        for (int x = 20; x < 40; ++x)
            colour.setPixel(x, y, qRgb(20, 60, 220));
    for (bool progressive : {false, true}) {
        pixels::JpegInfo info;
        const QImage decoded = pixels::DecodeJpeg(Encode(colour, progressive), &info);
        ASSERT_EQ(decoded.size(), QSize(40, 30));
        EXPECT_EQ(info.progressive, progressive);
        const QColor left = decoded.pixelColor(5, 15);
        const QColor right = decoded.pixelColor(35, 15);
        EXPECT_NEAR(left.red(), 200, 8);
        EXPECT_NEAR(left.blue(), 20, 8);
        EXPECT_NEAR(right.blue(), 220, 8);
        EXPECT_NEAR(right.red(), 20, 8);
    }

    QImage grey(16, 8, QImage::Format_Grayscale8);
    grey.fill(90);
    pixels::JpegInfo info;
    const QImage decoded = pixels::DecodeJpeg(Encode(grey, false), &info);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_EQ(info.components, 1);
    EXPECT_NEAR(decoded.pixelColor(3, 3).green(), 90, 3);
}

TEST(JpegDecoder, DamagedDataGivesNoPicture)
{
    const QByteArray good = AboutPicture();
    ASSERT_GT(good.size(), 2000);
    EXPECT_TRUE(pixels::DecodeJpeg(QByteArray()).isNull());
    EXPECT_TRUE(pixels::DecodeJpeg(QByteArray("not a picture at all")).isNull());

    pixels::JpegInfo info;
    EXPECT_TRUE(pixels::DecodeJpeg(good.left(good.size() / 2), &info).isNull()); // cut off mid-scan
    EXPECT_EQ(info.width, 306);                                                  // the header was still read
    EXPECT_TRUE(pixels::DecodeJpeg(good.left(100)).isNull());                    // cut off in the header

    // Bytes overwritten in the middle of the entropy-coded data.
    QByteArray scrambled = good;
    for (qsizetype i = good.size() / 3; i < good.size() / 3 + 400; ++i)
        scrambled[i] = static_cast<char>(0xff);
    EXPECT_TRUE(pixels::DecodeJpeg(scrambled).isNull());
}

TEST(JpegDecoder, RefusesPicturesTooLargeToHold)
{
    QByteArray bytes = Encode(QImage(8, 8, QImage::Format_RGB32), false);
    // Patch the frame header (SOF) to claim 60000 x 60000 pixels.
    const qsizetype sof = bytes.indexOf(QByteArray("\xff\xc0", 2));
    ASSERT_GT(sof, 0);
    for (int i : {5, 7}) {
        bytes[sof + i] = static_cast<char>(0xea);
        bytes[sof + i + 1] = static_cast<char>(0x60);
    }
    pixels::JpegInfo info;
    EXPECT_TRUE(pixels::DecodeJpeg(bytes, &info).isNull());
    EXPECT_EQ(info.width, 60000);
}

} // namespace

namespace {

// A camera picture with detail in every block, so that its blocks use many
// of the Huffman codes.
std::vector<unsigned char> Busy(int width, int height)
{
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned char* p = rgb.data() + (static_cast<std::size_t>(y) * width + x) * 3;
            p[0] = static_cast<unsigned char>(x * 255 / width);
            p[1] = static_cast<unsigned char>(y * 255 / height);
            p[2] = static_cast<unsigned char>(((x ^ y) * 7) & 0xff);
        }
    return rgb;
}

// A baseline JPEG with a restart marker after every MCU row, as many
// MJPEG cameras send.
QByteArray EncodeWithRestarts(const std::vector<unsigned char>& rgb, int width, int height)
{
    // TurboJPEG takes the restart interval from the environment only.
    qputenv("TJ_RESTART", "1");
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(encoder, rgb.data(), width, 0, height, TJPF_RGB, &jpeg, &size, TJSAMP_420, 85, 0);
    qunsetenv("TJ_RESTART");
    QByteArray bytes;
    if (result == 0)
        bytes = QByteArray(reinterpret_cast<const char*>(jpeg), static_cast<qsizetype>(size));
    tjFree(jpeg);
    tjDestroy(encoder);
    return bytes;
}

// Where each marker segment before the scan starts (at its 0xFF).
std::vector<qsizetype> Segments(const QByteArray& jpeg, unsigned char marker)
{
    std::vector<qsizetype> found;
    for (qsizetype at = 2; at + 4 <= jpeg.size();) {
        const auto m = static_cast<unsigned char>(jpeg[at + 1]);
        if (m == 0xDA)
            break;
        if (m == marker)
            found.push_back(at);
        at += 2 + ((static_cast<unsigned char>(jpeg[at + 2]) << 8) | static_cast<unsigned char>(jpeg[at + 3]));
    }
    return found;
}

// An MJPEG camera's frame: the same JPEG without its Huffman tables, which
// the decoder is to take from the standard.
QByteArray WithoutHuffmanTables(QByteArray jpeg)
{
    const std::vector<qsizetype> tables = Segments(jpeg, 0xC4);
    for (auto it = tables.rbegin(); it != tables.rend(); ++it)
        jpeg.remove(*it,
                    2 + ((static_cast<unsigned char>(jpeg[*it + 2]) << 8) | static_cast<unsigned char>(jpeg[*it + 3])));
    return jpeg;
}

struct Decoded {
    bool ok = false;
    std::vector<std::uint8_t> bgr;
};

Decoded DecodeFrame(pixels::JpegDecoder& decoder, const QByteArray& jpeg, int width, int height)
{
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    Decoded d;
    d.bgr.assign(stride * height, 0);
    d.ok = decoder.decode(reinterpret_cast<const std::uint8_t*>(jpeg.constData()),
                          static_cast<std::size_t>(jpeg.size()), width, height, d.bgr.data(), stride);
    return d;
}

} // namespace

// A damaged frame that still decodes must not leave its damage behind: the
// frames of an MJPEG camera carry no Huffman tables and take the standard
// ones, so tables that a damaged frame brought along would decode every
// later frame wrongly, or not at all.
TEST(JpegDecoder, EachFrameDecodesAsIfItWereTheFirst)
{
    constexpr int width = 160, height = 120;
    const QByteArray good = EncodeWithRestarts(Busy(width, height), width, height);
    ASSERT_FALSE(good.isEmpty());
    ASSERT_TRUE(good.contains(QByteArray("\xff\xdd", 2))); // restart interval
    ASSERT_TRUE(good.contains(QByteArray("\xff\xd0", 2))); // first restart marker
    const QByteArray camera = WithoutHuffmanTables(good);
    ASSERT_TRUE(Segments(camera, 0xC4).empty());
    pixels::JpegDecoder fresh;
    const Decoded expected = DecodeFrame(fresh, camera, width, height);
    ASSERT_TRUE(expected.ok);

    // A plain grey frame whose luminance AC table lost the order of two
    // codes of one length: it uses neither code, so it decodes as if whole.
    std::vector<unsigned char> grey(static_cast<std::size_t>(width) * height * 3, 0x70);
    QByteArray damaged = EncodeWithRestarts(grey, width, height);
    const qsizetype swap = damaged.indexOf(QByteArray("\x31\x41", 2), Segments(damaged, 0xC4).at(0));
    ASSERT_GT(swap, 0);
    std::swap(damaged[swap], damaged[swap + 1]);
    {
        pixels::JpegDecoder decoder;
        ASSERT_TRUE(DecodeFrame(decoder, damaged, width, height).ok);
        const Decoded next = DecodeFrame(decoder, camera, width, height);
        EXPECT_TRUE(next.ok);
        EXPECT_TRUE(next.bgr == expected.bgr);
    }

    // Every single byte of the good frame's Huffman tables changed in turn:
    // whether the damaged frame is taken or dropped, the next frame comes
    // out as from a fresh decoder.
    pixels::JpegDecoder decoder;
    int taken = 0;
    for (const qsizetype table : Segments(good, 0xC4)) {
        const qsizetype end = table + 2 +
                              ((static_cast<unsigned char>(good[table + 2]) << 8) |
                               static_cast<unsigned char>(good[table + 3]));
        for (qsizetype at = table + 4; at < end; ++at) {
            QByteArray broken = good;
            broken[at] = static_cast<char>(broken[at] ^ (1 + at % 7));
            taken += DecodeFrame(decoder, broken, width, height).ok;
            const Decoded next = DecodeFrame(decoder, camera, width, height);
            ASSERT_TRUE(next.ok) << "after a change at byte " << at;
            ASSERT_TRUE(next.bgr == expected.bgr) << "after a change at byte " << at;
        }
    }
    EXPECT_GT(taken, 0); // some damaged frames were taken, and left nothing
}
