#pragma once
// Frame capture: while recording, every displayed frame is read back and written as a
// numbered 24-bit BMP file (dumper00000.bmp, dumper00001.bmp, ...) in the working folder.
#include <cstdint>

class Dumper {
public:
    ~Dumper() { release(); }

    bool init() { return true; }
    void resize(int x, int y, int width, int height);
    void dump();
    void release();

    // Bytes per row: three per pixel, padded to a multiple of four.
    static int stride(int width) { return (width * 3 + 3) & ~3; }
    static bool writeBmp(const char* path, const uint8_t* pixels, int width, int height);

    int x = -1, y = -1;
    int width = -1, height = -1;
    uint8_t* buffer = nullptr;
    int frameCounter = 0;
    // Read before the swap, from the back buffer (the front buffer reads black with Mesa's
    // software path). Offscreen tests point this at their own colour attachment.
    unsigned readBuffer = 0x0405;  // GL_BACK
};
