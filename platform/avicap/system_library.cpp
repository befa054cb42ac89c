#include "platform/avicap/system_library.h"

#include "platform/avicap/DriverCatalog.h"
#include "platform/avicap/V4l2System.h"

namespace avicap {

Library& SystemLibrary()
{
    // The test camera's noise is the same in every run.
    static CatalogLibrary library(DriverCatalog(LinuxV4l2System(), 1));
    return library;
}

} // namespace avicap
