// Any bytes as an OBJ file, with edges, straight from memory (no terminator). MTL
// libraries the bytes name are read relative to the working directory, so run it from
// a scratch folder; textures are only decoded, never built.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "assets/objfile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The reader's progress and diagnostics would drown the fuzzer's own output.
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ObjFile obj;
    obj.loadFromMemory(reinterpret_cast<const char*>(data), size, size < 20000, "fuzz.obj");
    return 0;
}
