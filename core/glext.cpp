#include "core/glext.h"

#include <cstdio>
#include <cstring>

GlExtensions glExt;

bool extensionListed(const char* extensions, const char* name)
{
    return extensions && name && std::strstr(extensions, name) != nullptr;
}

void probeGlExtensions(ProcAddressLoader loader, const char* extensions)
{
    if (!extensions) extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    glExt = GlExtensions{};

    if (extensionListed(extensions, "GL_ARB_multitexture") && loader) {
        glExt.multiTexCoord2f = reinterpret_cast<PfnMultiTexCoord2f>(loader("glMultiTexCoord2fARB"));
        glExt.multiTexCoord2fv = reinterpret_cast<PfnMultiTexCoord2fv>(loader("glMultiTexCoord2fvARB"));
        glExt.multiTexCoord3f = reinterpret_cast<PfnMultiTexCoord3f>(loader("glMultiTexCoord3fARB"));
        glExt.multiTexCoord3fv = reinterpret_cast<PfnMultiTexCoord3fv>(loader("glMultiTexCoord3fvARB"));
        glExt.activeTexture = reinterpret_cast<PfnActiveTexture>(loader("glActiveTextureARB"));
        glExt.clientActiveTexture = reinterpret_cast<PfnClientActiveTexture>(loader("glClientActiveTextureARB"));
        glExt.multitexture = glExt.multiTexCoord2f && glExt.activeTexture && glExt.clientActiveTexture &&
                             glExt.multiTexCoord2fv;
        if (glExt.multitexture) std::printf("found GL extension GL_ARB_multitexture\n");
    }
    if (extensionListed(extensions, "GL_ARB_texture_cube_map")) {
        glExt.cubeMap = true;
        std::printf("found GL extension GL_ARB_texture_cube_map\n");
    }
    if (extensionListed(extensions, "GL_ARB_texture_env_add")) {
        glExt.envAdd = true;
        std::printf("found GL extension GL_ARB_texture_env_add\n");
    }
    if (extensionListed(extensions, "GL_EXT_separate_specular_color")) {
        glExt.separateSpecular = true;
        std::printf("found GL extension GL_EXT_separate_specular_color\n");
    }
    if (extensionListed(extensions, "GL_SGIS_generate_mipmap")) {
        glExt.generateMipmap = true;
        std::printf("found GL extension GL_SGIS_generate_mipmap\n");
    }
}
