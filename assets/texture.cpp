// Texture objects: mipmapped 1-D and 2-D textures and cube maps built from memory or
// from picture files.
#include "assets/texture.h"

#include <GL/glu.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/glext.h"
#include "core/problems.h"

namespace {

int bitsPerComponent(GLenum type)
{
    switch (type) {
    case GL_BYTE:
    case GL_UNSIGNED_BYTE: return 8;
    case GL_SHORT:
    case GL_UNSIGNED_SHORT: return 16;
    case GL_INT:
    case GL_UNSIGNED_INT:
    case GL_FLOAT: return 32;
    case GL_BITMAP: return 1;
    default: return 0;
    }
}

int componentCount(GLenum format)
{
    switch (format) {
    case GL_COLOR_INDEX:
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_ALPHA:
    case GL_LUMINANCE: return 1;
    case GL_LUMINANCE_ALPHA: return 2;
    case GL_RGB: return 3;
    case GL_RGBA: return 4;
    default: return 0;
    }
}

// Repacks strided pixels into a tight buffer (rows of width * packed size, no gaps) when
// the caller's layout is not already tight. Returns the data to upload; *copy is the
// buffer to free afterwards (null when none was made). When the buffer cannot be had the
// caller's data is used as it is.
const void* tightCopy(int width, int height, GLenum format, GLenum type, const void* data, int pixelStride,
                      int rowStride, unsigned char** copy, const char* failMessage)
{
    *copy = nullptr;
    int p = Texture::packedPixelSize(format, type);
    if (pixelStride < p) pixelStride = p;
    if (rowStride < width * p) rowStride = width * p;
    if (pixelStride == p && rowStride == width * p) return data;
    if (!data || width <= 0 || height <= 0) return data;
    std::printf("allocating texture copy buffer...\n");
    unsigned char* buffer = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(width) * p * height));
    if (!buffer) {
        std::printf("%s", failMessage);
        return data;
    }
    const unsigned char* src = static_cast<const unsigned char*>(data);
    unsigned char* dst = buffer;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, dst += p)
            std::memcpy(dst, src + static_cast<size_t>(y) * rowStride + static_cast<size_t>(x) * pixelStride, p);
    *copy = buffer;
    return buffer;
}

const char* const kCopyFailed2D = "Texture::build2DMipmaps failed to allocate temporary buffer\n";
const char* const kCopyFailed1D = "Texture::build1DMipmaps failed to allocate temporary buffer\n";

// Tightly packed rows need byte alignment whatever the program's unpack state is.
struct TightUnpack {
    TightUnpack()
    {
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    }
    ~TightUnpack() { glPopClientAttrib(); }
};

}  // namespace

int Texture::packedPixelSize(GLenum format, GLenum type) { return bitsPerComponent(type) * componentCount(format) / 8; }

void Texture::release()
{
    if (id) glDeleteTextures(1, &id);
    id = 0;
    target = 0;
}

void Texture::disableTargets()
{
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    if (glExt.cubeMap) glDisable(GL_TEXTURE_CUBE_MAP);
}

void Texture::bind() const
{
    disableTargets();
    if (!id) return;
    glEnable(target);
    glBindTexture(target, id);
}

