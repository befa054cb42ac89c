#include "bench/quality/ClipFiles.h"

#include "bench/quality/Arguments.h"

#include "pixels/YuvConverter.h"
#include "pixels/YuvEncoding.h"
#include "pixels/YuyvKernels.h"

#include <libyuv/convert_argb.h>
#include <linux/videodev2.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace quality {

namespace {

// Large enough for any camera; small enough that a frame's byte count fits
// every int the converters take.
constexpr int maxSide = 16384;

std::vector<std::uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error(path + ": Datei lässt sich nicht öffnen");
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw Error(path + ": Datei lässt sich nicht lesen");
    return bytes;
}

Clip readRaw(const std::string& path, const std::vector<std::uint8_t>& bytes, std::optional<Size> size)
{
    if (!size)
        throw Error(path + ": keine Y4M-Datei; für rohe BGR-Bilder ist --size BxH nötig");
    Clip clip{*size, {}};
    const std::size_t frame = clip.frameBytes();
    if (bytes.empty())
        throw Error(path + ": Datei ist leer");
    if (bytes.size() % frame != 0)
        throw Error(path + ": Länge " + std::to_string(bytes.size()) + " Bytes ist kein Vielfaches eines Bildes von " +
                    SizeText(*size) + " (" + std::to_string(frame) + " Bytes)");
    for (std::size_t at = 0; at < bytes.size(); at += frame)
        clip.frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(at + frame));
    return clip;
}

enum class Chroma { C420, C444 };

struct Y4mHeader {
    Size size;
    Chroma chroma = Chroma::C420;
    bool fullRange = false;
    std::size_t length = 0; // bytes up to and including the newline
};

Y4mHeader parseY4mHeader(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    const auto* text = reinterpret_cast<const char*>(bytes.data());
    const std::size_t limit = std::min<std::size_t>(bytes.size(), 4096);
    const auto* newline = static_cast<const char*>(std::memchr(text, '\n', limit));
    if (newline == nullptr)
        throw Error(path + ": Y4M-Kopfzeile endet nicht");
    Y4mHeader h;
    h.length = static_cast<std::size_t>(newline - text) + 1;
    std::istringstream fields(std::string(text, newline));
    std::string field;
    fields >> field; // the signature, checked by the caller
    bool haveWidth = false, haveHeight = false;
    while (fields >> field) {
        const std::string_view value = std::string_view(field).substr(1);
        switch (field[0]) {
        case 'W':
            haveWidth = ParseWhole(value, h.size.width);
            break;
        case 'H':
            haveHeight = ParseWhole(value, h.size.height);
            break;
        case 'C':
            if (value == "420jpeg" || value == "420mpeg2" || value == "420paldv" || value == "420")
                h.chroma = Chroma::C420;
            else if (value == "444")
                h.chroma = Chroma::C444;
            else
                throw Error(path + ": Y4M-Farbformat C" + std::string(value) +
                            " wird nicht unterstützt (nur 8 Bit 4:2:0 und 4:4:4)");
            break;
        case 'X':
            if (value == "COLORRANGE=FULL")
                h.fullRange = true;
            break;
        default: // frame rate, interlacing, aspect: no bearing on the pixels
            break;
        }
    }
    if (!haveWidth || !haveHeight || h.size.width <= 0 || h.size.height <= 0 || h.size.width > maxSide ||
        h.size.height > maxSide)
        throw Error(path + ": Y4M-Kopfzeile ohne gültige Breite und Höhe");
    return h;
}

// One frame of planes (Y, then Cb and Cr at full or half size) into top-down BGR.
class PlaneConverter {
public:
    PlaneConverter(const Y4mHeader& h) : header_(h)
    {
        pixels::YuvEncoding encoding;
        encoding.fullRange = h.fullRange;
        matrix_ = pixels::MatrixFor(encoding);
        if (h.chroma == Chroma::C420) {
            v4l2_pix_format pix{};
            pix.width = static_cast<std::uint32_t>(h.size.width);
            pix.height = static_cast<std::uint32_t>(h.size.height);
            pix.pixelformat = V4L2_PIX_FMT_YUV420;
            pix.bytesperline = pix.width;
            pix.colorspace = V4L2_COLORSPACE_SMPTE170M;
            pix.ycbcr_enc = V4L2_YCBCR_ENC_601;
            pix.quantization = h.fullRange ? V4L2_QUANTIZATION_FULL_RANGE : V4L2_QUANTIZATION_LIM_RANGE;
            camera_.setSource(pix);
            bottomUp_.resize(static_cast<std::size_t>(h.size.width) * h.size.height * 3);
            bytes_ = camera_.frameBytes();
        } else {
            bytes_ = static_cast<std::size_t>(h.size.width) * h.size.height * 3;
        }
    }

    std::size_t frameBytes() const { return bytes_; }

    void convert(const std::uint8_t* planes, std::uint8_t* bgr)
    {
        const int w = header_.size.width, h = header_.size.height;
        const std::size_t row = static_cast<std::size_t>(w) * 3;
        if (header_.chroma == Chroma::C420) {
            // The camera path writes bottom-up rows; turned over here.
            camera_.convert(planes, bottomUp_.data(), row);
            for (int y = 0; y < h; ++y)
                std::memcpy(bgr + static_cast<std::size_t>(y) * row,
                            bottomUp_.data() + static_cast<std::size_t>(h - 1 - y) * row, row);
            return;
        }
        const std::size_t plane = static_cast<std::size_t>(w) * h;
        libyuv::I444ToRGB24Matrix(planes, w, planes + plane, w, planes + 2 * plane, w, bgr, static_cast<int>(row),
                                  matrix_, w, h);
    }

private:
    Y4mHeader header_;
    const pixels::YuvConstants* matrix_ = nullptr;
    pixels::YuvConverter camera_;
    std::vector<std::uint8_t> bottomUp_;
    std::size_t bytes_ = 0;
};

