// Whole frames of the default world in a real window, as the user sees them: the idle
// cycle (mouse ray, button bar, keys, update) followed by the draw (every viewport, the
// button bar, the swap). The world plays with a blob particle held in the middle of the
// view and the 'z' key pressed twice a second, so the particle and glow pools stay full.
//
// Needs an X display; tools/framebench.sh starts a private virtual one and runs this.
// Counters: fps (frames per wall-clock second), update_ms (the scene update's share of
// each frame), all_threads_cpu_ms (CPU time of every thread per frame, steadier than the
// wall clock on a busy machine), par and glow (live records at the end, out of 3000 each).
#include <benchmark/benchmark.h>

#include <GL/freeglut.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/control.h"
#include "core/input.h"
#include "app/shell.h"
#include "view/viewport.h"
#include "gui/gui.h"
#include "gui/overlay.h"
#include "gui/panel.h"
#include "scene/parscene.h"

namespace {

using Clock = std::chrono::steady_clock;

// CPU seconds of every thread of the process: the software rasteriser's threads included.
double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + 1e-6 * (u.ru_utime.tv_usec + u.ru_stime.tv_usec);
}

constexpr int kWidth = 720;
constexpr int kHeight = 480;
constexpr int kFountainEvery = 30;  // frames between 'z' presses

// The benchmark's one application, made when the first benchmark starts the world.
Application* app = nullptr;
int frameNumber = 0;
double updateSeconds = 0;

// One frame, step for step as the program's idle callback runs it, with the update timed.
void frame()
{
    app->keys.down[static_cast<unsigned char>('z')] = (frameNumber % kFountainEvery == 0) ? 1 : 0;
    ++frameNumber;

    readInput(*app);
    app->panel.deliver();
    app->scene.timeSteps = app->panel.visible;
    app->scene.fountainRequested = app->keys.pressed('z');
    const Clock::time_point t0 = Clock::now();
    app->scene.update();
    updateSeconds += std::chrono::duration<double>(Clock::now() - t0).count();
    if (app->panel.visible) app->panel.sample(app->scene);
    toggleDisplaySwitches(app->keys, app->scene.display);
    app->scene.trackMouse();
    drawSequence(*app);
    glutMainLoopEvent();
}

bool started = false;

// The program's console lines (loading, the status line every second) go nowhere while
// frames run; the benchmark's own report needs the real output back between runs.
class QuietConsole {
public:
    QuietConsole()
    {
        std::fflush(stdout);
        saved = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        if (null >= 0) {
            dup2(null, 1);
            close(null);
        }
    }
    ~QuietConsole()
    {
        std::fflush(stdout);
        if (saved >= 0) {
            dup2(saved, 1);
            close(saved);
        }
    }
    QuietConsole(const QuietConsole&) = delete;
    QuietConsole& operator=(const QuietConsole&) = delete;

private:
    int saved = -1;
};

void startWorld()
{
    if (started) return;
    started = true;
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "bench_frame needs an X display; run tools/framebench.sh\n");
        std::exit(1);
    }
    if (chdir(TV_RUN_DIR) != 0) {
        std::fprintf(stderr, "cannot enter the run folder %s\n", TV_RUN_DIR);
        std::exit(1);
    }
    int argc = 1;
    char name[] = "bench_frame";
    char* argv[] = {name, nullptr};
    openWindow(&argc, argv);
    app = new Application;  // lives as long as the process, like the window
    glutDisplayFunc([] {});
    glutReshapeFunc([](int w, int h) { onReshape(*app, w, h); });
    glutKeyboardFunc([](unsigned char k, int x, int y) { onKeyboard(*app, k, x, y); });
    glutKeyboardUpFunc([](unsigned char k, int x, int y) { onKeyboardUp(*app, k, x, y); });
    if (!initChain(*app, glxLoader)) {
        std::fprintf(stderr, "the default world did not start\n");
        std::exit(1);
    }
    onReshape(*app, kWidth, kHeight);
    for (int i = 0; i < 10; ++i) glutMainLoopEvent();
    onReshape(*app, kWidth, kHeight);

    // Play, then hold a particle of the blob under the cursor in the middle of the view.
    app->scene.setTimeStep(1.0f / 60.0f);
    onPassiveMotion(*app, kWidth / 2, kHeight / 2);
    onMouseButton(*app, GLUT_LEFT_BUTTON, GLUT_DOWN, kWidth / 2, kHeight / 2, 0);
    if (!app->scene.springModels.empty() && !app->scene.springModels[0]->vertex.empty())
        app->scene.grabParticle(app->scene.springModels[0]->vertex[0]);

    // Ten seconds of play fill the pools before anything is measured.
    for (int i = 0; i < 600; ++i) frame();
}

