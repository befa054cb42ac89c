// The frame converter against frames that end right before a page nobody
// may read, as a driver's mmap buffer can. libv4lconvert and libyuv are not
// built with AddressSanitizer, so only the guard page shows them reading
// past a frame: every uncompressed format the converter takes, at the
// smallest sizes, with tight and with padded rows, each frame exactly as
// short as the converter accepts. What cannot be read safely must be
// refused with a reason.

#include "camera/v4l2/FrameConverter.h"
#include "fuzz/GuardedBytes.h"
#include "fuzz/OneFormatCamera.h"
#include "pixels/RowBytes.h"

#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct Format {
    std::uint32_t fourcc;
    const char* name;
    bool bayer;
};

void PrintTo(const Format& format, std::ostream* os)
{
    *os << format.name;
}

const Format formats[] = {
    {V4L2_PIX_FMT_SBGGR8, "BayerBGGR", true}, {V4L2_PIX_FMT_SGBRG8, "BayerGBRG", true},
    {V4L2_PIX_FMT_SGRBG8, "BayerGRBG", true}, {V4L2_PIX_FMT_SRGGB8, "BayerRGGB", true},
    {V4L2_PIX_FMT_GREY, "Grey", false},       {V4L2_PIX_FMT_Y16, "Grey16", false},
    {V4L2_PIX_FMT_RGB565, "Rgb565", false},   {V4L2_PIX_FMT_RGB24, "Rgb24", false},
    {V4L2_PIX_FMT_BGR24, "Bgr24", false},     {V4L2_PIX_FMT_YUYV, "Yuyv", false},
    {V4L2_PIX_FMT_UYVY, "Uyvy", false},       {V4L2_PIX_FMT_NV12, "Nv12", false},
    {V4L2_PIX_FMT_YUV420, "Yuv420", false},   {V4L2_PIX_FMT_YUV422P, "Yuv422p", false},
};

constexpr std::uint8_t midGrey = 0x80;
constexpr std::size_t roomy = 1 << 16; // more than any frame here holds

class TinyFrames : public testing::TestWithParam<Format> {
protected:
    // A converter for this format at this size, rows `pad` bytes longer
    // than they need to be, that takes frames of any length up to `roomy`.
    bool prepare(std::uint32_t width, std::uint32_t height, std::uint32_t pad, QString& reason)
    {
        pix_ = {};
        pix_.pixelformat = GetParam().fourcc;
        pix_.width = width;
        pix_.height = height;
        pix_.field = V4L2_FIELD_NONE;
        // A row length of 0 means rows without padding, as some drivers
        // answer.
        pix_.bytesperline = pad == 0 ? 0 : static_cast<std::uint32_t>(pixels::RowBytes(pix_.pixelformat, width)) + pad;
        pix_.sizeimage = roomy;
        camera_ = std::make_unique<fuzz::OneFormatCamera>(pix_);
        converter_ = std::make_unique<camera::FrameConverter>(*camera_, fuzz::OneFormatCamera::Fd);
        if (!*converter_)
            return false;
        v4l2_format format{};
        format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        format.fmt.pix = pix_;
        return converter_->setSource(format, reason);
    }

    // The shortest mid-grey frame the converter takes, found by halving:
    // each try ends at a guard page, so a converter that took too short a
    // frame and read on would fault.
    std::size_t shortestFrame()
    {
        std::size_t refused = 0, taken = roomy;
        while (taken - refused > 1) {
            const std::size_t size = refused + (taken - refused) / 2;
            (convert(size) ? taken : refused) = size;
        }
        return taken;
    }

    bool convert(std::size_t size)
    {
        const std::vector<std::uint8_t> grey(size, midGrey);
        const fuzz::GuardedBytes frame(grey.data(), size);
        out_.assign(converter_->imageBytes(), 0x5a);
        return converter_->convert(frame.data(), frame.size(), out_);
    }

    // Every pixel of the picture the same colour, as the frame was one grey
    // throughout: the converter wrote each of them from the frame's bytes.
    void expectEvenPicture() const
    {
        ASSERT_EQ(out_.size(), converter_->imageBytes());
        const std::size_t stride = converter_->imageBytes() / pix_.height;
        const std::uint8_t* first = out_.data();
        EXPECT_FALSE(first[0] == 0x5a && first[1] == 0x5a && first[2] == 0x5a);
        for (std::size_t y = 0; y < pix_.height; ++y)
            for (std::size_t x = 0; x < pix_.width; ++x) {
                const std::uint8_t* p = out_.data() + y * stride + x * 3;
                ASSERT_TRUE(p[0] == first[0] && p[1] == first[1] && p[2] == first[2]) << "pixel " << x << "," << y;
            }
    }

private:
    v4l2_pix_format pix_{};
    std::unique_ptr<fuzz::OneFormatCamera> camera_;
    std::unique_ptr<camera::FrameConverter> converter_;
    std::vector<std::uint8_t> out_;
};

TEST_P(TinyFrames, ConvertWithoutReadingPastTheFrameOrAreRefusedWithAReason)
{
    const Format& format = GetParam();
    for (std::uint32_t pad : {0u, 3u})
        for (std::uint32_t height = 1; height <= 5; ++height)
            for (std::uint32_t width = 1; width <= 6; ++width) {
                SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " pad " + std::to_string(pad));
                QString reason;
                const bool taken = prepare(width, height, pad, reason);
                // libv4lconvert's demosaicing reads past the last row of a
                // frame only two pixels wide, and needs two rows.
                const bool tooSmall = format.bayer && (width < 3 || height < 2);
                ASSERT_EQ(taken, !tooSmall) << reason.toStdString();
                if (!taken) {
                    EXPECT_TRUE(reason.contains(QStringLiteral("mindestens 3 × 2 Bildpunkte"))) << reason.toStdString();
                    continue;
                }
                const std::size_t shortest = shortestFrame();
                ASSERT_LT(shortest, roomy);
                ASSERT_TRUE(convert(shortest));
                expectEvenPicture();
            }
}

// A frame only two pixels wide, as tall as one page holds: the size a
// driver's buffer ends exactly at a page with.
TEST_P(TinyFrames, PageSizedFramesAtTheNarrowestSizeTaken)
{
    const std::uint32_t width = GetParam().bayer ? 3 : 2;
    for (std::uint32_t height : {2048u, 4096u / width})
        for (std::uint32_t pad : {0u, 1u}) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " pad " + std::to_string(pad));
            QString reason;
            ASSERT_TRUE(prepare(width, height, pad, reason)) << reason.toStdString();
            const std::size_t shortest = shortestFrame();
            ASSERT_LT(shortest, roomy);
            ASSERT_TRUE(convert(shortest));
            expectEvenPicture();
        }
}

INSTANTIATE_TEST_SUITE_P(EveryUncompressedFormat, TinyFrames, testing::ValuesIn(formats),
                         [](const testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

} // namespace
