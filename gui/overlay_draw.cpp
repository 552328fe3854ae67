#include <GL/gl.h>

#include "gui/overlay.h"

void HelpOverlay::draw(int width, int height, const OverlayFigures& figures)
{
    if (!visible) return;
    std::vector<std::string> lines = overlayLines(figures);
    if (texture == 0) {
        glGenTextures(1, &texture);
        if (texture == 0) return;
        shown.clear();
    }
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_VIEWPORT_BIT);
    glBindTexture(GL_TEXTURE_2D, texture);
    if (lines != shown) {
        std::vector<unsigned char> rgba;
        paintOverlay(lines, kOverlayTextureWidth, kOverlayTextureHeight, rgba, panelWidth, panelHeight);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kOverlayTextureWidth, kOverlayTextureHeight, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, rgba.data());
        shown = std::move(lines);
    }

    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    // Opaque: blending the panel over the views cost a third more in software rendering.
    glDisable(GL_BLEND);

    // Texel for pixel: the picture's top row (t = 0) at the panel's top edge.
    const float s1 = static_cast<float>(panelWidth) / kOverlayTextureWidth;
    const float t1 = static_cast<float>(panelHeight) / kOverlayTextureHeight;
    const int x0 = kOverlayMargin, x1 = x0 + panelWidth;
    const int y1 = height - kOverlayMargin, y0 = y1 - panelHeight;
    glBegin(GL_QUADS);
    glTexCoord2f(0, t1);
    glVertex2i(x0, y0);
    glTexCoord2f(s1, t1);
    glVertex2i(x1, y0);
    glTexCoord2f(s1, 0);
    glVertex2i(x1, y1);
    glTexCoord2f(0, 0);
    glVertex2i(x0, y1);
    glEnd();
    glPopAttrib();
}

void HelpOverlay::release()
{
    if (texture != 0) glDeleteTextures(1, &texture);
    texture = 0;
    shown.clear();
}
