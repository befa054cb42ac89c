// The picture library's promises that the rest of the program builds on.

#include "dib/Pixmill.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

namespace {

// Frees a picture at the end of a test, whatever happens.
struct Owned {
    DIB r;
    explicit Owned(DIB d) : r(d) {}
    ~Owned() { deldib(r); }
};

bool allZero(const DIB& r)
{
    const std::size_t n = static_cast<std::size_t>(DIBHeight(r)) * r.rowbytes;
    for (std::size_t i = 0; i < n; ++i)
        if (r.bits[i] != 0)
            return false;
    return true;
}

} // namespace

TEST(Pixmill, StartPictureIsBlack640x480WithoutColourTable)
{
    Owned p(newdib(640, 480, 24, nullptr, 0));
    ASSERT_NE(p.r.bits, nullptr);
    EXPECT_EQ(DIBWidth(p.r), 640);
    EXPECT_EQ(DIBHeight(p.r), 480);
    EXPECT_EQ(DIBBitCount(p.r), 24);
    EXPECT_EQ(p.r.rowbytes, 1920);
    EXPECT_EQ(p.r.info->bmiHeader.biClrUsed, 0u);
    EXPECT_EQ(p.r.info->bmiHeader.biCompression, BI_RGB);
    EXPECT_TRUE(allZero(p.r));
}

TEST(Pixmill, RowBytesAreTheStandardStride)
{
    struct Case {
        int width, bits, rowbytes;
    } cases[] = {{640, 24, 1920}, {641, 24, 1924}, {1, 24, 4}, {1, 1, 4}, {33, 1, 8},
                 {7, 4, 4},       {9, 4, 8},       {5, 8, 8},  {3, 16, 8}, {3, 32, 12}};
    for (const Case& c : cases) {
        Owned p(newdib(c.width, 2, c.bits, nullptr, 0));
        ASSERT_NE(p.r.bits, nullptr) << c.width << "x" << c.bits;
        EXPECT_EQ(p.r.rowbytes, c.rowbytes) << c.width << " px at " << c.bits << " bits";
        EXPECT_EQ(p.r.rowbytes % 4, 0);
    }
}

TEST(Pixmill, ReusedMemoryStartsAtZeroAgain)
{
    // Freed blocks go back to a pool: a new picture of the same size must
    // still come out black.
    for (int round = 0; round < 4; ++round) {
        DIB p = newdib(320, 240, 24, nullptr, 0);
        ASSERT_NE(p.bits, nullptr);
        EXPECT_TRUE(allZero(p)) << "round " << round;
        std::memset(p.bits, 0xAB, static_cast<std::size_t>(p.rowbytes) * 240);
        deldib(p);
    }
}

TEST(Pixmill, CopiesShareOnePictureAndOneDeldibFreesIt)
{
    const auto before = pixmill::stats().livePictures;
    DIB a = newdib(10, 10, 24, nullptr, 0);
    DIB b = a; // a copy of the record, not of the picture
    EXPECT_EQ(pixmill::stats().livePictures, before + 1);
    setpixel(a, 3, 4, 0x123456);
    EXPECT_EQ(getpixel(b, 3, 4), 0x123456u);
    deldib(b);
    EXPECT_EQ(pixmill::stats().livePictures, before);
    deldib(a); // already freed through b: ignored, not freed twice
    EXPECT_EQ(pixmill::stats().livePictures, before);
}

TEST(Pixmill, BadRequestsGiveNullBitsAndNeverCrash)
{
    const DIB bad[] = {
        newdib(0, 10, 24, nullptr, 0),       newdib(10, 0, 24, nullptr, 0),
        newdib(-5, 10, 24, nullptr, 0),      newdib(10, -5, 24, nullptr, 0),
        newdib(10, 10, 3, nullptr, 0),       newdib(10, 10, 0, nullptr, 0),
        newdib(1 << 30, 1 << 30, 24, nullptr, 0), // byte count overflows
        newdib(INT_MAX, 1, 32, nullptr, 0),  // row overflows
        newdib(100000, 100000, 24, nullptr, 0),
    };
    const auto before = pixmill::stats().livePictures;
    for (const DIB& r : bad) {
        EXPECT_EQ(r.bits, nullptr);
        deldib(r);
    }
    EXPECT_EQ(pixmill::stats().livePictures, before);
}

