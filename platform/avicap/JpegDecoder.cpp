#include "platform/avicap/JpegDecoder.h"

#include <turbojpeg.h>

#include <climits>

namespace avicap {

void JpegDecoder::Release::operator()(void* handle) const
{
    tjDestroy(handle);
}

JpegDecoder::JpegDecoder() : handle_(tjInitDecompress()) {}

bool JpegDecoder::decode(const std::uint8_t* jpeg, std::size_t size, int width, int height, std::uint8_t* bgr,
                         std::size_t stride)
{
    if (!handle_ || size == 0 || size > ULONG_MAX || stride > INT_MAX)
        return false;
    int w = 0, h = 0, subsampling = 0, colourspace = 0;
    bool ok = tjDecompressHeader3(handle_.get(), jpeg, static_cast<unsigned long>(size), &w, &h, &subsampling,
                                  &colourspace) == 0 &&
              w == width && h == height &&
              // A warning means damaged data (a cut-off frame is filled with
              // grey): such a frame is dropped rather than shown.
              tjDecompress2(handle_.get(), jpeg, static_cast<unsigned long>(size), bgr, width,
                            static_cast<int>(stride), height, TJPF_BGR, TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING) == 0;
    // A header that failed half-read leaves the handle reading markers
    // where it stopped, so the next good frame would fail too: start afresh.
    if (!ok)
        handle_.reset(tjInitDecompress());
    return ok;
}

} // namespace avicap
