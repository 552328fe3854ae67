#include "scene/sky.h"

#include <GL/gl.h>

#include <cstdio>

#include "core/glext.h"

namespace {
// Corner k: x = +100 when k & 4, y = +100 when k & 2, z = +100 when k & 1.
Vec3 corner(int k)
{
    return {(k & 4) ? 100.0f : -100.0f, (k & 2) ? 100.0f : -100.0f, (k & 1) ? 100.0f : -100.0f};
}

// Each face goes out as the triangles 0 1 3 and 1 2 3 of its corners, the rasteriser's
// own split of a quad, rather than as a quad the immediate-mode buffer might cut (and so
// split the other way) wherever it happens to fill up.
const int kTriangleCorners[6] = {0, 1, 3, 1, 2, 3};

const int kFaceCorners[6][4] = {{6, 4, 5, 7}, {0, 2, 3, 1}, {2, 6, 7, 3}, {4, 0, 1, 5}, {1, 3, 7, 5}, {4, 6, 2, 0}};
const float kFaceTexCoords[6][4][2] = {
    {{1, 0}, {1, 1}, {0, 1}, {0, 0}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}, {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
    {{1, 1}, {0, 1}, {0, 0}, {1, 0}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}}, {{0, 1}, {0, 0}, {1, 0}, {1, 1}},
};
}  // namespace

void Sky::create(const char* const paths[6])
{
    // Edge texels are clamped rather than wrapped or blended with the border colour:
    // the faces meet along the cube's edges, and either would draw a line there.
    if (!cubeMap.loadCubeMap(paths))
        std::printf("unable to create sky cubemap\n");
    else
        cubeMap.setWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    for (int i = 0; i < 6; ++i) {
        if (!face[i].load(paths[i])) {
            std::printf("unable to create sky textures %s\n", paths[i]);
            break;
        }
        face[i].setWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    }
}

void Sky::release()
{
    cubeMap.release();
    for (Texture& t : face) t.release();
}

void Sky::render(const Camera& camera) const
{
    // At the far plane behind everything already drawn, without writing depth: it shows
    // exactly where nothing opaque is, so it may be drawn after the opaque scene and
    // the rasteriser skips its texturing under the ground.
    glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_VIEWPORT_BIT);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_FALSE);
    glDepthRange(1, 1);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    // Rotation only: the sky stays put however far the camera flies.
    camera.apply(Camera::LOAD_MODELVIEW_IDENTITY | Camera::INVERSE_ROTATION, 1);
    glRotatef(-90, 1, 0, 0);

    glColor3f(1, 1, 1);
    if (glExt.cubeMap) {
        cubeMap.bind();
        glBegin(GL_TRIANGLES);
        for (int f = 0; f < 6; ++f) {
            for (int k : kTriangleCorners) {
                const Vec3 c = corner(kFaceCorners[f][k]);
                glTexCoord3f(c.x, c.y, c.z);
                glVertex3f(c.x, c.y, c.z);
            }
        }
        glEnd();
    } else {
        for (int f = 0; f < 6; ++f) {
            face[f].bind();
            glBegin(GL_TRIANGLES);
            for (int k : kTriangleCorners) {
                const Vec3 c = corner(kFaceCorners[f][k]);
                glTexCoord2f(kFaceTexCoords[f][k][0], kFaceTexCoords[f][k][1]);
                glVertex3f(c.x, c.y, c.z);
            }
            glEnd();
        }
    }

    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glPopAttrib();
}
