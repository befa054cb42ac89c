#include "pixels/JpegDecoder.h"

#include <turbojpeg.h>

#include <climits>

namespace pixels {

void JpegDecoder::Release::operator()(void* handle) const
{
    tjDestroy(handle);
}

JpegDecoder::JpegDecoder() : handle_(tjInitDecompress()) {}

void JpegDecoder::restart()
{
    handle_.reset(tjInitDecompress());
}

bool JpegDecoder::decode(const std::uint8_t* jpeg, std::size_t size, int width, int height, std::uint8_t* bgr,
                         std::size_t stride)
{
    if (!handle_)
        restart(); // making the last one failed; perhaps this one works
    if (!handle_ || size == 0 || size > ULONG_MAX || stride > INT_MAX)
        return false;
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    const bool ok = tjDecompressHeader3(handle_.get(), jpeg, static_cast<unsigned long>(size), &w, &h, &subsampling,
                                        &colourspace) == 0 &&
                    w == width && h == height &&
                    // A warning means damaged data (a cut-off frame is filled
                    // with grey): such a frame is dropped rather than shown.
                    tjDecompress2(handle_.get(), jpeg, static_cast<unsigned long>(size), bgr, width,
                                  static_cast<int>(stride), height, TJPF_BGR,
                                  TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING) == 0;
    restart();
    return ok;
}

QImage JpegDecoder::decode(const QByteArray& data)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const auto size = static_cast<unsigned long>(data.size());
    int width = 0, height = 0, subsampling = 0, colourspace = 0;
    // Whatever happens below, the next picture starts afresh.
    struct Restart {
        JpegDecoder& decoder;
        ~Restart() { decoder.restart(); }
    } afterwards{*this};
    if (!handle_ || data.isEmpty() ||
        tjDecompressHeader3(handle_.get(), bytes, size, &width, &height, &subsampling, &colourspace) != 0)
        return {};
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > MaxPixels)
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return {};
    if (tjDecompress2(handle_.get(), bytes, size, image.bits(), width, static_cast<int>(image.bytesPerLine()), height,
                      TJPF_RGB, TJFLAG_STOPONWARNING) != 0)
        return {};
    return image;
}

bool ReadJpegInfo(const QByteArray& data, JpegInfo& info)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return false;
    // Walk the marker segments up to the first frame header (SOFn).
    qsizetype at = 2;
    while (at + 4 <= n) {
        if (p[at] != 0xFF)
            return false;
        const unsigned char marker = p[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const qsizetype length = (p[at + 2] << 8) | p[at + 3];
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 8 || at + 2 + 8 > n)
                return false;
            const unsigned char* sof = p + at + 4;
            info.height = (sof[1] << 8) | sof[2];
            info.width = (sof[3] << 8) | sof[4];
            info.components = sof[5];
            // SOF2, SOF6, SOF10 and SOF14 are the progressive kinds.
            info.progressive = (marker & 0x03) == 0x02;
            return true;
        }
        if (marker == 0xD9 || marker == 0xDA) // end of image, or scan data before any frame header
            return false;
        at += 2 + length;
    }
    return false;
}

QImage DecodeJpeg(const QByteArray& data, JpegInfo* info)
{
    JpegInfo header;
    const bool known = ReadJpegInfo(data, header);
    if (info)
        *info = header;
    if (!known)
        return {};
    JpegDecoder decoder;
    return decoder.decode(data);
}

} // namespace pixels
