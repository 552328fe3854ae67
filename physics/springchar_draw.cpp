// The figure's GL side: its texture, the bone picture loaded by init, and the lit,
// sphere-mapped skin with its optional cube-map reflection.
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>

#include "view/camera.h"
#include "core/glext.h"
#include "assets/texture.h"
#include "physics/springchar.h"

SpringChar::SpringChar() : texture(std::make_unique<Texture>()) { SpringChar::reset(); }
SpringChar::~SpringChar() { SpringObj::release(); }

bool SpringChar::init(ParticleSystem* parSys_, SpringSystem* springSys_)
{
    SpringObj::init(parSys_, springSys_);
    if (!texture->load("bone.bmp")) {
        printf("failed to load the spring char texture\n");
        return false;
    }
    return build();
}

void SpringChar::draw(const Camera& camera)
{
    if (static_cast<int>(vertex.size()) != kNodeCount) return;

    glPushAttrib(GL_ENABLE_BIT);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const GLfloat lightPos[4] = {0, 0, 0, 1};
    glLightfv(GL_LIGHT0, GL_POSITION, lightPos);
    glEnable(GL_CULL_FACE);
    texture->bind();
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);

    const bool reflect = envMap && glExt.cubeMap && glExt.multitexture && glExt.activeTexture;
    if (reflect) {
        glExt.activeTexture(GL_TEXTURE1_ARB);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_ADD);
        glMatrixMode(GL_TEXTURE);
        glPushMatrix();
        camera.applyAxisChange();
        camera.applyInverseRotation();
        glRotatef(-90, 1, 0, 0);
        glMatrixMode(GL_MODELVIEW);
        // Bound directly: Texture::bind would switch off unit 1's targets first, which is
        // what we want, but only for this unit.
        glEnable(GL_TEXTURE_CUBE_MAP_ARB);
        glBindTexture(GL_TEXTURE_CUBE_MAP_ARB, envMap->id);
        glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP_ARB);
        glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP_ARB);
        glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, GL_REFLECTION_MAP_ARB);
        glEnable(GL_TEXTURE_GEN_S);
        glEnable(GL_TEXTURE_GEN_T);
        glEnable(GL_TEXTURE_GEN_R);
    }

    glColor3f(1, 1, 1);
    for (Vec3& n : normal) n = Vec3(0, 0, 0);
    for (const auto& tri : skin) {
        const Vec3& a = vertex[tri[0]]->pos;
        const Vec3& b = vertex[tri[1]]->pos;
        const Vec3& c = vertex[tri[2]]->pos;
        // Outward for the counter-clockwise skin, so that the lit side faces the light.
        Vec3 n = normalised(cross(b - a, c - a));
        normal[tri[0]] += n;
        normal[tri[1]] += n;
        normal[tri[2]] += n;
    }
    for (Vec3& n : normal) n = normalised(n);

    glBegin(GL_TRIANGLES);
    for (const auto& tri : skin) {
        for (int k = 0; k < 3; ++k) {
            const Vec3& n = normal[tri[k]];
            const Vec3& p = vertex[tri[k]]->pos;
            glNormal3f(n.x, n.y, n.z);
            glVertex3f(p.x, p.y, p.z);
        }
    }
    glEnd();

    if (reflect) {
        glDisable(GL_TEXTURE_GEN_S);
        glDisable(GL_TEXTURE_GEN_T);
        glDisable(GL_TEXTURE_GEN_R);
        glDisable(GL_TEXTURE_CUBE_MAP_ARB);
        glMatrixMode(GL_TEXTURE);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glExt.activeTexture(GL_TEXTURE0_ARB);
    }
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
    glPopAttrib();
}
