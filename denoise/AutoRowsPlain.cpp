#include "denoise/AutoRows.h"

namespace denoise::autorows {

namespace {
#include "denoise/AutoRowsImpl.h"
} // namespace

const Kernels kPlain = AUTOROWS_KERNELS;

} // namespace denoise::autorows
