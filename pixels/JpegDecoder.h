#pragma once
// The one JPEG decoder, on TurboJPEG: camera frames (MJPEG) straight into
// the frame's bottom-up BGR rows, and whole pictures (the about dialog's)
// into a QImage. Damaged or truncated data never crashes and never yields
// half a picture.

#include <QByteArray>
#include <QImage>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pixels {

class JpegDecoder {
public:
    JpegDecoder();
    explicit operator bool() const { return handle_ != nullptr; }

    // Decodes one JPEG that must be exactly width x height; false (and
    // `bgr` in an undefined state) when it is damaged or of another size.
    bool decode(const std::uint8_t* jpeg, std::size_t size, int width, int height, std::uint8_t* bgr,
                std::size_t stride);

    // Decodes a whole picture of any size up to MaxPixels into RGB888; a
    // null image when the data is not a complete, undamaged JPEG.
    QImage decode(const QByteArray& data);

    // Pictures above this many pixels are refused rather than allocated.
    static constexpr long long MaxPixels = 8192LL * 8192LL;

private:
    struct Release {
        void operator()(void* handle) const;
    };
    // A handle keeps what a picture left in it: after a failure it may
    // still be reading markers where it stopped, and after any picture it
    // keeps the picture's Huffman and quantisation tables, which a later
    // picture without tables of its own (an MJPEG camera's frame, which
    // relies on the standard Huffman tables) would be decoded with. So
    // every picture gets a fresh handle; making one costs well under a
    // microsecond.
    void restart();

    std::unique_ptr<void, Release> handle_;
};

// What a JPEG file's frame header says.
struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0; // colour components in the file
    bool progressive = false;
};

// False when the data holds no frame header.
bool ReadJpegInfo(const QByteArray& data, JpegInfo& info);

// A picture from a JPEG file: RGB888, or a null image when the data is
// damaged, truncated or too large to hold. `info`, when given, receives
// what the header says even if decoding fails afterwards.
QImage DecodeJpeg(const QByteArray& data, JpegInfo* info = nullptr);

} // namespace pixels
