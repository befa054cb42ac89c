#include "widgets/JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

// Pictures above this many pixels are refused rather than allocated.
constexpr long long kMaxPixels = 8192LL * 8192LL;

struct ErrorManager {
    jpeg_error_mgr pub; // first: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    bool damaged;
};

ErrorManager& Manager(j_common_ptr cinfo)
{
    return *reinterpret_cast<ErrorManager*>(cinfo->err);
}

extern "C" void OnFatalError(j_common_ptr cinfo)
{
    std::longjmp(Manager(cinfo).jump, 1);
}

// Level -1 is a warning about corrupt data (libjpeg then makes something
// up); such a picture is treated as damaged. Higher levels are trace output.
extern "C" void OnMessage(j_common_ptr cinfo, int level)
{
    if (level < 0)
        Manager(cinfo).damaged = true;
}

extern "C" void OnOutput(j_common_ptr) {}

// Everything that can jump back here is in this function; no C++ object
// with a destructor lives in it across a libjpeg call.
bool Decode(jpeg_decompress_struct& cinfo, ErrorManager& err, const QByteArray& data, QImage& image, JpegInfo& info)
{
    if (setjmp(err.jump))
        return false;
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
        return false;
    info.width = static_cast<int>(cinfo.image_width);
    info.height = static_cast<int>(cinfo.image_height);
    info.components = cinfo.num_components;
    info.progressive = jpeg_has_multiple_scans(&cinfo);
    if (static_cast<long long>(cinfo.image_width) * cinfo.image_height > kMaxPixels)
        return false;

    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3)
        return false;
    image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                   QImage::Format_RGB888);
    if (image.isNull())
        return false;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image.scanLine(static_cast<int>(cinfo.output_scanline));
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(&cinfo);
    return !err.damaged;
}

} // namespace

QImage DecodeJpeg(const QByteArray& data, JpegInfo* info)
{
    jpeg_decompress_struct cinfo{};
    ErrorManager err{};
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnFatalError;
    err.pub.emit_message = OnMessage;
    err.pub.output_message = OnOutput;

    QImage image;
    JpegInfo header;
    const bool ok = Decode(cinfo, err, data, image, header);
    jpeg_destroy_decompress(&cinfo);
    if (info)
        *info = header;
    return ok ? image : QImage();
}
