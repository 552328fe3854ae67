#pragma once
// An offscreen GL context for draw tests: EGL on Mesa's surfaceless platform, drawing
// into a framebuffer object of the requested size. No display server is involved.
#include <GL/gl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

class GlContext {
public:
    // Creates (once per process) the context and makes a width × height colour, depth
    // and stencil framebuffer current. Returns false with a message when no context can
    // be had.
    static bool make(int width, int height, std::string* error = nullptr);

    // RGBA bytes of the current framebuffer, rows bottom-up.
    static std::vector<uint8_t> readPixels(int width, int height);
};

struct Rgb {
    int r, g, b;
};

// Gives each draw test a current context of 256 × 256 (or its own size) with the fixed
// GL state of the program's start-up and the extensions probed.
class GlTest : public ::testing::Test {
protected:
    virtual int width() const { return 256; }
    virtual int height() const { return 256; }
    void SetUp() override;
    Rgb pixel(int x, int y);
    std::vector<uint8_t> pixels;  // filled by grab()
    void grab();
};

// A draw test looking straight down −z at world x, y in −4..4 across the framebuffer,
// for bodies and instances drawn where they stand.
class GlWorldTest : public GlTest {
protected:
    void SetUp() override;
    static int px(float world) { return static_cast<int>((world + 4) / 8 * 256); }
    // Whether anything was drawn at the world point (x, y).
    bool lit(float x, float y)
    {
        Rgb c = pixel(px(x), px(y));
        return c.r + c.g + c.b > 0;
    }
};
