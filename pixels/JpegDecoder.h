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
    // A failed call can leave the handle reading markers where it stopped,
    // so that the next good picture would fail too: each failure starts
    // afresh.
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
