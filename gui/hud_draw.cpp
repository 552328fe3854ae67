#include <GL/gl.h>

#include <cctype>
#include <cmath>

#include "gui/bitmapfont.h"
#include "gui/hud.h"
#include "view/viewport.h"

namespace {
constexpr float kRingRadius = 9;
constexpr float kPinHalfSide = 5;
constexpr int kAdvance = kGlyphWidth + 1;

// Window pixels, y up, nothing from the 3-D state in the way; the caller's state comes back.
void beginWindowPixels(int width, int height)
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_SCISSOR_BIT | GL_VIEWPORT_BIT |
                 GL_TRANSFORM_BIT | GL_COLOR_BUFFER_BIT);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDisable(GL_SCISSOR_TEST);
}

void endWindowPixels()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void markOutline(const ParticleMark& m)
{
    glBegin(GL_LINE_LOOP);
    if (m.kind == ParticleMark::Held) {
        constexpr int kSegments = 20;
        for (int i = 0; i < kSegments; ++i) {
            const float a = 6.2831853f * static_cast<float>(i) / kSegments;
            glVertex2f(m.x + kRingRadius * std::cos(a), m.y + kRingRadius * std::sin(a));
        }
    } else {
        glVertex2f(m.x - kPinHalfSide, m.y - kPinHalfSide);
        glVertex2f(m.x + kPinHalfSide, m.y - kPinHalfSide);
        glVertex2f(m.x + kPinHalfSide, m.y + kPinHalfSide);
        glVertex2f(m.x - kPinHalfSide, m.y + kPinHalfSide);
    }
    glEnd();
}

void filledRect(int x0, int y0, int x1, int y1)
{
    glBegin(GL_QUADS);
    glVertex2i(x0, y0);
    glVertex2i(x1, y0);
    glVertex2i(x1, y1);
    glVertex2i(x0, y1);
    glEnd();
}

int panelWidth(size_t chars) { return 2 * kTextPanelPadding + static_cast<int>(chars) * kAdvance - 1; }
}  // namespace

void drawParticleMarks(const std::vector<ParticleMark>& marks, int width, int height)
{
    if (marks.empty()) return;
    beginWindowPixels(width, height);
    glEnable(GL_SCISSOR_TEST);
    // Dark rims under the colours keep the marks readable over sky, snow and sparks; all
    // rims first, so that a held and pinned particle shows both marks whole.
    for (bool rim : {true, false}) {
        glLineWidth(rim ? 4 : 2);
        for (const ParticleMark& m : marks) {
            glScissor(m.view->x, m.view->y, m.view->width, m.view->height);
            if (rim)
                glColor3f(0, 0, 0);
            else if (m.kind == ParticleMark::Held)
                glColor3f(1, 1, 0);
            else
                glColor3f(1, 0, 1);
            markOutline(m);
        }
    }
    endWindowPixels();
}

void drawTextPanel(const std::string& text, int x, int y, float r, float g, float b)
{
    glColor3f(0, 0, 0);
    filledRect(x, y, x + panelWidth(text.size()), y + kTextPanelHeight);
    glColor3f(r, g, b);
    glBegin(GL_QUADS);
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char rows[kGlyphHeight];
        if (!glyphRows(static_cast<char>(std::toupper(static_cast<unsigned char>(text[i]))), rows)) continue;
        const int gx = x + kTextPanelPadding + static_cast<int>(i) * kAdvance;
        for (int row = 0; row < kGlyphHeight; ++row) {
            const int gy = y + kTextPanelPadding + kGlyphHeight - 1 - row;
            for (int bit = 0; bit < kGlyphWidth; ++bit) {
                if (!(rows[row] & (0x10 >> bit))) continue;
                glVertex2i(gx + bit, gy);
                glVertex2i(gx + bit + 1, gy);
                glVertex2i(gx + bit + 1, gy + 1);
                glVertex2i(gx + bit, gy + 1);
            }
        }
    }
    glEnd();
}

void drawViewLabel(const Viewport& view, const char* name)
{
    if (view.width <= 0 || view.height <= 0) return;
    // One pixel a unit up to the view's far corner, wherever the window's edge lies.
    beginWindowPixels(view.x + view.width, view.y + view.height);
    drawTextPanel(name, view.x + 4, view.y + view.height - 4 - kTextPanelHeight, 1, 1, 1);
    endWindowPixels();
}

void drawRecordingDot(int width, int height)
{
    beginWindowPixels(width, height);
    const float cx = static_cast<float>(width) - 14, cy = static_cast<float>(height) - 14;
    for (const auto& [radius, red] : {std::pair{7.0f, 0.0f}, std::pair{5.5f, 1.0f}}) {
        glColor3f(red, 0, 0);
        glBegin(GL_TRIANGLE_FAN);
        glVertex2f(cx, cy);
        for (int i = 0; i <= 20; ++i) {
            const float a = 6.2831853f * static_cast<float>(i) / 20;
            glVertex2f(cx + radius * std::cos(a), cy + radius * std::sin(a));
        }
        glEnd();
    }
    endWindowPixels();
}

void ProblemBanner::draw(int width, int height) const
{
    if (!shown || line.empty()) return;
    constexpr int kMargin = 4;
    const int room = (width - 2 * kMargin - 2 * kTextPanelPadding + 1) / kAdvance;
    if (room <= 0) return;
    beginWindowPixels(width, height);
    drawTextPanel(line.substr(0, static_cast<size_t>(room)), kMargin, kMargin, 1, 0.75f, 0.2f);
    endWindowPixels();
}
