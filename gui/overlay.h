#pragma once
// The help overlay (F1): the controls in a compact table and the world's live figures,
// drawn over the views in our own bitmap font after the button bar. Off at start, so
// nothing is drawn or recorded for it until asked.
#include <string>
#include <vector>

struct OverlayFigures {
    int updatesPerSecond = 0;
    int particles = 0, pool = 0;
    int glow = 0, springs = 0, emitters = 0, sinks = 0;
    bool rk4 = true, paused = true, recording = false;
    const char* view = "MAIN";
    bool fourViews = false;
    // The worlds Page Up and Page Down step through, in capitals, and which one is open.
    std::vector<std::string> worlds;
    int world = 0;
};

// Every line of the overlay, top first: the controls, a blank, then the figures.
std::vector<std::string> overlayLines(const OverlayFigures& figures);

// Paints the overlay's panel into an RGBA picture of width × height, top row first: the
// black panel fitted to the text and the glyphs in white; transparent elsewhere. Returns the panel's size in pixels (both 0 for no lines), clipped to the
// picture.
void paintOverlay(const std::vector<std::string>& lines, int width, int height, std::vector<unsigned char>& rgba,
                  int& panelWidth, int& panelHeight);

class HelpOverlay {
public:
    HelpOverlay() = default;
    HelpOverlay(const HelpOverlay&) = delete;
    HelpOverlay& operator=(const HelpOverlay&) = delete;

    // In window pixels, top-left corner; needs the GL context. The text is painted into a
    // texture only when it changes (the figures about once a second), so a frame costs
    // one textured quad.
    void draw(int width, int height, const OverlayFigures& figures);
    // Frees the texture while the context lives.
    void release();

    bool visible = false;

private:
    unsigned texture = 0;
    std::vector<std::string> shown;
    int panelWidth = 0, panelHeight = 0;
};

// Overlay geometry, shared with whoever reads the picture back.
constexpr int kOverlayMargin = 8;
constexpr int kOverlayPadding = 6;
constexpr int kOverlayAdvance = 6;      // glyph width and one blank column
constexpr int kOverlayLineHeight = 10;  // glyph height and three blank rows
constexpr int kOverlayTextureWidth = 512;  // powers of two, as GL 1.1 asks
constexpr int kOverlayTextureHeight = 256;