Clip readY4m(const std::string& path, const std::vector<std::uint8_t>& bytes, std::optional<Size> size)
{
    const Y4mHeader header = parseY4mHeader(path, bytes);
    if (size && !(*size == header.size))
        throw Error(path + ": --size " + SizeText(*size) + " passt nicht zur Y4M-Datei (" + SizeText(header.size) + ")");
    Clip clip{header.size, {}};
    PlaneConverter converter(header);
    std::size_t at = header.length;
    while (at < bytes.size()) {
        const auto* text = reinterpret_cast<const char*>(bytes.data() + at);
        const std::size_t left = bytes.size() - at;
        const auto* newline = static_cast<const char*>(std::memchr(text, '\n', std::min<std::size_t>(left, 1024)));
        if (left < 5 || std::memcmp(text, "FRAME", 5) != 0 || newline == nullptr)
            throw Error(path + ": Y4M-Bild " + std::to_string(clip.frames.size() + 1) + " beginnt nicht mit FRAME");
        at += static_cast<std::size_t>(newline - text) + 1;
        if (bytes.size() - at < converter.frameBytes())
            throw Error(path + ": Y4M-Bild " + std::to_string(clip.frames.size() + 1) + " ist unvollständig");
        std::vector<std::uint8_t> frame(clip.frameBytes());
        converter.convert(bytes.data() + at, frame.data());
        clip.frames.push_back(std::move(frame));
        at += converter.frameBytes();
    }
    if (clip.frames.empty())
        throw Error(path + ": Y4M-Datei ohne Bilder");
    return clip;
}

} // namespace

Size ParseSize(const std::string& text)
{
    const std::size_t x = text.find_first_of("xX");
    Size s;
    if (x == std::string::npos || !ParseWhole(std::string_view(text).substr(0, x), s.width) ||
        !ParseWhole(std::string_view(text).substr(x + 1), s.height) || s.width <= 0 || s.height <= 0 ||
        s.width > maxSide || s.height > maxSide)
        throw Error("Ungültige Größe „" + text + "“ (erwartet BxH, etwa 640x360)");
    return s;
}

std::string SizeText(Size size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

Clip ReadClip(const std::string& path, std::optional<Size> size)
{
    const std::vector<std::uint8_t> bytes = readFile(path);
    static constexpr char signature[] = "YUV4MPEG2 ";
    if (bytes.size() >= sizeof signature - 1 && std::memcmp(bytes.data(), signature, sizeof signature - 1) == 0)
        return readY4m(path, bytes, size);
    return readRaw(path, bytes, size);
}

Y4mWriter::Y4mWriter(const std::string& path, Size size)
    : path_(path), size_(size), file_(std::fopen(path.c_str(), "wb")),
      planes_(static_cast<std::size_t>(size.width) * size.height * 3)
{
    if (!file_)
        throw Error(path + ": Datei lässt sich nicht anlegen");
    std::fprintf(file_.get(), "YUV4MPEG2 W%d H%d F30:1 Ip A1:1 C444 XCOLORRANGE=LIMITED\n", size.width, size.height);
}

void Y4mWriter::write(const std::uint8_t* bgr)
{
    using namespace pixels;
    const std::size_t plane = static_cast<std::size_t>(size_.width) * size_.height;
    std::uint8_t* y = planes_.data();
    std::uint8_t* cb = y + plane;
    std::uint8_t* cr = cb + plane;
    // The colour weights are for the sum of a pixel pair; one pixel counts twice.
    for (std::size_t i = 0; i < plane; ++i, bgr += 3) {
        const int b = bgr[0], g = bgr[1], r = bgr[2];
        y[i] = static_cast<std::uint8_t>((YR * r + YG * g + YB * b + YOffset) >> 15);
        cb[i] = static_cast<std::uint8_t>((2 * (UR * r + UG * g + UB * b) + COffset) >> 15);
        cr[i] = static_cast<std::uint8_t>((2 * (VR * r + VG * g + VB * b) + COffset) >> 15);
    }
    std::fputs("FRAME\n", file_.get());
    std::fwrite(planes_.data(), 1, planes_.size(), file_.get());
}

void Y4mWriter::close()
{
    if (!file_)
        return;
    const bool ok = std::ferror(file_.get()) == 0 && std::fclose(file_.release()) == 0;
    if (!ok)
        throw Error(path_ + ": Schreiben fehlgeschlagen");
}

void WriteY4m444(const std::string& path, const Clip& clip)
{
    Y4mWriter writer(path, clip.size);
    for (const auto& frame : clip.frames)
        writer.write(frame.data());
    writer.close();
}

RawWriter::RawWriter(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb"))
{
    if (!file_)
        throw Error(path + ": Datei lässt sich nicht anlegen");
}

void RawWriter::write(const std::uint8_t* bgr, std::size_t bytes)
{
    std::fwrite(bgr, 1, bytes, file_.get());
}

void RawWriter::close()
{
    if (!file_)
        return;
    const bool ok = std::ferror(file_.get()) == 0 && std::fclose(file_.release()) == 0;
    if (!ok)
        throw Error(path_ + ": Schreiben fehlgeschlagen");
}

} // namespace quality
