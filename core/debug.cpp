#include "core/debug.h"

#include <cstdio>
#include <cstdlib>

namespace tv {
void assertFailed(const char* expr, const char* file, int line)
{
    std::fflush(stdout);
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", expr, file, line);
    std::abort();
}
}  // namespace tv
