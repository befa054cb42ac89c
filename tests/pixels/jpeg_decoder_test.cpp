#include "pixels/JpegDecoder.h"
#include "resources/Resources.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>

#include <gtest/gtest.h>

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