TEST(Pixmill, ColourTableIsTakenFromTheSourceFormat)
{
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[4];
    } source{};
    source.h.biBitCount = 8;
    source.h.biClrUsed = 4;
    for (int i = 0; i < 4; ++i)
        source.c[i] = RGBQUAD{BYTE(i), BYTE(10 + i), BYTE(20 + i), 0};

    Owned p(newdib(8, 2, 8, reinterpret_cast<BITMAPINFO*>(&source), 3));
    ASSERT_NE(p.r.bits, nullptr);
    ASSERT_EQ(p.r.info->bmiHeader.biClrUsed, 3u);
    const RGBQUAD* t = ColorTable(p.r.info);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t[i].rgbBlue, i);
        EXPECT_EQ(t[i].rgbGreen, 10 + i);
        EXPECT_EQ(t[i].rgbRed, 20 + i);
    }
    ASSERT_NE(p.r.hpalette, nullptr);
    EXPECT_EQ(p.r.hpalette->entries.size(), 3u);
    EXPECT_EQ(p.r.haspalette, 1);
    EXPECT_TRUE(allZero(p.r));
}

TEST(Pixmill, PixelAccessFollowsTheRowLayout)
{
    Owned one(newdib(16, 2, 1, nullptr, 0));
    setpixel(one.r, 0, 1, 1);
    setpixel(one.r, 9, 1, 1);
    EXPECT_EQ(one.r.bits[one.r.rowbytes + 0], 0x80); // leftmost pixel is the top bit
    EXPECT_EQ(one.r.bits[one.r.rowbytes + 1], 0x40);
    EXPECT_EQ(getpixel(one.r, 9, 1), 1u);
    setpixel(one.r, 9, 1, 0);
    EXPECT_EQ(getpixel(one.r, 9, 1), 0u);

    Owned four(newdib(4, 1, 4, nullptr, 16));
    setpixel(four.r, 0, 0, 0xA);
    setpixel(four.r, 1, 0, 0x5);
    setpixel(four.r, 3, 0, 0xF);
    EXPECT_EQ(four.r.bits[0], 0xA5); // even column in the high nibble
    EXPECT_EQ(four.r.bits[1], 0x0F);
    EXPECT_EQ(getpixel(four.r, 0, 0), 0xAu);
    EXPECT_EQ(getpixel(four.r, 1, 0), 0x5u);

    Owned eight(newdib(3, 2, 8, nullptr, 256));
    setpixel(eight.r, 2, 1, 200);
    EXPECT_EQ(eight.r.bits[eight.r.rowbytes + 2], 200);

    Owned deep(newdib(3, 2, 24, nullptr, 0));
    setpixel(deep.r, 1, 1, 0x112233);
    const std::uint8_t* px = deep.r.bits + deep.r.rowbytes + 3;
    EXPECT_EQ(px[0], 0x33); // bytes as they lie in memory
    EXPECT_EQ(px[1], 0x22);
    EXPECT_EQ(px[2], 0x11);

    // Outside the picture: read 0, write nothing.
    EXPECT_EQ(getpixel(deep.r, 3, 0), 0u);
    EXPECT_EQ(getpixel(deep.r, 0, -1), 0u);
    setpixel(deep.r, -1, 0, 0xFFFFFF);
    setpixel(deep.r, 0, 2, 0xFFFFFF);
}