bool Texture::build2DMipmaps(int width, int height, GLenum format, GLenum type, const void* data, int pixelStride,
                             int rowStride)
{
    release();
    // Nothing to build from: the mipmap builder would read through a null pointer.
    if (!data || width <= 0 || height <= 0) {
        std::printf("Texture::build2DMipmaps() - no picture to build from\n");
        return false;
    }
    glGenTextures(1, &id);
    target = GL_TEXTURE_2D;
    bind();
    unsigned char* copy;
    const void* pixels = tightCopy(width, height, format, type, data, pixelStride, rowStride, &copy, kCopyFailed2D);
    GLint result;
    {
        TightUnpack unpack;
        result = gluBuild2DMipmaps(GL_TEXTURE_2D, componentCount(format), width, height, format, type, pixels);
    }
    std::free(copy);
    if (result != 0) {  // a layout the GL refuses leaves no picture: say so instead of true
        std::printf("Texture::build2DMipmaps() - %s\n", reinterpret_cast<const char*>(gluErrorString(result)));
        release();
        return false;
    }
    setWrap(GL_REPEAT, GL_REPEAT);
    setFilters(GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
    return true;
}

bool Texture::build1DMipmaps(int width, GLenum format, GLenum type, const void* data, int pixelStride)
{
    release();
    if (!data || width <= 0) {
        std::printf("Texture::build1DMipmaps() - no picture to build from\n");
        return false;
    }
    unsigned char* copy;
    const void* pixels = tightCopy(width, 1, format, type, data, pixelStride, 0, &copy, kCopyFailed1D);
    glGenTextures(1, &id);
    target = GL_TEXTURE_1D;
    bind();
    GLint result;
    {
        TightUnpack unpack;
        result = gluBuild1DMipmaps(GL_TEXTURE_1D, componentCount(format), width, format, type, pixels);
    }
    std::free(copy);
    if (result != 0) {
        std::printf("Texture::build1DMipmaps() - %s\n", reinterpret_cast<const char*>(gluErrorString(result)));
        release();
        return false;
    }
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    setFilters(GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
    return true;
}

Image* Texture::loadImage(const char* path)
{
    if (!path) return nullptr;
    const char* dot = std::strrchr(path, '.');
    const char* ext = dot ? dot + 1 : path;
    bool ppm = std::strlen(ext) == 3 && std::tolower(static_cast<unsigned char>(ext[0])) == 'p' &&
               std::tolower(static_cast<unsigned char>(ext[1])) == 'p' &&
               std::tolower(static_cast<unsigned char>(ext[2])) == 'm';
    Image* image = ppm ? loadPpmImage(path) : loadBmpImage(path);
    if (image && !image->data) {
        freeImage(image);
        image = nullptr;
    }
    return image;
}

bool Texture::load(const char* path)
{
    Image* image = loadImage(path);
    if (!image) return false;
    bool built = build2DMipmaps(image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE, image->data, 3, image->width * 3);
    freeImage(image);
    return built;
}

bool Texture::load2DWithAlpha(const char* colourPath, const char* alphaPath)
{
    Image* colour = loadImage(colourPath);
    if (!colour) {
        tv::problem("Texture::load2DWithAlpha() - failed to load colormap %s\n", colourPath);
        return false;
    }
    Image* alpha = loadImage(alphaPath);
    if (!alpha) {
        tv::problem("Texture::load2DWithAlpha() - failed to load alphamap %s\n", alphaPath);
        freeImage(colour);
        return false;
    }
    if (colour->width != alpha->width || colour->height != alpha->height) {
        std::printf("Texture::load2DWithAlpha() - failed - misaligned texture sizes\n");
        freeImage(colour);
        freeImage(alpha);
        return false;
    }
    size_t count = static_cast<size_t>(colour->width) * colour->height;
    unsigned char* rgba = static_cast<unsigned char*>(std::malloc(count * 4));
    if (!rgba) {
        std::printf("Texture::load2DWithAlpha() - failed allocate rgba data\n");
        freeImage(colour);
        freeImage(alpha);
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        const unsigned char* c = colour->data + i * 3;
        const unsigned char* a = alpha->data + i * 3;
        rgba[i * 4 + 0] = c[0];
        rgba[i * 4 + 1] = c[1];
        rgba[i * 4 + 2] = c[2];
        rgba[i * 4 + 3] = alphaWeight(a[0], a[1], a[2]);
    }
    bool built = build2DMipmaps(colour->width, colour->height, GL_RGBA, GL_UNSIGNED_BYTE, rgba, 0, 0);
    std::free(rgba);
    freeImage(colour);
    freeImage(alpha);
    return built;
}

unsigned char Texture::alphaWeight(unsigned char r, unsigned char g, unsigned char b)
{
    // Luminance weights as single-precision constants, summed wider (as the x87 unit this
    // rule was first tuned on did): white then sums to just under 255 and gives 254.
    double sum = double(0.3f) * r + double(0.59f) * g + double(0.11f) * b;
    return static_cast<unsigned char>(sum);
}

bool Texture::loadCubeMap(const char* const paths[6])
{
    release();
    if (!paths) return false;
    for (int face = 0; face < 6; ++face)
        if (!paths[face]) return false;
    if (!glExt.cubeMap) return false;
    glGenTextures(1, &id);
    target = GL_TEXTURE_CUBE_MAP;
    bind();
    for (int face = 0; face < 6; ++face) {
        Image* image = loadBmpImage(paths[face]);
        bool built = false;
        if (image && image->data) {
            TightUnpack unpack;
            built = gluBuild2DMipmaps(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 3, image->width, image->height, GL_RGB,
                                      GL_UNSIGNED_BYTE, image->data) == 0;
        }
        freeImage(image);
        if (!built) {
            release();
            return false;
        }
    }
    setWrap(GL_CLAMP, GL_CLAMP);
    setFilters(GL_LINEAR, GL_LINEAR_MIPMAP_LINEAR);
    return true;
}

bool Texture::initCubeMap()
{
    release();
    if (!glExt.cubeMap) return false;
    glGenTextures(1, &id);
    target = GL_TEXTURE_CUBE_MAP;
    bind();
    setWrap(GL_CLAMP, GL_CLAMP);
    setFilters(GL_LINEAR, GL_LINEAR);
    return true;
}

bool Texture::uploadCubeFace(GLenum faceTarget, int width, int height, GLenum format, GLenum type, const void* data,
                             int pixelStride, int rowStride)
{
    bind();
    unsigned char* copy;
    const void* pixels = tightCopy(width, height, format, type, data, pixelStride, rowStride, &copy, kCopyFailed2D);
    {
        TightUnpack unpack;
        glTexImage2D(faceTarget, 0, componentCount(format), width, height, 0, format, type, pixels);
    }
    std::free(copy);
    return true;
}

bool Texture::updateCubeFace(GLenum faceTarget, int width, int height, GLenum format, GLenum type, const void* data,
                             int pixelStride, int rowStride)
{
    if (!data) return false;  // an update has to come from somewhere
    bind();
    unsigned char* copy;
    const void* pixels = tightCopy(width, height, format, type, data, pixelStride, rowStride, &copy, kCopyFailed2D);
    {
        TightUnpack unpack;
        glTexSubImage2D(faceTarget, 0, 0, 0, width, height, format, type, pixels);
    }
    std::free(copy);
    return true;
}

void Texture::setWrap(GLenum s, GLenum t)
{
    bind();
    if (!id) return;
    glTexParameteri(target, GL_TEXTURE_WRAP_S, s);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, t);
}

void Texture::setFilters(GLenum mag, GLenum min)
{
    bind();
    if (!id) return;
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, mag);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, min);
}
