// Drawing of the scene: the fixed order of render and the additive glow pass.
#include <GL/gl.h>

#include "app/debug.h"
#include "scene/parscene.h"

void ParScene::render(Viewport&, Camera& camera)
{
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glColor3f(1, 1, 1);
    for (ObjInst* o : objects)
        if (o && o->model) o->draw();

    glColor3f(1, 1, 1);
    for (SpringModel* m : springModels) {
        if (!m) continue;
        m->texture.bind();
        m->draw();
    }
    for (SpringSpace* s : springSpaces) {
        if (!s) continue;
        s->texture.bind();
        s->draw(false);
    }
    for (Landscape* l : landscapes)
        if (l) l->render(camera);

    // After the opaque scene, filling only what it left uncovered: the same picture as
    // drawing it first, for a fraction of the fill.
    sky.render(camera);
    drawGlow(camera);

    if (heldParticle) {
        glDisable(GL_TEXTURE_1D);
        glDisable(GL_TEXTURE_2D);
        const Vec3 target = dragTarget();
        glColor3f(0, 1, 1);
        glBegin(GL_LINES);
        glVertex3f(heldParticle->pos.x, heldParticle->pos.y, heldParticle->pos.z);
        glVertex3f(target.x, target.y, target.z);
        glEnd();
    }
}

namespace {
inline void vertex(const Vec3& v, float s, float t)
{
    glTexCoord2f(s, t);
    glVertex3f(v.x, v.y, v.z);
}

// A camera-facing square: corners along Z − Y, Y + Z, Y − Z, −Y − Z.
void facingQuad(const Vec3& c, float size, const Vec3& Y, const Vec3& Z)
{
    vertex(c + (Z - Y) * size, 1, 0);
    vertex(c + (Y + Z) * size, 0, 0);
    vertex(c + (Y - Z) * size, 0, 1);
    vertex(c + (-Y - Z) * size, 1, 1);
}
}  // namespace

// Sprites, sinks and emitters in one additive batch with one texture bind. Each sprite
// is a streak from where its particle was to where it is, turned to face the camera.
void ParScene::drawGlow(const Camera& camera) const
{
    const Quat& q = camera.orientation;
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    const Vec3 X(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w));
    const Vec3 Y(2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w));
    const Vec3 Z(2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y));

    glowTexture.bind();
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_ONE, GL_ONE);
    glDepthMask(GL_FALSE);
    glBegin(GL_QUADS);

    for (const EmittedParticle* ep = emittedParticles.first(); ep; ep = ep->next) {
        TV_ASSERT(ep->par);
        const float f = fadeCurve(ep->remainingLife, ep->life);
        glColor3f(f * ep->color[0], f * ep->color[1], f * ep->color[2]);
        const Vec3 P0 = ep->par->prevPos;
        const Vec3 P1 = ep->par->pos;
        Vec3 u = P1 - P0;
        u -= X * dot(u, X);
        Vec3 t;
        const float len = length(u);
        if (len < 0.01f) {
            u = Z;
            t = Y;
        } else {
            u = u / len;
            t = cross(u, X);
        }
        const float s = ep->radius;
        vertex(P0 + (-t - u) * s, 1, 0);
        vertex(P1 + (u - t) * s, 0, 0);
        vertex(P1 + (t + u) * s, 0, 1);
        vertex(P0 + (t - u) * s, 1, 1);
    }

    glColor3f(0, 1, 1);
    for (size_t i = 0; i < sinks.size(); ++i) {
        TV_ASSERT(sinks[i]);
        facingQuad(sinks[i]->pos, 3.5f, Y, Z);
    }

    for (const Emitter* e : emitters) {
        if (!e || !e->particle) continue;
        const float f = fadeCurve(e->remainingLife, e->life);
        glColor3f(f, f, f);
        facingQuad(e->particle->pos, 0.5f, Y, Z);
    }

    glEnd();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
}