void setViews(bool single)
{
    if (app->input.singleView == single) return;
    app->input.singleView = single;
    rebuildViewList(app->views, single);
}

void runFrames(benchmark::State& state, bool single, bool help = false, bool panel = false)
{
    QuietConsole quiet;
    startWorld();
    setViews(single);
    app->helpOverlay.visible = help;
    if (app->panel.visible != panel) app->panel.toggle();
    // Its tallest page, with the most to draw.
    app->panel.showPage(SettingsPanel::PlotPage);
    for (int i = 0; i < 30; ++i) frame();
    updateSeconds = 0;
    int frames = 0;
    const double cpuStart = processCpuSeconds();
    const Clock::time_point start = Clock::now();
    for (auto _ : state) {
        frame();
        ++frames;
    }
    glFinish();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["fps"] = frames / seconds;
    state.counters["update_ms"] = 1000 * updateSeconds / frames;
    state.counters["all_threads_cpu_ms"] = 1000 * (processCpuSeconds() - cpuStart) / frames;
    state.counters["par"] = app->scene.parSys.liveCount();
    state.counters["glow"] = app->scene.emittedParticles.liveCount();
    app->helpOverlay.visible = false;
    if (app->panel.visible) app->panel.toggle();
}

// One layer drawn by itself and finished, each time: its own time (less a second, empty
// finish's) as `counter`, and the CPU of every thread a draw.
template <class Draw>
void timeLayer(benchmark::State& state, const char* counter, Draw draw)
{
    double drawn = 0, idle = 0;
    int draws = 0;
    const double cpuStart = processCpuSeconds();
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        draw();
        glFinish();
        const Clock::time_point t1 = Clock::now();
        glFinish();
        idle += std::chrono::duration<double>(Clock::now() - t1).count();
        drawn += std::chrono::duration<double>(t1 - t0).count();
        ++draws;
    }
    state.counters[counter] = 1000 * (drawn - idle) / draws;
    state.counters["all_threads_cpu_ms"] = 1000 * (processCpuSeconds() - cpuStart) / draws;
}

// The help overlay by itself over the last frame, finished each time: its own cost,
// which the whole-frame pair shows only through their noise. overlay_ms takes away the
// wait of an empty glFinish, timed right after each draw.
void BM_HelpOverlayAlone(benchmark::State& state)
{
    QuietConsole quiet;
    startWorld();
    setViews(true);
    app->helpOverlay.visible = true;
    OverlayFigures figures;
    timeLayer(state, "overlay_ms", [&] { app->helpOverlay.draw(kWidth, kHeight, figures); });
    app->helpOverlay.visible = false;
}

// The settings panel by itself over the last frame, its plots full (ten seconds of the
// world as it stands), finished each time, as the overlay is above.
void BM_SettingsPanelAlone(benchmark::State& state)
{
    QuietConsole quiet;
    startWorld();
    setViews(true);
    app->panel.toggle();
    app->panel.showPage(SettingsPanel::PlotPage);
    frame();
    for (int i = 0; i < PanelHistory::kSamples; ++i) app->panel.sample(app->scene);
    timeLayer(state, "panel_ms",
              [] { app->panel.draw(kWidth, kHeight, app->scene, app->scene.display, PanelWorlds{{"default"}, 0}); });
    app->panel.toggle();
}

void BM_FrameSingleView(benchmark::State& state) { runFrames(state, true); }
void BM_FrameSingleViewWithPanel(benchmark::State& state) { runFrames(state, true, false, true); }
void BM_FrameFourViews(benchmark::State& state) { runFrames(state, false); }
void BM_FrameSingleViewWithHelp(benchmark::State& state) { runFrames(state, true, true); }

BENCHMARK(BM_FrameSingleView)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameSingleViewWithHelp)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();
// The single view with the settings panel on: run it right after the single view alone
// (--benchmark_filter='FrameSingleView(WithPanel)?/') to compare.
BENCHMARK(BM_FrameSingleViewWithPanel)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameFourViews)->Iterations(300)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_HelpOverlayAlone)->Iterations(300)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_SettingsPanelAlone)->Iterations(300)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
