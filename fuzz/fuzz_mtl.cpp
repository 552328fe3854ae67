// Any bytes as an MTL file, straight from memory (no terminator); map_Kd pictures are
// only decoded, never built into textures.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "assets/objfile.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::freopen("/dev/null", "w", stdout);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ObjFile obj;
    obj.loadMaterialsFromMemory(reinterpret_cast<const char*>(data), size);
    return 0;
}
