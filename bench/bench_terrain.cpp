// Terrain timings: one fine tile's noise fill (ours and the straightforward reference
// over the same grid), baking its colours, paging a tile in
// with its texture upload, drawing the landscape from the start camera, and the
// collision pass of 3000 falling particles over the ground.
#include <benchmark/benchmark.h>

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <vector>

#include "view/camera.h"
#include "core/glext.h"
#include "core/random.h"
#include "scene/parscene.h"
#include "terrain/displaysettings.h"
#include "terrain/landscape.h"
#include "terrain/landscapetile.h"
#include "terrain/noise.h"

#ifdef TV_HAVE_GL_CONTEXT
#include "support/glcontext.h"
#endif

namespace {

constexpr int kN = LandscapeTile::kSamples;

// Level-0 tile (3, 5): 10 octaves, persistence 0.5, frequency 1/129, by our fill and by
// the straightforward reference it must match.
void BM_TileFill(benchmark::State& state, decltype(&fillFractalNoise) fill)
{
    std::vector<float> grid(kN * kN);
    for (auto _ : state) {
        fill(grid.data(), kN, kN, 4, 10, 0.5f, 1.0f, 1 / 129.0f, 3 * 128, 5 * 128, 213);
        benchmark::DoNotOptimize(grid.data());
    }
}
BENCHMARK_CAPTURE(BM_TileFill, ours, &fillFractalNoise)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TileFill, reference, &fillFractalNoiseReference)->Unit(benchmark::kMillisecond);

void BM_BakeTexels(benchmark::State& state)
{
    static LandscapeTile tile;
    tile.generate(3, 5, 0, 213);
    std::vector<unsigned char> rgb(128 * 128 * 3);
    for (auto _ : state) {
        tile.bakePixels(Vec3(1024, 1024, 512), 0, rgb.data());
        benchmark::DoNotOptimize(rgb.data());
    }
}
BENCHMARK(BM_BakeTexels)->Unit(benchmark::kMillisecond);

// 3000 particles (radius 1) over the middle of the ground, each falling 3 units in this
// step from between 0.5 and 2.5 units above it, so most touch down and bounce.
void BM_CollisionPass3000(benchmark::State& state)
{
    static ParScene scene;
    static Landscape* land = nullptr;
    struct Start {
        Particle* p;
        Vec3 prev, pos, vel;
    };
    static std::vector<Start> starts;
    if (!land) {
        land = new Landscape;
        std::printf("\n");
        land->create(0, 213);
        land->scale = Vec3(1024, 1024, 512);
        scene.landscapes.push_back(land);
        scene.parSys.init();
        const LandscapeTile& coarse = *land->tileAt(1, 0, 0);
        for (int i = 0; i < 3000; ++i) {
            Particle* p = scene.parSys.allocParticle();
            if (!p) break;
            // Anywhere in cells of the middle of the ground, 0.5 to 2.5 units above it.
            const int gx = 20 + i % 60 + i / 60 % 2 * 30, gy = 20 + i / 60;
            const float fx = (tv::rand() % 1000) / 1000.0f, fy = (tv::rand() % 1000) / 1000.0f;
            const float zA = coarse.height(gx, gy), zB = coarse.height(gx + 1, gy);
            const float zC = coarse.height(gx, gy + 1), zD = coarse.height(gx + 1, gy + 1);
            const float h = fx <= fy ? zA + fy * (zC - zA) + fx * (zD - zC) : zA + fx * (zB - zA) + fy * (zD - zB);
            const float lift = 0.5f + (tv::rand() % 2000) / 1000.0f;
            Vec3 prev(-1024 + (gx + fx) * 16, -1024 + (gy + fy) * 16, h * 512 + 1 + lift);
            starts.push_back({p, prev, prev + Vec3(0.3f, -0.2f, -3), Vec3(18, -12, -180)});
        }
    }
    for (auto _ : state) {
        for (const Start& s : starts) {
            s.p->prevPos = s.prev;
            s.p->pos = s.pos;
            s.p->vel = s.vel;
        }
        scene.collide();
        benchmark::ClobberMemory();
    }
    int bounced = 0;
    for (const Start& s : starts) bounced += !(s.p->pos == s.pos);
    state.counters["particles"] = static_cast<double>(starts.size());
    state.counters["bounced"] = bounced;
}
BENCHMARK(BM_CollisionPass3000)->Unit(benchmark::kMillisecond);

#ifdef TV_HAVE_GL_CONTEXT
bool haveGl()
{
    static int ok = -1;
    if (ok < 0) {
        std::string error;
        ok = GlContext::make(720, 480, &error) ? 1 : 0;
        if (ok) {
            std::printf("\n");
            probeGlExtensions([](const char* name) { return reinterpret_cast<void*>(eglGetProcAddress(name)); });
            glEnable(GL_DEPTH_TEST);
        } else {
            std::printf("no GL context: %s\n", error.c_str());
        }
    }
    return ok == 1;
}

// Generate, bake and upload one fine tile, as a Shift-click does.
void BM_PageFineTileIn(benchmark::State& state)
{
    if (!haveGl()) {
        state.SkipWithError("no GL context");
        return;
    }
    for (auto _ : state) {
        LandscapeTile* tile = new LandscapeTile;
        tile->generate(3, 5, 0, 213);
        tile->bakeTexture(Vec3(1024, 1024, 512), 3, 5, 0);
        glFinish();
        state.PauseTiming();
        delete tile;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PageFineTileIn)->Unit(benchmark::kMillisecond);

// The whole landscape (coarse tile and the centre fine tile) from the start camera,
// (-100, 0, 30) looking along +x, over ground lowered so that the camera is above it.
void BM_RenderFromStartCamera(benchmark::State& state)
{
    if (!haveGl()) {
        state.SkipWithError("no GL context");
        return;
    }
    static Landscape* land = nullptr;
    if (!land) {
        land = new Landscape;
        land->create(0, 213);
        land->scale = Vec3(1024, 1024, 512);
        land->position = Vec3(0, 0, -400);
        land->buildTileTextures();
    }
    const DisplaySettings display;
    Camera camera;
    camera.position = Vec3(-100, 0, 30);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glFrustum(-0.25, 0.25, -0.25 * 480 / 720, 0.25 * 480 / 720, 0.25, 20000);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        gluLookAt(-100, 0, 30, 0, 0, 30, 0, 0, 1);
        land->render(camera, display);
        glFinish();
    }
}
BENCHMARK(BM_RenderFromStartCamera)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
