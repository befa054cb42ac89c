#include "platform/avicap/SystemLibrary.h"

#include "camera/v4l2/V4l2System.h"
#include "platform/avicap/DriverCatalog.h"

namespace avicap {

Library& SystemLibrary()
{
    // The test camera's noise is the same in every run.
    static CatalogLibrary library(DriverCatalog(camera::LinuxV4l2System(), 1));
    return library;
}

} // namespace avicap
