// Plain-text picture reader over arbitrary bytes, through an in-memory stream.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "assets/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!file) return 0;
    Image* image = readPpm(file);
    std::fclose(file);
    if (image) {
        volatile unsigned char last = image->data[3LL * image->width * image->height - 1];
        (void)last;
    }
    freeImage(image);
    return 0;
}
