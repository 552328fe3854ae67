#include "gui/overlay.h"

#include <cstdio>

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
    {"ESC", "QUIT", "", ""},
    {"", "MOUSE", "", ""},
    {"LEFT", "GRAB AND DRAG", "RIGHT", "PIN / FREE HELD"},
    {"SHIFT+L/R", "GROUND TILE IN/OUT", "MIDDLE", "DRAG TO ORBIT"},
    {"WHEEL", "FLY / ZOOM", "", ""},
    {"BUTTONS", "RK4/EULER  SOURCE  RESET  PLAY/PAUSE", "", ""},
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
    return lines;
}
