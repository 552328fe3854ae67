// Drawing the landscape: every tile as level-of-detail rings around the viewer, textured
// with the ground detail and its baked colours multiplied together.
#include <GL/gl.h>

#include "core/glext.h"
#include "terrain/displaysettings.h"
#include "terrain/landscape.h"
#include "terrain/landscapetile.h"
#include "terrain/lodrings.h"

#ifndef GL_TEXTURE0_ARB
#define GL_TEXTURE0_ARB 0x84C0
#define GL_TEXTURE1_ARB 0x84C1
#endif

namespace {

// Immediate-mode triangle strips.
class GlStripEmitter : public StripEmitter {
public:
    void beginStrip() override { glBegin(GL_TRIANGLE_STRIP); }
    void vertex(float x, float y, float z) override { glVertex3f(x, y, z); }
    void endStrip() override { glEnd(); }
    void beginWhiteSeam() override
    {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glColor3f(1, 1, 1);
        if (glExt.multitexture && glExt.activeTexture) {
            glExt.activeTexture(GL_TEXTURE1_ARB);
            Texture::disableTargets();
            glExt.activeTexture(GL_TEXTURE0_ARB);
        }
        Texture::disableTargets();
        glDisable(GL_CULL_FACE);
    }
    void endWhiteSeam() override { glPopAttrib(); }
};

void setPlanes(const float s[4], const float t[4])
{
    glTexGenfv(GL_S, GL_OBJECT_PLANE, s);
    glTexGenfv(GL_T, GL_OBJECT_PLANE, t);
}

void enableObjectLinear()
{
    glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_OBJECT_LINEAR);
    glEnable(GL_TEXTURE_GEN_S);
    glEnable(GL_TEXTURE_GEN_T);
}

void resetPlanes()
{
    const float s[4] = {1, 0, 0, 0}, t[4] = {0, 1, 0, 0};
    setPlanes(s, t);
    glDisable(GL_TEXTURE_GEN_S);
    glDisable(GL_TEXTURE_GEN_T);
}

// Viewer coordinates can be anywhere; keep them well inside int range.
int truncated(float v)
{
    if (!(v > -1e6f)) v = -1e6f;
    if (v > 1e6f) v = 1e6f;
    return static_cast<int>(v);
}

}  // namespace

void LandscapeTile::render(const DisplaySettings& display, int viewX, int viewY, const Texture& groundTexture,
                           float detailFactor, int column, int row, int level, const Landscape* owner,
                           int coarseViewX, int coarseViewY)
{
    const float g = 8 * textureScale * detailFactor;
    const float groundS[4] = {g, 0, 0, 0}, groundT[4] = {0, g, 0, 0};
    const float colourS[4] = {1.0f / 128, 0, 0, 0}, colourT[4] = {0, 1.0f / 128, 0, 0};
    const bool multi = glExt.multitexture && glExt.activeTexture;

    enableObjectLinear();
    if (multi) {
        glExt.activeTexture(GL_TEXTURE1_ARB);
        enableObjectLinear();
        glExt.activeTexture(GL_TEXTURE0_ARB);
    }
    glBlendFunc(GL_DST_COLOR, GL_ZERO);

    GlStripEmitter gl;
    // The matrices now map this tile's sample coordinates to the view.
    const Frustum view = display.viewCulling ? Frustum::current() : Frustum();
    VisibleStrips visible(gl, view);
    StripEmitter& emitter = display.viewCulling ? static_cast<StripEmitter&>(visible) : gl;
    LodContext ctx{*this, emitter, owner, display.baseRadius, display.whiteSeams};
    // Every vertex of the tile, seams and borders too, lies over its square of samples
    // between its lowest and highest sample; a tile wholly out of sight keeps its state
    // changes and sends no geometry.
    bool shows = true;
    if (display.viewCulling) {
        float lowest, highest;
        heightRange(lowest, highest);
        const float last = static_cast<float>(kSamples - 1);
        shows = view.mayShow({0, 0, lowest}, {last, last, highest});
    }
    for (int p = 0; p < 2; ++p) {
        if (p == 0) {
            groundTexture.bind();
            setPlanes(groundS, groundT);
        } else {
            colourTexture.bind();
            setPlanes(colourS, colourT);
        }
        if (multi && p == 0) {
            glExt.activeTexture(GL_TEXTURE1_ARB);
            colourTexture.bind();
            setPlanes(colourS, colourT);
            glExt.activeTexture(GL_TEXTURE0_ARB);
            p = 1;
        }
        if (shows) {
            drawLodRings(ctx, viewX, viewY, column, row, level);
            if (level == 0) drawLevelBorders(ctx, viewX, viewY, coarseViewX, coarseViewY, column, row);
        }
        // A second pass multiplies onto exactly the pixels of the first.
        glEnable(GL_BLEND);
        glDepthFunc(GL_EQUAL);
    }
    glDisable(GL_BLEND);
    glDepthFunc(GL_LESS);
    if (multi) {
        glExt.activeTexture(GL_TEXTURE1_ARB);
        resetPlanes();
        Texture::disableTargets();
        glExt.activeTexture(GL_TEXTURE0_ARB);
    }
    resetPlanes();
}

void Landscape::render(const Camera& camera, const DisplaySettings& display)
{
    if (display.wireframe) {
        glPushAttrib(GL_POLYGON_BIT);
        glPolygonMode(GL_FRONT, GL_LINE);
    }
    Vec3 v = camera.position;
    if (display.lodFreeze) v = frozenViewer;
    else frozenViewer = v;
    const Vec3 u = toUnit(v);
    const float cx = (u.x + 1) * 0.5f * 128;
    const float cy = (u.y + 1) * 0.5f * 128;

    if (display.trackingMouse) {
        Texture::disableTargets();
        glLineWidth(10);
        glColor3f(1, 0, 0);
        glBegin(GL_LINES);
        glVertex3f(probeStart.x, probeStart.y, probeStart.z);
        glVertex3f(probeEnd.x, probeEnd.y, probeEnd.z);
        glEnd();
        glLineWidth(1);
        glColor3f(1, 1, 1);
    }

    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glScalef(scale.x, scale.y, scale.z);
    if (display.trackingMouse) {
        Texture::disableTargets();
        glLineWidth(10);
        glColor3f(0, 1, 1);
        glBegin(GL_LINES);
        glVertex3f(mouseHit.x, mouseHit.y, 0);
        glVertex3f(mouseHit.x, mouseHit.y, 1);
        glEnd();
        glLineWidth(1);
        glColor3f(1, 1, 1);
    }
    glTranslatef(-1, -1, 0);
    glScalef(1.0f / 64, 1.0f / 64, 1);

    for (int level = kLevels - 1; level >= 0; --level) {
        const int s = levelTileCount[level];
        for (int row = 0; row < s; ++row) {
            for (int column = 0; column < s; ++column) {
                LandscapeTile* tile = tileAt(level, column, row);
                if (!tile) continue;
                const int viewX = truncated(cx * s - column * 128);
                const int viewY = truncated(cy * s - row * 128);
                glPushMatrix();
                glScalef(1.0f / s, 1.0f / s, 1);
                glTranslatef(static_cast<float>(column * 128), static_cast<float>(row * 128), 0);
                tile->render(display, viewX, viewY, groundTexture, 1.0f / 64, column, row, level, this,
                             truncated(cx), truncated(cy));
                glPopMatrix();
            }
        }
    }
    glPopMatrix();
    if (display.wireframe) glPopAttrib();
}
