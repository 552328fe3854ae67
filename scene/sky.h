#pragma once
// The sky: a textured cube of half size 100 drawn around the eye with the camera's
// rotation only, so it looks infinitely far away. Drawn from a cube map when the GL
// offers one, otherwise from six face textures.
#include "view/camera.h"
#include "assets/texture.h"

class Sky {
public:
    // Paths in the face order ft, bk, dn, up, rt, lf. Failures are reported, never fatal.
    void create(const char* const paths[6]);
    void release();
    void render(const Camera& camera) const;

    Texture cubeMap;
    Texture face[6];
};
