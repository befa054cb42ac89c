#pragma once
// Which YCbCr matrix and range a V4L2 format's pixels use, from the
// colorspace, ycbcr_enc and quantization fields the device reports; fields
// left at "default" mean what V4L2 defines for the colorspace.

#include <linux/videodev2.h>

namespace pixels {

struct YuvEncoding {
    enum class Matrix { Bt601, Bt709, Bt2020 };
    Matrix matrix = Matrix::Bt601;
    bool fullRange = false;
};

YuvEncoding EncodingOf(const v4l2_pix_format& pix);

} // namespace pixels
