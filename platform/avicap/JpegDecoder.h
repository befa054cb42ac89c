#pragma once
// MJPEG and JPEG frames into bottom-up 24-bit BGR rows with TurboJPEG,
// straight into the frame's own buffer.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace avicap {

class JpegDecoder {
public:
    JpegDecoder();
    explicit operator bool() const { return handle_ != nullptr; }

    // Decodes one JPEG that must be exactly width x height; false (and
    // `bgr` in an undefined state) when it is damaged or of another size.
    bool decode(const std::uint8_t* jpeg, std::size_t size, int width, int height, std::uint8_t* bgr,
                std::size_t stride);

private:
    struct Release {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, Release> handle_;
};

} // namespace avicap