TEST(Pixmill, ColourCountsAndPowersOfTwo)
{
    EXPECT_EQ(PowerOfTwo(-3), 1);
    EXPECT_EQ(PowerOfTwo(0), 1);
    EXPECT_EQ(PowerOfTwo(1), 2);
    EXPECT_EQ(PowerOfTwo(31), INT_MIN); // 32-bit doubling
    EXPECT_EQ(PowerOfTwo(32), 0);
    EXPECT_EQ(PowerOfTwo(40), 0);
    for (auto [bits, count] : {std::pair{1, 2}, {4, 16}, {8, 256}, {24, 16777216}, {32, 0}}) {
        Owned p(newdib(2, 2, bits, nullptr, 0));
        EXPECT_EQ(DIBColorCount(p.r), count) << bits << " bits";
    }
    BITMAPINFO none{};
    DIB zeroBits;
    zeroBits.info = &none;
    EXPECT_EQ(DIBColorCount(zeroBits), 1);
    EXPECT_EQ(static_cast<int>(power(2.0, 8)), 256);
}

TEST(Pixmill, HalftoneKeepsSizeAndAverageColour)
{
    Owned src(newdib(64, 48, 24, nullptr, 0));
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            setpixel(src.r, x, y, 0x40A0C8); // R 0x40, G 0xA0, B 0xC8

    Owned ht(DIBHalftoneDIB(src.r));
    ASSERT_NE(ht.r.bits, nullptr);
    EXPECT_EQ(DIBBitCount(ht.r), 8);
    EXPECT_EQ(DIBWidth(ht.r), 64);
    EXPECT_EQ(DIBHeight(ht.r), 48);
    const RGBQUAD* table = ColorTable(ht.r.info);
    ASSERT_LE(ht.r.info->bmiHeader.biClrUsed, 256u);
    long sum[3] = {0, 0, 0};
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const RGBQUAD c = table[getpixel(ht.r, x, y)];
            sum[0] += c.rgbBlue;
            sum[1] += c.rgbGreen;
            sum[2] += c.rgbRed;
        }
    // Dithering keeps the average of a flat colour within a few levels.
    EXPECT_NEAR(sum[0] / (64.0 * 48), 0xC8, 6);
    EXPECT_NEAR(sum[1] / (64.0 * 48), 0xA0, 6);
    EXPECT_NEAR(sum[2] / (64.0 * 48), 0x40, 6);

    Owned small(DIBHalftoneDIBXY(src.r, 32, 12));
    ASSERT_NE(small.r.bits, nullptr);
    EXPECT_EQ(DIBWidth(small.r), 32);
    EXPECT_EQ(DIBHeight(small.r), 12);

    Owned grown(DIBHalftoneDIBXY(src.r, 200, 100));
    EXPECT_EQ(DIBWidth(grown.r), 200);

    // Only 24-bit pictures and real sizes are halftoned.
    Owned eight(newdib(4, 4, 8, nullptr, 0));
    EXPECT_EQ(DIBHalftoneDIB(eight.r).bits, nullptr);
    EXPECT_EQ(DIBHalftoneDIBXY(src.r, 0, 10).bits, nullptr);
}

TEST(Pixmill, RenewInPlaceKeepsMemoryOnlyWhenItFits)
{
    DIB p = newdib(640, 480, 24, nullptr, 0);
    setpixel(p, 0, 0, 0xABCDEF);
    std::uint8_t* const bits = p.bits;

    // 639 x 480 has the same rows: remade in place, bytes kept.
    ASSERT_TRUE(dibfits(p, 639, 480, 24, 0));
    ASSERT_TRUE(renewdib(p, 639, 480, 24, nullptr, 0));
    EXPECT_EQ(p.bits, bits);
    EXPECT_EQ(DIBWidth(p), 639);
    EXPECT_EQ(getpixel(p, 0, 0), 0xABCDEFu);

    // Twice the bytes, or a colour table of another size, do not fit.
    const DIB before = p;
    EXPECT_FALSE(renewdib(p, 640, 960, 24, nullptr, 0));
    EXPECT_FALSE(renewdib(p, 1920, 480, 8, nullptr, 256));
    EXPECT_FALSE(renewdib(p, 0, 480, 24, nullptr, 0));
    EXPECT_EQ(p.bits, before.bits);
    EXPECT_EQ(DIBWidth(p), 639);
    deldib(p);

    // A freed record is never remade.
    EXPECT_FALSE(dibfits(p, 639, 480, 24, 0));
}
