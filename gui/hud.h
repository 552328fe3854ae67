#pragma once
// What the window shows over the views about the hand and the program, each only while
// there is something to show: marks on the held and the pinned particles, the names of
// the four views, the last problem line and the recording dot.
#include <string>
#include <vector>

#include "core/problems.h"

struct Particle;
class Viewport;

struct ParticleMark {
    enum Kind { Held, Pinned };
    Kind kind;
    float x, y;            // window pixels from the bottom-left corner
    const Viewport* view;  // the view it shows in, which clips it
};

// The held particle's mark and the pinned ones', in every view that shows them.
std::vector<ParticleMark> particleMarks(const std::vector<Viewport*>& views, const Particle* held,
                                        const std::vector<Particle*>& pinned);
// A ring round the held particle and a square round each pinned one, the same size at
// any distance and drawn over whatever hides the particle.
void drawParticleMarks(const std::vector<ParticleMark>& marks, int width, int height);

// A line in the program's font on a black panel with its lower-left corner at x, y;
// lower case shows as upper case, characters the font lacks as blanks.
void drawTextPanel(const std::string& text, int x, int y, float r, float g, float b);
constexpr int kTextPanelPadding = 3;
constexpr int kTextPanelHeight = 7 + 2 * kTextPanelPadding;

// A view's name in its top-left corner.
void drawViewLabel(const Viewport& view, const char* name);

// A red dot in the window's top-right corner.
void drawRecordingDot(int width, int height);

// The last problem line, shown at the bottom of the window for a few seconds.
class ProblemBanner {
public:
    static constexpr int kShowMs = 6000;
    // Follows the last problem; true when what the banner shows changed (a new line came,
    // or the shown one timed out), so the picture must be drawn again.
    bool follow(const tv::ProblemLine& last, int nowMs);
    bool showing() const { return shown; }
    const std::string& text() const { return line; }
    // Below the button bar, from the left edge; cut to the window's width.
    void draw(int width, int height) const;

private:
    std::string line;
    unsigned serial = 0;
    int since = 0;
    bool shown = false;
};
