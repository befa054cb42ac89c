#include "pixels/YuvEncoding.h"

namespace pixels {

YuvEncoding EncodingOf(const v4l2_pix_format& pix)
{
    // Kept as the plain number the device answered: a camera may name a
    // colour space this kernel header does not know, and such a value held
    // in the enum type would be undefined.
    const unsigned colorspace = pix.colorspace;
    unsigned enc = pix.ycbcr_enc;
    if (enc == V4L2_YCBCR_ENC_DEFAULT)
        enc = V4L2_MAP_YCBCR_ENC_DEFAULT(colorspace);
    unsigned quantization = pix.quantization;
    if (quantization == V4L2_QUANTIZATION_DEFAULT)
        quantization = V4L2_MAP_QUANTIZATION_DEFAULT(false, colorspace, enc);

    YuvEncoding e;
    switch (enc) {
    case V4L2_YCBCR_ENC_709:
    case V4L2_YCBCR_ENC_XV709:
    case V4L2_YCBCR_ENC_SMPTE240M: // nearly BT.709; no camera is known to send it
        e.matrix = YuvEncoding::Matrix::Bt709;
        break;
    case V4L2_YCBCR_ENC_BT2020:
    case V4L2_YCBCR_ENC_BT2020_CONST_LUM:
        e.matrix = YuvEncoding::Matrix::Bt2020;
        break;
    default:
        e.matrix = YuvEncoding::Matrix::Bt601;
    }
    e.fullRange = quantization == V4L2_QUANTIZATION_FULL_RANGE;
    return e;
}

} // namespace pixels
