#pragma once
// The settings panel (F2): the world's numbers, changed while it runs, and plots of its
// energy and of where an update's and a frame's time go. Drawn with Dear ImGui after the
// button bar. Off at start; while off it makes no ImGui call at all, so every frame, line
// and file is as it was without it.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "scene/worldinput.h"

class ParScene;
struct DisplaySettings;
struct ImGuiContext;

// The last ten seconds of samples, one an update (60 a second), oldest first.
class PanelHistory {
public:
    enum Series { Kinetic, Gravitational, Spring, Total, Forces, Integration, Collision, Drawing, SeriesCount };
    using Sample = std::array<float, SeriesCount>;
    static constexpr int kSamples = 600;

    void add(const Sample& sample);
    void clear() { count = next = 0; }
    int size() const { return count; }
    // Sample i of a series, 0 the oldest kept.
    float at(Series s, int i) const { return ring[(next - count + i + kSamples) % kSamples][s]; }
    float last(Series s) const { return count ? at(s, count - 1) : 0.0f; }

private:
    std::vector<Sample> ring = std::vector<Sample>(kSamples);
    int next = 0, count = 0;
};

// The worlds the panel lists (Page Up and Page Down's), and the open one.
struct PanelWorlds {
    std::vector<std::string> names;
    int current = 0;
};

class SettingsPanel {
public:
    SettingsPanel() = default;
    ~SettingsPanel();
    SettingsPanel(const SettingsPanel&) = delete;
    SettingsPanel& operator=(const SettingsPanel&) = delete;

    // Shows or hides it, and says so on the console.
    void toggle();
    // One sample an update: the world's energy, its step's split (which the world
    // measures while asked to: ParScene::timeSteps) and drawSeconds.
    void sample(const ParScene& world);
    // Over the window, top right; needs the GL context. Display switches change at once;
    // what changes the world waits in the panel for deliver.
    void draw(int width, int height, const ParScene& world, DisplaySettings& display, const PanelWorlds& worlds);
    // Hands what the last draws asked for on: world inputs to sendInput, a world to
    // openWorld. Returns whether a single step was among them: it stands for the cycle's
    // update, as 'n' does.
    bool deliver();

    // Window events in GLUT's pixels (y down). An event the panel takes, the program never
    // sees: a press over the panel (or anywhere while its world list is open) and that
    // button's release, and a key pressed while the cursor is over it. Motion and key
    // releases reach the program as well.
    bool mouseButton(int button, int state, int x, int y);
    void motion(int x, int y);
    bool key(unsigned char key, int x, int y);
    void keyUp(unsigned char key, int x, int y);
    bool specialKey(int key, int x, int y);
    void specialKeyUp(int key, int x, int y);

    // Frees ImGui and its font texture while the GL context lives.
    void release();

    // Its pages, one shown at a time under their tabs.
    enum Page { WorldPage, TimePage, PhysicsPage, DisplayPage, PlotPage, PageCount };
    // Shows a page at the next draw, as a click on its tab does.
    void showPage(Page page) { pageWanted = page; }

    bool visible = false;
    double drawSeconds = 0;  // the last frame's drawing, set by whoever draws the frames
    std::function<void(const WorldInput&)> sendInput;
    std::function<void(int index)> openWorld;
    PanelHistory history;

private:
    void start();
    bool over(int x, int y) const;
    void drawBackground(int width, int height) const;
    void queue(WorldInput::Kind kind, float value = 0) { outbox.push_back({kind, Ray{}, value}); }
    void worldSection(const ParScene& world, const PanelWorlds& worlds);
    void timeSection(const ParScene& world);
    void physicsSection(const ParScene& world);
    void displaySection(DisplaySettings& display);
    void plotSection();

    ImGuiContext* context = nullptr;
    int pageWanted = -1;
    std::vector<WorldInput> outbox;
    int worldChosen = -1;
    // The slow-motion factor play runs at; while playing it is the world's own.
    float slowMotion = 1;
    int mouseX = 0, mouseY = 0;
    // The panel's window and its open list at the last frame, GLUT's pixels.
    float box[4] = {0, 0, 0, 0};
    bool listOpen = false;
    // Buttons pressed over the panel, whose release is the panel's too; presses no frame
    // has seen yet, whose release waits a frame so that a quick click still counts.
    int ownedButtons = 0, unseenPresses = 0, lateReleases = 0;
};

// The panel's layout, shared with whoever clicks it by place.
constexpr int kPanelWidth = 280;
constexpr int kPanelMargin = 8;
