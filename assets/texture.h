#pragma once
// One GL texture object, held by value by whoever draws with it. Never copied while
// live: copying would share the GL name without any reference counting.
#include <GL/gl.h>

#include "assets/image.h"

class Texture {
public:
    Texture() = default;
    ~Texture() { release(); }
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    Texture(Texture&& other) noexcept : id(other.id), target(other.target) { other.id = 0; other.target = 0; }

    void release();
    void bind() const;
    // Switches off every texture target (untextured drawing).
    static void disableTargets();

    bool build2DMipmaps(int width, int height, GLenum format, GLenum type, const void* data, int pixelStride,
                        int rowStride);
    bool build1DMipmaps(int width, GLenum format, GLenum type, const void* data, int pixelStride);
    bool load(const char* path);
    bool load2DWithAlpha(const char* colourPath, const char* alphaPath);
    bool loadCubeMap(const char* const paths[6]);
    bool initCubeMap();
    bool uploadCubeFace(GLenum faceTarget, int width, int height, GLenum format, GLenum type, const void* data,
                        int pixelStride, int rowStride);
    bool updateCubeFace(GLenum faceTarget, int width, int height, GLenum format, GLenum type, const void* data,
                        int pixelStride, int rowStride);
    void setWrap(GLenum s, GLenum t);
    void setFilters(GLenum mag, GLenum min);

    // Chooses the reader by the text after the last "." ("ppm", any case, or BMP).
    static Image* loadImage(const char* path);

    bool empty() const { return id == 0; }

    // Bytes of one tightly packed pixel: bits per component * components / 8 (0 for a
    // format or type the builders do not know).
    static int packedPixelSize(GLenum format, GLenum type);
    // The alpha load2DWithAlpha takes from a pixel of the alpha picture: its brightness.
    static unsigned char alphaWeight(unsigned char r, unsigned char g, unsigned char b);

    GLuint id = 0;
    GLenum target = 0;
};
