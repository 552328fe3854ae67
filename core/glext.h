#pragma once
// GL extensions probed at start-up, and the multitexture entry points fetched then.
#include <GL/gl.h>

typedef void (*PfnMultiTexCoord2f)(GLenum, GLfloat, GLfloat);
typedef void (*PfnMultiTexCoord2fv)(GLenum, const GLfloat*);
typedef void (*PfnMultiTexCoord3f)(GLenum, GLfloat, GLfloat, GLfloat);
typedef void (*PfnMultiTexCoord3fv)(GLenum, const GLfloat*);
typedef void (*PfnActiveTexture)(GLenum);
typedef void (*PfnClientActiveTexture)(GLenum);

struct GlExtensions {
    bool multitexture = false;
    bool cubeMap = false;
    bool envAdd = false;
    bool separateSpecular = false;
    bool generateMipmap = false;

    PfnMultiTexCoord2f multiTexCoord2f = nullptr;
    PfnMultiTexCoord2fv multiTexCoord2fv = nullptr;
    PfnMultiTexCoord3f multiTexCoord3f = nullptr;
    PfnMultiTexCoord3fv multiTexCoord3fv = nullptr;
    PfnActiveTexture activeTexture = nullptr;
    PfnClientActiveTexture clientActiveTexture = nullptr;
};

// One of the two process-wide values left: the GL entry points belong to the one GL
// context of the process, not to a world or a window of ours, and every layer that draws
// calls through them.
extern GlExtensions glExt;

typedef void* (*ProcAddressLoader)(const char* name);

// Plain substring search: a name that is a prefix of a longer extension name matches too.
bool extensionListed(const char* extensions, const char* name);

// Reads GL_EXTENSIONS (or the given string when not null), fills glExt and prints a
// line for each extension found.
void probeGlExtensions(ProcAddressLoader loader, const char* extensions = nullptr);
