#include <GL/gl.h>

#include <cstring>

#include "app/bitmapfont.h"
#include "gui/overlay.h"

void HelpOverlay::draw(int width, int height, const OverlayFigures& figures)
{
    if (!visible) return;
    if (fontBase == 0) {
        // One display list per character, so a line is a single glCallLists.
        fontBase = glGenLists(96);
        if (fontBase == 0) return;
        for (int c = 32; c < 128; ++c) {
            unsigned char rows[kGlyphHeight] = {};
            glyphRows(static_cast<char>(c), rows);
            // glBitmap wants the bottom row first and the leftmost pixel in the top bit.
            GLubyte bits[kGlyphHeight];
            for (int r = 0; r < kGlyphHeight; ++r) bits[r] = static_cast<GLubyte>(rows[kGlyphHeight - 1 - r] << 3);
            glNewList(fontBase + static_cast<unsigned>(c - 32), GL_COMPILE);
            glBitmap(kGlyphWidth, kGlyphHeight, 0, 0, kOverlayAdvance, 0, bits);
            glEndList();
        }
    }

    const std::vector<std::string> lines = overlayLines(figures);
    size_t columns = 0;
    for (const std::string& l : lines) columns = l.size() > columns ? l.size() : columns;
    const int textWidth = static_cast<int>(columns) * kOverlayAdvance - 1;
    const int left = kOverlayMargin + kOverlayPadding, top = height - kOverlayMargin - kOverlayPadding;

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT | GL_LIST_BIT | GL_VIEWPORT_BIT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glDisable(GL_FOG);

    // A dark, see-through panel keeps the text readable over a bright sky.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0, 0, 0, 0.7f);
    const int lastBaseline = top - kGlyphHeight - (static_cast<int>(lines.size()) - 1) * kOverlayLineHeight;
    glRecti(kOverlayMargin, lastBaseline - kOverlayPadding, left + textWidth + kOverlayPadding, top + kOverlayPadding);
    glDisable(GL_BLEND);

    glColor3f(1, 1, 1);
    glListBase(fontBase - 32);
    for (size_t i = 0; i < lines.size(); ++i) {
        const int y = top - kGlyphHeight - static_cast<int>(i) * kOverlayLineHeight;
        if (y < 0) break;  // a raster position outside the window would drop the line anyway
        glRasterPos2i(left, y);
        glCallLists(static_cast<GLsizei>(lines[i].size()), GL_UNSIGNED_BYTE, lines[i].data());
    }
    glPopAttrib();
}

void HelpOverlay::release()
{
    if (fontBase != 0) glDeleteLists(fontBase, 96);
    fontBase = 0;
}
