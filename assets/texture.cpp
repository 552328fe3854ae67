// Placeholder until the picture readers land.
#include "assets/texture.h"

#include <cstdlib>

#include "app/glext.h"

void freeImage(Image* image)
{
    if (!image) return;
    std::free(image->data);
    delete image;
}
Image* loadBmpImage(const char*) { return nullptr; }
Image* loadPpmImage(const char*) { return nullptr; }

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
}
void Texture::bind() const
{
    disableTargets();
    if (!id) return;
    glEnable(target);
    glBindTexture(target, id);
}
bool Texture::build2DMipmaps(int, int, GLenum, GLenum, const void*, int, int) { return false; }
bool Texture::build1DMipmaps(int, GLenum, GLenum, const void*, int) { return false; }
bool Texture::load(const char*) { return false; }
bool Texture::load2DWithAlpha(const char*, const char*) { return false; }
bool Texture::loadCubeMap(const char* const[6]) { return false; }
bool Texture::initCubeMap() { return false; }
bool Texture::uploadCubeFace(GLenum, int, int, GLenum, GLenum, const void*, int, int) { return false; }
bool Texture::updateCubeFace(GLenum, int, int, GLenum, GLenum, const void*, int, int) { return false; }
void Texture::setWrap(GLenum, GLenum) {}
void Texture::setFilters(GLenum, GLenum) {}
Image* Texture::loadImage(const char*) { return nullptr; }
