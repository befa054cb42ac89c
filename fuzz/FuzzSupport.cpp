#include "fuzz/FuzzInput.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz {

void Fail(const char* what)
{
    std::fprintf(stderr, "\n==fuzz check failed== %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzz
