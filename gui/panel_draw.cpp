// The settings panel's window: its ImGui layout, drawing and events.
#include <GL/freeglut.h>
#include <imgui.h>
#include <imgui_impl_glut.h>
#include <imgui_impl_opengl2.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <vector>

#include "gui/panel.h"
#include "scene/parscene.h"
#include "terrain/displaysettings.h"
#include "terrain/lodrings.h"

namespace {
// Room left under the panel for the problem line at the bottom of the window.
constexpr int kBannerRoom = 24;

const char* onOff(bool b) { return b ? "on" : "off"; }

// The display switches, the keys that flip them and the lines those keys print.
const struct {
    const char* label;
    const char* key;
    bool DisplaySettings::*flag;
    const char* line;
} kSwitches[] = {
    {"wireframe", "w", &DisplaySettings::wireframe, "wireframe is %s\n"},
    {"mark ground", "c", &DisplaySettings::trackingMouse, "tracking mouse is %s\n"},
    {"freeze detail", "b", &DisplaySettings::lodFreeze, "lod freeze is %s\n"},
    {"white seams", "y", &DisplaySettings::whiteSeams, "white seams are %s\n"},
    {"lod mapping", "m", &DisplaySettings::lodMapping, "lod mapping is %s\n"},
    {"render fast", "h", &DisplaySettings::renderFast, "renderFast is %s\n"},
    {"veg", "g", &DisplaySettings::veg, "veg is %s\n"},
    {"test compile", "t", &DisplaySettings::testCompile, "testCompile is %s\n"},
};

// A slider's value is said once, when the hand lets go of it, not at every frame it moves.
void sayWhenDone(const char* format, double value)
{
    if (ImGui::IsItemDeactivatedAfterEdit()) std::printf(format, value);
}

// Points a line of a plot draws, one every four pixels or so: a segment a sample would
// cost the software rasteriser over a millisecond a frame more and show little more.
constexpr int kPlotPoints = 64;

// A series in at most kPlotPoints buckets, each its largest sample, so that a spike is
// never hidden.
std::vector<float> thinned(const PanelHistory& h, PanelHistory::Series s)
{
    const int n = h.size(), k = std::min(n, kPlotPoints);
    std::vector<float> out(static_cast<size_t>(k));
    for (int x = 0; x < k; ++x) {
        const int from = x * n / k, to = (x + 1) * n / k;
        float v = h.at(s, from);
        for (int i = from + 1; i < to; ++i) v = std::max(v, h.at(s, i));
        out[static_cast<size_t>(x)] = v;
    }
    return out;
}

// One line of a plot: its series, its name and value in the legend, its colour, and
// whether it has a scale of its own.
struct PlotLine {
    PanelHistory::Series series;
    const char* name;
    const char* format;  // the last value in the legend
    ImU32 colour;
    bool ownScale;
};

// Several series in one frame, two legend entries a row under it. Lines that share a scale
// run from 0 to the largest of them; a line with its own runs from its least to its most,
// so that a slow drift fills the frame. One frame for many lines keeps the rasteriser's
// share small: its cost goes with the panel's pixels and triangles.
void plot(const PanelHistory& h, const PlotLine* lines, size_t count, float height)
{
    std::vector<std::vector<float>> series(count);
    float shared = 1e-3f;  // never magnify nothing into noise
    for (size_t k = 0; k < count; ++k) {
        series[k] = thinned(h, lines[k].series);
        if (!lines[k].ownScale)
            for (float v : series[k]) shared = std::max(shared, v);
    }
    const ImVec2 size(ImGui::GetContentRegionAvail().x, height);
    const ImVec2 p0 = ImGui::GetCursorScreenPos();
    ImGui::Dummy(size);
    ImDrawList* draw = ImGui::GetWindowDrawList();
    draw->AddRectFilled(p0, ImVec2(p0.x + size.x, p0.y + size.y), ImGui::GetColorU32(ImGuiCol_FrameBg));
    std::vector<ImVec2> points;
    for (size_t k = 0; k < count; ++k) {
        const std::vector<float>& v = series[k];
        if (v.size() < 2) continue;
        float low = 0, high = shared;
        if (lines[k].ownScale) {
            const auto [least, most] = std::minmax_element(v.begin(), v.end());
            low = *least;
            high = std::max(*most, low + std::max(1e-6f, std::fabs(low) * 1e-7f));
        }
        points.clear();
        for (size_t x = 0; x < v.size(); ++x)
            points.emplace_back(p0.x + static_cast<float>(x) * (size.x - 1) / static_cast<float>(v.size() - 1),
                                p0.y + size.y - 1 - std::clamp((v[x] - low) / (high - low), 0.0f, 1.0f) * (size.y - 2));
        draw->AddPolyline(points.data(), static_cast<int>(points.size()), lines[k].colour, ImDrawFlags_None, 1.0f);
    }
    for (size_t k = 0; k < count; ++k) {
        if (k % 2) ImGui::SameLine(size.x / 2 + 8);
        char value[48];
        std::snprintf(value, sizeof value, lines[k].format, h.last(lines[k].series));
        ImGui::TextColored(ImGui::ColorConvertU32ToFloat4(lines[k].colour), "%s %s", lines[k].name, value);
    }
}
}  // namespace

SettingsPanel::~SettingsPanel()
{
    // Without a GL context by now: the font texture goes with it.
    if (context) ImGui::DestroyContext(context);
}

void SettingsPanel::toggle()
{
    visible = !visible;
    std::printf("settings panel is %s\n", onOff(visible));
    // The plots show the last seconds the panel saw, never an earlier showing's.
    if (visible) history.clear();
    if (!visible && context) {
        // Whatever the panel held is let go: the program never saw those presses.
        for (int b = 0; b < 3; ++b)
            if (ownedButtons & (1 << b)) ImGui_ImplGLUT_MouseFunc(b, GLUT_UP, mouseX, mouseY);
        listOpen = false;
    }
    ownedButtons = unseenPresses = lateReleases = 0;
}

void SettingsPanel::start()
{
    IMGUI_CHECKVERSION();
    context = ImGui::CreateContext();
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    // The program writes no file but the frames it is asked to record.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGuiStyle& style = ImGui::GetStyle();
    style.AntiAliasedLines = false;
    style.AntiAliasedFill = false;
    style.WindowRounding = 0;
    ImGui_ImplGLUT_Init();
    ImGui_ImplOpenGL2_Init();
    io.MousePos = ImVec2(static_cast<float>(mouseX), static_cast<float>(mouseY));
}

void SettingsPanel::release()
{
    if (!context) return;
    ImGui::SetCurrentContext(context);
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplGLUT_Shutdown();
    ImGui::DestroyContext(context);
    context = nullptr;
}

bool SettingsPanel::over(int x, int y) const
{
    if (!visible || !context) return false;
    const float fx = static_cast<float>(x), fy = static_cast<float>(y);
    return fx >= box[0] && fx < box[2] && fy >= box[1] && fy < box[3];
}

bool SettingsPanel::mouseButton(int button, int state, int x, int y)
{
    mouseX = x;
    mouseY = y;
    if (!visible || !context) return false;
    // The wheel: a press and a release a notch, buttons 3 (away) and 4.
    if (button == 3 || button == 4) {
        if (!over(x, y) && !listOpen) return false;
        if (state == GLUT_DOWN) ImGui_ImplGLUT_MouseWheelFunc(0, button == 3 ? 1 : -1, x, y);
        return true;
    }
    if (button < 0 || button > 2) return false;
    const int bit = 1 << button;
    if (state == GLUT_DOWN) {
        // An open list takes the press wherever it falls, as a menu does, to close.
        if (!over(x, y) && !listOpen) return false;
        ownedButtons |= bit;
        unseenPresses |= bit;
    } else {
        if (!(ownedButtons & bit)) return false;
        ownedButtons &= ~bit;
        if (unseenPresses & bit) {
            ImGui_ImplGLUT_MotionFunc(x, y);
            lateReleases |= bit;
            return true;
        }
    }
    ImGui_ImplGLUT_MouseFunc(button, state, x, y);
    return true;
}

void SettingsPanel::motion(int x, int y)
{
    mouseX = x;
    mouseY = y;
    if (visible && context) ImGui_ImplGLUT_MotionFunc(x, y);
}

bool SettingsPanel::key(unsigned char key, int x, int y)
{
    if (!over(x, y)) return false;
    ImGui_ImplGLUT_KeyboardFunc(key, x, y);
    return true;
}

void SettingsPanel::keyUp(unsigned char key, int x, int y)
{
    if (visible && context) ImGui_ImplGLUT_KeyboardUpFunc(key, x, y);
}

bool SettingsPanel::specialKey(int key, int x, int y)
{
    if (!over(x, y)) return false;
    ImGui_ImplGLUT_SpecialFunc(key, x, y);
    return true;
}

void SettingsPanel::specialKeyUp(int key, int x, int y)
{
    if (visible && context) ImGui_ImplGLUT_SpecialUpFunc(key, x, y);
}

void SettingsPanel::draw(int width, int height, const ParScene& world, DisplaySettings& display,
                         const PanelWorlds& worlds)
{
    if (!context) start();
    ImGuiIO& io = ImGui::GetIO();
    io.DisplaySize = ImVec2(static_cast<float>(width), static_cast<float>(height));
    const bool fontMade = io.Fonts->IsBuilt();
    ImGui_ImplOpenGL2_NewFrame();
    if (!fontMade) {
        // The glyphs lie on whole pixels: the nearest texel is what filtering would give,
        // and costs the software rasteriser less.
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(reinterpret_cast<intptr_t>(io.Fonts->TexID)));
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    }
    ImGui_ImplGLUT_NewFrame();
    unseenPresses = 0;

    // As tall as the page shown, and no taller than the window leaves room for: the
    // software rasteriser's time goes with the pixels the panel covers.
    const float most = static_cast<float>(std::max(120, height - 2 * kPanelMargin - kBannerRoom));
    ImGui::SetNextWindowPos(ImVec2(static_cast<float>(width - kPanelWidth - kPanelMargin), kPanelMargin));
    ImGui::SetNextWindowSize(ImVec2(kPanelWidth, 0));
    ImGui::SetNextWindowSizeConstraints(ImVec2(kPanelWidth, 0), ImVec2(kPanelWidth, most));
    // Folded to its title bar, it draws nothing more.
    const bool open = ImGui::Begin("Settings (F2)", nullptr,
                                   ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoSavedSettings |
                                       ImGuiWindowFlags_NoBackground);
    const ImVec2 pos = ImGui::GetWindowPos(), size = ImGui::GetWindowSize();
    box[0] = pos.x;
    box[1] = pos.y;
    box[2] = pos.x + size.x;
    box[3] = pos.y + size.y;
    listOpen = false;
    if (open && ImGui::BeginTabBar("pages")) {
        ImGui::PushItemWidth(-96);  // room for the labels
        static const char* const kPages[PageCount] = {"World", "Time", "Physics", "Display", "Plots"};
        for (int p = 0; p < PageCount; ++p) {
            if (!ImGui::BeginTabItem(kPages[p], nullptr, p == pageWanted ? ImGuiTabItemFlags_SetSelected : 0)) continue;
            switch (p) {
            case WorldPage: worldSection(world, worlds); break;
            case TimePage: timeSection(world); break;
            case PhysicsPage: physicsSection(world); break;
            case DisplayPage: displaySection(display); break;
            default: plotSection(); break;
            }
            ImGui::EndTabItem();
        }
        ImGui::PopItemWidth();
        ImGui::EndTabBar();
    }
    pageWanted = -1;
    ImGui::End();
    ImGui::Render();

    // The backend keeps what it changes but the current colour and the client arrays,
    // which the drawing after it relies on.
    glPushAttrib(GL_CURRENT_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    drawBackground(width, height);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    glPopClientAttrib();
    glPopAttrib();

    for (int b = 0; b < 3; ++b)
        if (lateReleases & (1 << b)) ImGui_ImplGLUT_MouseFunc(b, GLUT_UP, mouseX, mouseY);
    lateReleases = 0;
}

// The window's ground, opaque, under what ImGui draws: filled as ImGui would fill it, with
// a blended and textured quad, it would cost the software rasteriser twice as much.
void SettingsPanel::drawBackground(int width, int height) const
{
    glPushAttrib(GL_ENABLE_BIT | GL_TRANSFORM_BIT | GL_VIEWPORT_BIT);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1);  // ImGui's pixels, y down
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const ImVec4 c = ImGui::GetStyleColorVec4(ImGuiCol_WindowBg);
    glColor3f(c.x, c.y, c.z);
    glRectf(box[0], box[1], box[2], box[3]);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
}

void SettingsPanel::worldSection(const ParScene& world, const PanelWorlds& worlds)
{
    const int count = static_cast<int>(worlds.names.size());
    const char* open = worlds.current >= 0 && worlds.current < count ? worlds.names[worlds.current].c_str() : "";
    if (ImGui::BeginCombo("world", open)) {
        listOpen = true;
        for (int i = 0; i < count; ++i)
            if (ImGui::Selectable(worlds.names[i].c_str(), i == worlds.current) && i != worlds.current) worldChosen = i;
        ImGui::EndCombo();
    }
    if (ImGui::Button("RESET")) queue(WorldInput::Reset);
    ImGui::SameLine();
    const bool paused = world.timeStep == 0;
    if (ImGui::Button(paused ? "PLAY " : "PAUSE"))
        queue(WorldInput::TimeStep, paused ? ParScene::kPlayStep * slowMotion : 0.0f);
    ImGui::SameLine();
    ImGui::BeginDisabled(!paused);
    if (ImGui::Button("STEP")) queue(WorldInput::SingleStep);
    ImGui::EndDisabled();
    int rk4 = world.useRk4 ? 1 : 0;
    const int was = rk4;
    ImGui::RadioButton("RK4", &rk4, 1);
    ImGui::SameLine();
    ImGui::RadioButton("EULER", &rk4, 0);
    ImGui::SameLine();
    ImGui::TextUnformatted("integrator");
    if (rk4 != was) {
        queue(WorldInput::Integrator, static_cast<float>(rk4));
        std::printf("integrator is %s\n", rk4 ? "RK4" : "EULER");
    }
}

void SettingsPanel::timeSection(const ParScene& world)
{
    const bool playing = world.timeStep > 0;
    if (playing) slowMotion = std::clamp(world.timeStep / ParScene::kPlayStep, 0.125f, 1.0f);
    float f = slowMotion;
    if (ImGui::SliderFloat("slow motion", &f, 0.125f, 1.0f, "%.3f", ImGuiSliderFlags_AlwaysClamp)) {
        slowMotion = f;
        if (playing) queue(WorldInput::TimeStep, ParScene::kPlayStep * f);
    }
    sayWhenDone("slow motion is %g\n", slowMotion);
    ImGui::Text("time step %.2f ms%s", 1000 * ParScene::kPlayStep * slowMotion, playing ? "" : ", paused");
}

