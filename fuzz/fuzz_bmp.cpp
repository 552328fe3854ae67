// Bitmap reader over arbitrary bytes: any fault, leak or out-of-bounds read is a finding.
#include <cstddef>
#include <cstdint>

#include "assets/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Image* image = decodeBmp(data, size);
    if (image) {
        // Touch every pixel so a short buffer would show.
        volatile unsigned sum = 0;
        for (long long i = 0; i < 3LL * image->width * image->height; i += 61) sum = sum + image->data[i];
        sum = sum + image->data[3LL * image->width * image->height - 1];
    }
    freeImage(image);
    return 0;
}
