#include "gui/overlay.h"

#include <algorithm>
#include <cstdio>

#include "gui/bitmapfont.h"

namespace {
// Two controls a row: key, what it does, key, what it does. A row without a key is a heading.
const char* const kControls[][4] = {
    {"", "KEYS (THE VIEW UNDER THE CURSOR)", "", ""},
    {"E D", "FLY FORWARD / BACK", "S F", "FLY LEFT / RIGHT"},
    {"R V", "FLY UP / DOWN", "J L", "TURN LEFT / RIGHT"},
    {"I K", "TILT DOWN / UP", "O U", "ROLL"},
    {"1-0", "FLY SPEED", "SHIFT+1-0", "TURN SPEED"},
    {"SPACE", "FOUR VIEWS / ONE", "A", "FRAME THE WORLD"},
    {"N", "STEP WHEN PAUSED", "Z", "FOUNTAIN ON HELD"},
    {"\\", "RECORD FRAMES", "- =", "DETAIL RADIUS"},
    {"WCBYMHGT", "DISPLAY SWITCHES", "F1", "THIS HELP"},
    {"ESC", "QUIT", "HOME", "VIEW BACK TO ITS START"},
    {"F2", "SETTINGS PANEL", "F3", "RECORD INPUTS"},
    {"BACKSPACE", "BACK ONE SECOND", "PGUP PGDN", "PREVIOUS / NEXT WORLD"},
    {"", "MOUSE", "", ""},
    {"LEFT", "GRAB AND DRAG", "RIGHT", "PIN / FREE HELD"},
    {"SHIFT+L/R", "GROUND TILE IN/OUT", "MIDDLE", "DRAG TO ORBIT"},
    {"WHEEL", "FLY / ZOOM", "", ""},
    {"BUTTONS", "RK4/EULER  SOURCE (SHIFT: SINK)  RESET  PLAY/PAUSE", "", ""},
};
}  // namespace

std::vector<std::string> overlayLines(const OverlayFigures& f)
{
    std::vector<std::string> lines;
    char text[160];
    for (const auto& row : kControls) {
        if (!*row[0])
            std::snprintf(text, sizeof text, "%s", row[1]);
        else if (!*row[2])
            std::snprintf(text, sizeof text, "%-10s%s", row[0], row[1]);
        else
            std::snprintf(text, sizeof text, "%-10s%-20s%-10s%s", row[0], row[1], row[2], row[3]);
        lines.emplace_back(text);
    }
    lines.emplace_back();
    std::snprintf(text, sizeof text, "UPDATES/SEC %d  PARTICLES %d/%d  GLOW %d  SPRINGS %d", f.updatesPerSecond,
                  f.particles, f.pool, f.glow, f.springs);
    lines.emplace_back(text);
    std::snprintf(text, sizeof text, "EMITTERS %d  SINKS %d  %s  %s  %s  VIEW %s%s", f.emitters, f.sinks,
                  f.rk4 ? "RK4" : "EULER", f.paused ? "PAUSED" : "PLAYING", f.recording ? "RECORDING" : "NOT RECORDING",
                  f.view, f.fourViews ? " OF FOUR" : "");
    lines.emplace_back(text);
    if (!f.worlds.empty()) {
        std::string worlds = "WORLDS";
        for (size_t i = 0; i < f.worlds.size(); ++i)
            worlds += (static_cast<int>(i) == f.world ? "  [" : "  ") + f.worlds[i] + (static_cast<int>(i) == f.world ? "]" : "");
        lines.push_back(worlds);
    }
    return lines;
}

void paintOverlay(const std::vector<std::string>& lines, int width, int height, std::vector<unsigned char>& rgba,
                  int& panelWidth, int& panelHeight)
{
    rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    size_t columns = 0;
    for (const std::string& l : lines) columns = std::max(columns, l.size());
    panelWidth = panelHeight = 0;
    if (lines.empty()) return;
    panelWidth = std::min(width, 2 * kOverlayPadding + static_cast<int>(columns) * kOverlayAdvance - 1);
    panelHeight = std::min(height, 2 * kOverlayPadding + (static_cast<int>(lines.size()) - 1) * kOverlayLineHeight +
                                       kGlyphHeight);
    auto texel = [&](int x, int y) { return &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + x) * 4]; };
    // A black panel keeps white text readable over a bright sky.
    for (int y = 0; y < panelHeight; ++y)
        for (int x = 0; x < panelWidth; ++x) texel(x, y)[3] = 255;
    for (size_t i = 0; i < lines.size(); ++i)
        for (size_t c = 0; c < lines[i].size(); ++c) {
            unsigned char rows[kGlyphHeight];
            if (!glyphRows(lines[i][c], rows)) continue;
            const int x0 = kOverlayPadding + static_cast<int>(c) * kOverlayAdvance;
            const int y0 = kOverlayPadding + static_cast<int>(i) * kOverlayLineHeight;
            for (int r = 0; r < kGlyphHeight; ++r)
                for (int b = 0; b < kGlyphWidth; ++b) {
                    const int x = x0 + b, y = y0 + r;
                    if (!(rows[r] & (0x10 >> b)) || x >= panelWidth || y >= panelHeight) continue;
                    unsigned char* t = texel(x, y);
                    t[0] = t[1] = t[2] = t[3] = 255;
                }
        }
}