void SettingsPanel::physicsSection(const ParScene& world)
{
    constexpr ImGuiSliderFlags kClamp = ImGuiSliderFlags_AlwaysClamp;
    constexpr ImGuiSliderFlags kLog = ImGuiSliderFlags_AlwaysClamp | ImGuiSliderFlags_Logarithmic;
    float g = world.gravity;
    if (ImGui::SliderFloat("gravity", &g, 0, 720, "%.0f", kClamp)) queue(WorldInput::Gravity, g);
    sayWhenDone("gravity is %g\n", g);
    float drag = world.airDrag;
    if (ImGui::SliderFloat("air drag", &drag, 0, 4, "%.3f", kLog)) queue(WorldInput::AirDrag, drag);
    sayWhenDone("air drag is %g\n", drag);
    if (ImGui::Button("defaults")) {
        queue(WorldInput::Gravity, kDefaultGravity);
        queue(WorldInput::AirDrag, kDefaultAirDrag);
        std::printf("gravity is %g\nair drag is %g\n", kDefaultGravity, kDefaultAirDrag);
    }
    ImGui::SameLine();
    ImGui::TextDisabled("%g units/s², %g /s", kDefaultGravity, kDefaultAirDrag);

    ImGui::Separator();
    const std::string body = world.tunedBodyName();
    const SpringObj* b = world.tunedBody;
    if (body.empty() || !b || b->spring.empty()) {
        ImGui::TextDisabled("no body: grab a particle of one");
        return;
    }
    ImGui::TextWrapped("body: %s", body.c_str());
    const Spring& first = world.springSys.spring[b->spring.front()];
    float ks = first.ks, kd = first.kd;
    if (ImGui::SliderFloat("ks", &ks, 1, 5000, "%.0f", kLog)) queue(WorldInput::BodyKs, ks);
    sayWhenDone("ks is %g\n", ks);
    if (ImGui::SliderFloat("kd", &kd, 0, 200, "%.2f", kLog)) queue(WorldInput::BodyKd, kd);
    sayWhenDone("kd is %g\n", kd);
    const SpringModel* m = world.tunedSpringModel();
    if (m && m->closed()) {
        float p = m->pressure;
        if (ImGui::SliderFloat("pressure", &p, 0, 2000, "%.0f", kClamp)) queue(WorldInput::BodyPressure, p);
        sayWhenDone("pressure is %g\n", p);
    }
}

void SettingsPanel::displaySection(DisplaySettings& display)
{
    for (size_t i = 0; i < std::size(kSwitches); ++i) {
        if (i % 2) ImGui::SameLine(kPanelWidth / 2);
        bool& flag = display.*kSwitches[i].flag;
        if (ImGui::Checkbox(kSwitches[i].label, &flag)) std::printf(kSwitches[i].line, onOff(flag));
        if (ImGui::IsItemHovered()) ImGui::SetTooltip("key %s", kSwitches[i].key);
    }
    ImGui::SliderInt("detail radius", &display.baseRadius, kMinBaseRadius, kMaxBaseRadius, "%d",
                     ImGuiSliderFlags_AlwaysClamp);
    if (ImGui::IsItemDeactivatedAfterEdit()) std::printf("baseRadius is %d\n", display.baseRadius);
}

void SettingsPanel::plotSection()
{
    static const PlotLine kEnergies[] = {
        {PanelHistory::Kinetic, "kinetic", "%.4g", IM_COL32(255, 160, 60, 255), true},
        {PanelHistory::Gravitational, "height", "%.4g", IM_COL32(110, 220, 110, 255), true},
        {PanelHistory::Spring, "spring", "%.4g", IM_COL32(90, 200, 255, 255), true},
        {PanelHistory::Total, "sum", "%.7g", IM_COL32(255, 255, 255, 255), true}};
    static const PlotLine kTimes[] = {
        {PanelHistory::Forces, "forces", "%.2f ms", IM_COL32(255, 160, 60, 255), false},
        {PanelHistory::Integration, "integrate", "%.2f ms", IM_COL32(110, 220, 110, 255), false},
        {PanelHistory::Collision, "collide", "%.2f ms", IM_COL32(90, 200, 255, 255), false},
        {PanelHistory::Drawing, "draw*", "%.1f ms", IM_COL32(230, 110, 230, 255), true}};
    ImGui::TextUnformatted("energy, 10 s (each its own scale)");
    plot(history, kEnergies, std::size(kEnergies), 56);
    ImGui::TextUnformatted("update and draw*, 10 s (*own scale)");
    plot(history, kTimes, std::size(kTimes), 48);
}
