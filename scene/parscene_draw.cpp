// Drawing of the scene: the fixed order of render and the additive glow pass.
#include <GL/gl.h>

#include "core/debug.h"
#include "view/frustum.h"
#include "scene/parscene.h"

namespace {
// Bodies move every step: their bounds are those of their particles now. A spring
// space's mesh is a blend of its eight corners with weights in 0..1, so it stays inside
// their box.
template <class Body>
bool bodyMayShow(const Body& body, const Frustum& view)
{
    BBox b = BBox::empty();
    for (const Particle* p : body.vertex)
        if (p) b.extend(p->pos);
    return view.mayShow(b.min, b.max);
}
}  // namespace

void ParScene::render(Viewport&, Camera& camera)
{
    // The camera has just loaded its matrices: this is the world as the view sees it.
    const Frustum view = display.viewCulling ? Frustum::current() : Frustum();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glColor3f(1, 1, 1);
    for (ObjInst* o : objects)
        if (o && o->model) o->draw(display.viewCulling);

    glColor3f(1, 1, 1);
    for (SpringModel* m : springModels) {
        if (!m) continue;
        m->bindTexture();
        if (!display.viewCulling || bodyMayShow(*m, view)) m->draw();
    }
    for (SpringSpace* s : springSpaces) {
        if (!s) continue;
        s->bindTexture();
        if (!display.viewCulling || bodyMayShow(*s, view)) s->draw(false);
    }
    for (Cloth* c : cloths)
        if (!display.viewCulling || bodyMayShow(*c, view)) c->draw();
    for (SpringChar* c : characters)
        if (!display.viewCulling || bodyMayShow(*c, view)) c->draw(camera);
    glColor3f(1, 1, 1);
    for (Landscape* l : landscapes)
        if (l) l->render(camera, display);

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

// One glow quad: its corners with texture coordinates (1,0), (0,0), (0,1), (1,1). It
// goes out as the two triangles 0 1 3 and 1 2 3, the rasteriser's own split of a quad:
// a quad the immediate-mode buffer happens to cut where it fills up comes out split the
// other way, a step brighter or darker here and there, so the same sprites would not
// give the same pixels from one frame to the next.
struct GlowQuad {
    Vec3 corner[4];
    bool mayShow(const Frustum& view) const
    {
        BBox b = BBox::empty();
        for (const Vec3& c : corner) b.extend(c);
        return view.mayShow(b.min, b.max);
    }
    void draw() const
    {
        static const float st[4][2] = {{1, 0}, {0, 0}, {0, 1}, {1, 1}};
        for (int i : {0, 1, 3, 1, 2, 3}) vertex(corner[i], st[i][0], st[i][1]);
    }
};

// A camera-facing square: corners along Z − Y, Y + Z, Y − Z, −Y − Z.
GlowQuad facingQuad(const Vec3& c, float size, const Vec3& Y, const Vec3& Z)
{
    return {{c + (Z - Y) * size, c + (Y + Z) * size, c + (Y - Z) * size, c + (-Y - Z) * size}};
}

// The glow's colour, the set one and the one the GL last received, so that a pass that
// leaves quads out still ends with the colour the full pass would have left.
struct GlowColour {
    float set[3] = {0, 0, 0};
    bool sent = true;
    void change(float r, float g, float b)
    {
        set[0] = r;
        set[1] = g;
        set[2] = b;
        sent = false;
    }
    void send()
    {
        if (!sent) glColor3f(set[0], set[1], set[2]);
        sent = true;
    }
};
}  // namespace

// Sprites, sinks and emitters in one additive batch with one texture bind. Each sprite
// is a streak from where its particle was to where it is, turned to face the camera.
// With culling on, quads outside the view and sprites too faint to change a pixel are
// left out.
void ParScene::drawGlow(const Camera& camera) const
{
    const Quat& q = camera.orientation;
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    const Vec3 X(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w));
    const Vec3 Y(2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w));
    const Vec3 Z(2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y));
    const bool cull = display.viewCulling;
    const Frustum view = cull ? Frustum::current() : Frustum();
    GlowColour colour;
    auto put = [&](const GlowQuad& quad) {
        if (cull && !quad.mayShow(view)) return;
        colour.send();
        quad.draw();
    };

    glowTexture.bind();
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glBlendFunc(GL_ONE, GL_ONE);
    glDepthMask(GL_FALSE);
    glBegin(GL_TRIANGLES);

    for (const EmittedParticle* ep = emittedParticles.first(); ep; ep = ep->next) {
        TV_ASSERT(ep->par);
        const float f = fadeCurve(ep->remainingLife, ep->life);
        const float r = f * ep->color[0], g = f * ep->color[1], b = f * ep->color[2];
        colour.change(r, g, b);
        if (cull && glowFadedOut(r, g, b)) continue;
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
        put({{P0 + (-t - u) * s, P1 + (u - t) * s, P1 + (t + u) * s, P0 + (t - u) * s}});
    }

    colour.change(0, 1, 1);
    for (size_t i = 0; i < sinks.size(); ++i) {
        TV_ASSERT(sinks[i]);
        put(facingQuad(sinks[i]->pos, 3.5f, Y, Z));
    }

    for (const Emitter* e : emitters) {
        if (!e || !e->particle) continue;
        const float f = fadeCurve(e->remainingLife, e->life);
        colour.change(f, f, f);
        put(facingQuad(e->particle->pos, 0.5f, Y, Z));
    }

    glEnd();
    colour.send();
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
}
