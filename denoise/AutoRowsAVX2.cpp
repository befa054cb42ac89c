#include "denoise/AutoRows.h"

namespace denoise::autorows {

namespace {
#include "denoise/AutoRowsImpl.h"
} // namespace

const Kernels kAVX2 = AUTOROWS_KERNELS;

} // namespace denoise::autorows
