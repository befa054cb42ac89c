// Writes the seed inputs of the fuzz targets into fuzz/seeds/<target>/:
// every one made here from a recipe, so that the committed seeds can be
// made again (fuzz/make_seeds.sh) and each says in its name what it is.
//
//   make_seeds OUTPUT_FOLDER

#include "fuzz/CameraMemoryInput.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/JpegMaking.h"
#include "fuzz/LoopbackScript.h"
#include "fuzz/LyingLoopback.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QString>

#include <linux/videodev2.h>
#include <spa/param/format-utils.h>
#include <spa/param/props.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

QString root;

void write(const char* target, const std::string& name, const Bytes& bytes)
{
    const QString folder = root + QLatin1Char('/') + QString::fromLatin1(target);
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + QString::fromStdString(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

// ---- frame conversion: a v4l2_pix_format, then the frame

// Frame bytes with some structure: a ramp per row plus the row number.
Bytes pattern(std::size_t size)
{
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>((i % 61) * 4 + i / 256);
    return out;
}

v4l2_pix_format pix(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height, std::uint32_t bytesperline,
                    std::uint32_t sizeimage)
{
    v4l2_pix_format p{};
    p.width = width;
    p.height = height;
    p.pixelformat = fourcc;
    p.field = V4L2_FIELD_NONE;
    p.bytesperline = bytesperline;
    p.sizeimage = sizeimage;
    p.colorspace = V4L2_COLORSPACE_SRGB;
    return p;
}

void frame(const std::string& name, const v4l2_pix_format& p, const Bytes& bytes)
{
    write("frame_conversion", name, fuzz::SeedWriter().putRecord(p).putBytes(bytes).bytes());
}

void frame(const std::string& name, const v4l2_pix_format& p)
{
    frame(name, p, pattern(p.sizeimage));
}

void frameSeeds()
{
    // Packed 4:2:2, odd sizes and padded rows among them.
    frame("yuyv_32x24", pix(V4L2_PIX_FMT_YUYV, 32, 24, 64, 64 * 24));
    frame("yuyv_32x24_padded_rows", pix(V4L2_PIX_FMT_YUYV, 32, 24, 80, 80 * 24));
    frame("uyvy_31x23_odd", pix(V4L2_PIX_FMT_UYVY, 31, 23, 64, 64 * 23));
    frame("yvyu_16x8", pix(V4L2_PIX_FMT_YVYU, 16, 8, 32, 32 * 8));
    frame("vyuy_16x8", pix(V4L2_PIX_FMT_VYUY, 16, 8, 32, 32 * 8));
    // Semi-planar and planar.
    frame("nv12_32x24", pix(V4L2_PIX_FMT_NV12, 32, 24, 32, 32 * 24 * 3 / 2));
    frame("nv21_31x23_odd", pix(V4L2_PIX_FMT_NV21, 31, 23, 32, 32 * 23 + 32 * 12));
    frame("yuv420_32x24", pix(V4L2_PIX_FMT_YUV420, 32, 24, 32, 32 * 24 * 3 / 2));
    frame("yvu420_33x25_odd", pix(V4L2_PIX_FMT_YVU420, 33, 25, 33, 33 * 25 + 2 * 17 * 13));
    frame("yuv422p_32x24", pix(V4L2_PIX_FMT_YUV422P, 32, 24, 32, 32 * 24 * 2));
    // 24-bit RGB.
    frame("rgb24_16x12", pix(V4L2_PIX_FMT_RGB24, 16, 12, 48, 48 * 12));
    frame("bgr24_16x12_padded_rows", pix(V4L2_PIX_FMT_BGR24, 16, 12, 52, 52 * 12));
    // Left to libv4lconvert: grey, 16-bit grey, RGB565 and Bayer, whose
    // rows libv4lconvert walks by bytesperline itself.
    frame("grey_32x24", pix(V4L2_PIX_FMT_GREY, 32, 24, 32, 32 * 24));
    frame("y16_16x12", pix(V4L2_PIX_FMT_Y16, 16, 12, 32, 32 * 12));
    frame("rgb565_16x12", pix(V4L2_PIX_FMT_RGB565, 16, 12, 32, 32 * 12));
    frame("bayer_grbg_32x24", pix(V4L2_PIX_FMT_SGRBG8, 32, 24, 32, 32 * 24));
    frame("bayer_ba81_32x24_padded_rows", pix(V4L2_PIX_FMT_SBGGR8, 32, 24, 40, 40 * 24));
    frame("bayer_gbrg_16x8", pix(V4L2_PIX_FMT_SGBRG8, 16, 8, 16, 16 * 8));
    frame("bayer_rggb_16x8", pix(V4L2_PIX_FMT_SRGGB8, 16, 8, 16, 16 * 8));
    // A driver that answers rows shorter than the width (7 bytes for 8
    // pixels): a bit away from the answers that break libv4lconvert. Small,
    // so that most mutations fall on the format rather than the pixels.
    frame("bayer_grbg_8x4_rows_below_width", pix(V4L2_PIX_FMT_SGRBG8, 8, 4, 7, 8 * 4));
    // MJPEG as cameras send it (no Huffman tables), and a JPEG with them.
    fuzz::JpegRecipe r;
    r.width = 32;
    r.height = 24;
    const Bytes mjpeg = fuzz::WithoutHuffmanTables(fuzz::MakeJpeg(r));
    frame("mjpeg_32x24", pix(V4L2_PIX_FMT_MJPEG, 32, 24, 0, static_cast<std::uint32_t>(mjpeg.size())), mjpeg);
    const Bytes jpeg = fuzz::MakeJpeg(r);
    frame("jpeg_32x24_with_tables", pix(V4L2_PIX_FMT_JPEG, 32, 24, 0, static_cast<std::uint32_t>(jpeg.size())), jpeg);
}

// ---- JPEG: the bytes themselves

Bytes jpeg(int width, int height, int subsampling)
{
    fuzz::JpegRecipe r;
    r.width = width;
    r.height = height;
    r.subsampling = subsampling;
    return fuzz::MakeJpeg(r);
}

void jpegSeeds()
{
    write("jpeg_decoder", "s444_32x24", jpeg(32, 24, 0));
    write("jpeg_decoder", "s422_64x48", jpeg(64, 48, 1));
    write("jpeg_decoder", "s420_48x32", jpeg(48, 32, 2));
    write("jpeg_decoder", "grey_32x24", jpeg(32, 24, 3));
    write("jpeg_decoder", "s440_32x32", jpeg(32, 32, 4));
    write("jpeg_decoder", "s411_64x16", jpeg(64, 16, 5));
    write("jpeg_decoder", "s420_37x29_odd", jpeg(37, 29, 2));
    write("jpeg_decoder", "s420_1x1", jpeg(1, 1, 2));
    {
        fuzz::JpegRecipe r;
        r.width = 160;
        r.height = 120;
        r.quality = 40;
        write("jpeg_decoder", "s420_160x120_q40", fuzz::MakeJpeg(r));
    }
    // MJPEG frames: the camera leaves out the Huffman tables; many write
    // restart markers.
    write("jpeg_decoder", "mjpeg_s422_48x32_no_tables", fuzz::WithoutHuffmanTables(jpeg(48, 32, 1)));
    {
        fuzz::JpegRecipe r;
        r.width = 48;
        r.height = 32;
        r.restartMcus = 2;
        write("jpeg_decoder", "mjpeg_s422_48x32_restarts_no_tables", fuzz::WithoutHuffmanTables(fuzz::MakeJpeg(r)));
        write("jpeg_decoder", "s422_48x32_restarts", fuzz::MakeJpeg(r));
        // A frame damaged in transfer: bytes of its coded data overwritten
        // between two restart markers.
        Bytes damaged = fuzz::WithoutHuffmanTables(fuzz::MakeJpeg(r, 7));
        for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 6; ++i)
            damaged[i] = static_cast<std::uint8_t>(damaged[i] ^ 0x5A);
        write("jpeg_decoder", "mjpeg_s422_48x32_restarts_damaged", damaged);
    }
    {
        fuzz::JpegRecipe r;
        r.progressive = true;
        write("jpeg_decoder", "progressive_s422_64x48", fuzz::MakeJpeg(r));
        r.subsampling = 3;
        write("jpeg_decoder", "progressive_grey_64x48", fuzz::MakeJpeg(r));
    }
    {
        fuzz::JpegRecipe r;
        r.arithmetic = true;
        write("jpeg_decoder", "arithmetic_s420_64x48", fuzz::MakeJpeg(r));
    }
    {
        fuzz::JpegRecipe r;
        r.optimised = true;
        r.subsampling = 2;
        write("jpeg_decoder", "optimised_tables_s420_64x48", fuzz::MakeJpeg(r));
    }
    {
        fuzz::JpegRecipe r;
        r.cmyk = true;
        r.width = 32;
        r.height = 24;
        write("jpeg_decoder", "cmyk_32x24", fuzz::MakeJpeg(r));
    }
    // Cut off in the coded data, and in the headers.
    const Bytes whole = jpeg(64, 48, 1);
    write("jpeg_decoder", "truncated_in_scan", Bytes(whole.begin(), whole.begin() + whole.size() * 2 / 3));
    write("jpeg_decoder", "truncated_in_header", Bytes(whole.begin(), whole.begin() + 120));
    // TurboJPEG here cannot make 12-bit JPEGs: a header that claims 12 bits
    // a sample stands in, so that the refusal is reached.
    Bytes twelve = jpeg(32, 24, 1);
    for (std::size_t i = 2; i + 4 < twelve.size(); ++i)
        if (twelve[i] == 0xFF && twelve[i + 1] == 0xC0) {
            twelve[i + 1] = 0xC1; // extended sequential
            twelve[i + 4] = 12;   // sample precision
            break;
        }
    write("jpeg_decoder", "claims_12bit_32x24", twelve);
}

// ---- camera memory: u8 camera, u8 filler code, the INI text

std::string sectionOf(int camera)
{
    const QByteArray hash = QCryptographicHash::hash(QByteArray(fuzz::MemoryCameras[camera]), QCryptographicHash::Sha1);
    return "Kamera-" + hash.toHex().left(16).toStdString();
}

void memory(const char* target, const std::string& name, int camera, std::uint8_t fillers, const std::string& text)
{
    write(target, name, fuzz::SeedWriter().put(static_cast<std::uint8_t>(camera)).put(fillers).putText(text).bytes());
}

std::string hex(std::uint32_t id)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

void memorySeeds()
{
    const char* t = "camera_memory";
    const std::string own = "[" + sectionOf(0) + "]\nKennung=" + fuzz::MemoryCameras[0] + "\n";
    const std::string others = "[General]\nSprache=de\n[Fenster]\nBreite=1024\nTeilung=50\n";
    memory(t, "remembered", 0, 2,
           others + own + "Format=YUYV 640x480 1/30\nRegler\\" + hex(fuzz::MemoryBrightness) + "=12\nRegler\\" +
               hex(fuzz::MemoryAutoWhite) + "=0\nRegler\\" + hex(fuzz::MemoryWhiteTemp) + "=5000\n");
    memory(t, "rate_left_to_device", 1, 0,
           "[" + sectionOf(1) + "]\nKennung=" + fuzz::MemoryCameras[1] + "\nFormat=MJPG 1280x720 0/0\n");
    memory(t, "umlaut_camera", 3, 1,
           "[" + sectionOf(3) + "]\nKennung=" + fuzz::MemoryCameras[3] + "\nFormat=NV12 320x240 1/15\n");
    memory(t, "huge_values", 0, 0,
           own + "Format=YUYV 99999x99999 1/30\nRegler\\" + hex(fuzz::MemoryBrightness) +
               "=99999999999999999999\nRegler\\" + hex(fuzz::MemoryWhiteTemp) + "=-2147483648\nRegler\\" +
               hex(fuzz::MemoryPowerLine) + "=2147483647\n");
    memory(t, "wrong_types", 0, 1,
           own + "Format=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5)\nRegler\\" + hex(fuzz::MemoryBrightness) +
               "=abc\nRegler\\" + hex(fuzz::MemoryAutoWhite) + "=\"1, 0\"\nRegler\\" + hex(fuzz::MemoryWhiteTemp) +
               "=4600.5\nRegler\\" + hex(fuzz::MemoryPowerLine) + "=@ByteArray(1)\n");
    memory(t, "menu_out_of_range", 0, 0,
           own + "Regler\\" + hex(fuzz::MemoryExposureMode) + "=2\nRegler\\" + hex(fuzz::MemoryPowerLine) +
               "=7\nRegler\\" + hex(fuzz::MemoryFocusButton) + "=1\nRegler\\" + hex(fuzz::MemoryReadOnly) + "=3\n");
    memory(t, "odd_keys", 0, 0,
           own + "Regler\\00980900=5\nRegler\\00980900 =6\nRegler\\980900=7\nRegler\\0098090C=1\nRegler\\zzzzzzzz=1\n");
    memory(t, "bad_formats", 2, 0,
           "[" + sectionOf(2) + "]\nKennung=" + fuzz::MemoryCameras[2] +
               "\nFormat=YUYV 640x480 1/0\nFormat=YUY 640x480 1/30\n");
    memory(t, "another_cameras_section", 0, 3,
           "[" + sectionOf(0) + "]\nKennung=Eine andere Kamera @usb-9\nFormat=GREY 1x1 0/0\nRegler\\" +
               hex(fuzz::MemoryBrightness) + "=-64\n");
    memory(t, "empty_identity", 0, 0, "[" + sectionOf(0) + "]\nKennung=\nFormat=YUYV 640x480 1/30\n");
    memory(t, "garbage", 1, 4,
           std::string("\xef\xbb\xbf[\x01\x02]\n=\n==\n[[x]]\n\\\\\\\n%General\nKennung\xff\xfe=\x80\n;[", 38) +
               sectionOf(1) + "\n");
    memory(t, "duplicate_sections", 0, 0,
           own + "Format=YUYV 640x480 1/30\n[Fenster]\nBreite=800\n" + own + "Format=MJPG 320x240 1/30\n");
}

// ---- loopback node: flags, buffers, then steps

class Script {
public:
    Script(std::uint8_t flags, std::uint8_t buffers) { w_.put(flags).put(buffers); }

    Script& picture(int width, int height, int tensOfMs = 3)
    {
        op(fuzz::LoopbackOp::Picture)
            .put(static_cast<std::uint16_t>(width - 1))
            .put(static_cast<std::uint16_t>(height - 1))
            .put(static_cast<std::uint8_t>(tensOfMs));
        return *this;
    }
    Script& pictures(int count, int width, int height)
    {
        for (int i = 0; i < count; ++i)
            picture(width, height);
        return *this;
    }
    Script& lieFormat(std::uint8_t fields, std::uint32_t width, std::uint32_t height, std::uint32_t bytesperline,
                      std::uint32_t sizeimage, std::uint32_t pixelformat = V4L2_PIX_FMT_YUYV)
    {
        op(fuzz::LoopbackOp::LieFormat)
            .put(fields)
            .put(width)
            .put(height)
            .put(bytesperline)
            .put(sizeimage)
            .put(pixelformat);
        return *this;
    }
    Script& lie(fuzz::LoopbackOp what, std::uint32_t value)
    {
        op(what).put(value);
        return *this;
    }
    Script& fail(fuzz::LoopbackOp what, int error)
    {
        std::uint8_t index = 0;
        while (fuzz::LoopbackErrors[index] != error)
            ++index;
        op(what).put(index);
        return *this;
    }
    Script& then(fuzz::LoopbackOp what)
    {
        op(what);
        return *this;
    }
    const Bytes& bytes() const { return w_.bytes(); }

private:
    fuzz::SeedWriter& op(fuzz::LoopbackOp what) { return w_.put(static_cast<std::uint8_t>(what)); }

    fuzz::SeedWriter w_;
};

void loopbackSeeds()
{
    using Op = fuzz::LoopbackOp;
    const std::uint8_t lending = fuzz::NodeExclusiveCaps | fuzz::NodeLends;
    const char* t = "loopback";
    write(t, "lent_buffers_64x48", Script(lending, 2).pictures(8, 64, 48).bytes());
    write(t, "written_64x48", Script(fuzz::NodeExclusiveCaps, 2).pictures(4, 64, 48).bytes());
    write(t, "one_buffer_odd_size", Script(lending, 1).pictures(4, 63, 47).bytes());
    write(t, "size_change", Script(lending, 2).pictures(3, 64, 48).pictures(3, 96, 64).pictures(2, 32, 16).bytes());
    write(t, "reader_holds_size",
          Script(lending, 2)
              .pictures(2, 64, 48)
              .then(Op::Reader)
              .pictures(2, 96, 64)
              .picture(96, 64, 250)
              .then(Op::Reader)
              .picture(96, 64, 250)
              .pictures(2, 96, 64)
              .bytes());
    // The node answers the format its own way: padded rows, another size.
    write(t, "format_answer_padded_rows",
          Script(lending, 2).lieFormat(fuzz::LieBytesPerLine, 0, 0, 64 * 2 + 64, 0).pictures(4, 64, 48).bytes());
    write(t, "format_answer_other_size",
          Script(lending, 2)
              .lieFormat(fuzz::LieWidth | fuzz::LieHeight | fuzz::LieSizeImage, 80, 60, 0, 80 * 60 * 2)
              .pictures(4, 64, 48)
              .bytes());
    write(
        t, "format_answer_not_yuyv",
        Script(lending, 2).lieFormat(fuzz::LiePixelFormat, 0, 0, 0, 0, V4L2_PIX_FMT_BGR24).pictures(2, 64, 48).bytes());
    // Buffers: fewer or more than granted, too short, not mappable, and
    // handed back wrongly.
    write(t, "no_buffers_granted", Script(lending, 2).lie(Op::LieBuffers, 0).pictures(3, 64, 48).bytes());
    write(t, "more_buffers_claimed", Script(lending, 2).lie(Op::LieBuffers, 5).pictures(3, 64, 48).bytes());
    write(t, "short_buffer", Script(lending, 2).lie(Op::LieLength, 4096).pictures(3, 64, 48).bytes());
    write(t, "mmap_fails", Script(lending, 2).then(Op::FailMmap).pictures(3, 64, 48).bytes());
    write(t, "dequeued_unknown_buffer",
          Script(lending, 2).pictures(2, 64, 48).lie(Op::LieDequeued, 9).pictures(3, 64, 48).bytes());
    // Failing hand-overs: busy for a moment, or for good.
    write(t, "queue_busy",
          Script(lending, 2).pictures(2, 64, 48).fail(Op::FailQueue, EAGAIN).pictures(3, 64, 48).bytes());
    write(t, "dequeue_busy",
          Script(lending, 2).pictures(2, 64, 48).fail(Op::FailDequeue, EAGAIN).pictures(3, 64, 48).bytes());
    write(t, "queue_fails",
          Script(lending, 2).pictures(2, 64, 48).fail(Op::FailQueue, EIO).pictures(2, 64, 48).bytes());
    write(t, "write_busy_then_fails",
          Script(fuzz::NodeExclusiveCaps, 2)
              .picture(64, 48)
              .fail(Op::FailWrite, EAGAIN)
              .picture(64, 48)
              .fail(Op::FailWrite, ENOSPC)
              .picture(64, 48)
              .bytes());
    // The node goes: the module unloaded mid-stream, then the user tries again.
    write(t, "node_vanishes",
          Script(lending, 2)
              .pictures(3, 64, 48)
              .then(Op::Vanish)
              .pictures(2, 64, 48)
              .then(Op::Restart)
              .picture(64, 48)
              .bytes());
    write(t, "open_refused_then_restart",
          Script(lending | fuzz::NodeOpenFails, 2).picture(64, 48).then(Op::Restart).pictures(3, 64, 48).bytes());
    write(t, "not_exclusive_restarted",
          Script(fuzz::NodeLends, 3).pictures(3, 64, 48).then(Op::Restart).pictures(3, 64, 48).bytes());
}

// One pod, after the byte that picks the pods half of the target.
void pod(const std::string& name, const spa_pod* p)
{
    Bytes bytes{0};
    const auto* raw = reinterpret_cast<const std::uint8_t*>(p);
    bytes.insert(bytes.end(), raw, raw + SPA_POD_SIZE(p));
    write("pipewire", name, bytes);
}

// One frame: format index, width, height, row length, and the bytes.
void pipewireFrame(const std::string& name, std::uint8_t format, std::uint8_t width, std::uint8_t height,
                   std::int16_t stride, const Bytes& bytes)
{
    fuzz::SeedWriter w;
    w.put<std::uint8_t>(1);
    w.put(format);
    w.put<std::uint8_t>(width - 1);
    w.put<std::uint8_t>(height - 1);
    w.put(stride);
    w.put<std::uint8_t>(1); // the frame is of the size agreed
    Bytes out = w.bytes();
    out.insert(out.end(), bytes.begin(), bytes.end());
    write("pipewire", name, out);
}

void pipewireSeeds()
{
    std::uint8_t buffer[4096];
    spa_pod_builder b{};
    auto fresh = [&] { spa_pod_builder_init(&b, buffer, sizeof buffer); };

    // What a V4L2 node lists: one format, one size, a choice of rates.
    fresh();
    spa_rectangle vga{640, 480}, small{16, 16}, big{1920, 1080};
    spa_fraction r30{30, 1}, r15{15, 1}, r5{5, 1};
    pod("enum_yuy2_rates",
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
            SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_Id(SPA_VIDEO_FORMAT_YUY2), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&vga),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_ENUM_Fraction(3, &r30, &r30, &r15))));
    // What a published camera lists: a choice of formats, a size range.
    fresh();
    pod("enum_choices_ranges",
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
            SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_CHOICE_ENUM_Id(4, SPA_VIDEO_FORMAT_I420, SPA_VIDEO_FORMAT_I420, SPA_VIDEO_FORMAT_BGRx,
                                   SPA_VIDEO_FORMAT_NV12),
            SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&vga, &small, &big), SPA_FORMAT_VIDEO_framerate,
            SPA_POD_CHOICE_RANGE_Fraction(&r30, &r5, &r30))));
    fresh();
    pod("enum_mjpeg",
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
            SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_mjpg), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&big),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&r30))));
    // A control as a V4L2 node describes it, and a value for it.
    fresh();
    pod("propinfo_brightness",
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &b, SPA_TYPE_OBJECT_PropInfo, SPA_PARAM_PropInfo, SPA_PROP_INFO_id,
            SPA_POD_Id(SPA_PROP_START_CUSTOM + V4L2_CID_BRIGHTNESS), SPA_PROP_INFO_description,
            SPA_POD_String("Brightness"), SPA_PROP_INFO_type, SPA_POD_CHOICE_STEP_Int(128, 0, 255, 1))));
    fresh();
    pod("props_brightness", static_cast<const spa_pod*>(spa_pod_builder_add_object(
                                &b, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props, SPA_PROP_START_CUSTOM + V4L2_CID_BRIGHTNESS,
                                SPA_POD_Int(200))));

    // Frames, indexes into the fuzzer's list of formats.
    Bytes yuyv(16 * 8 * 2);
    for (std::size_t i = 0; i < yuyv.size(); ++i)
        yuyv[i] = static_cast<std::uint8_t>(i * 7);
    pipewireFrame("frame_yuyv_16x8", 0, 16, 8, 0, yuyv);
    pipewireFrame("frame_yuyv_padded_rows", 0, 12, 8, 32, yuyv);
    pipewireFrame("frame_i420_16x8", 6, 16, 8, 0, Bytes(16 * 8 * 3 / 2, 0x80));
    pipewireFrame("frame_bgrx_8x8", 11, 8, 8, 0, Bytes(8 * 8 * 4, 0x40));
    pipewireFrame("frame_grey_short", 18, 16, 16, 0, Bytes(100, 0x10));
    pipewireFrame("frame_mjpeg_32x32", 19, 32, 32, 0, fuzz::MakeJpeg({32, 32}));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    root = QString::fromLocal8Bit(argv[1]);
    frameSeeds();
    jpegSeeds();
    memorySeeds();
    loopbackSeeds();
    pipewireSeeds();
    return 0;
}
