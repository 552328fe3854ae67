// One scene update with both pools full: emission, glow and emitter ageing, the RK4
// step and the collision pass of ~3000 children bouncing on a floor instance; one
// update of each world of the gallery, three seconds into its play; and taking and
// putting back a snapshot of the default world.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "scene/parscene.h"
#include "scene/snapshot.h"
#include "scene/timeline.h"

#ifdef TV_HAVE_GL_CONTEXT
#include <unistd.h>

#include "support/glcontext.h"
#endif

namespace {
int frozenClock() { return 0; }

std::unique_ptr<ObjFile> floorModel()
{
    auto m = std::make_unique<ObjFile>();
    m->vertices = {{-500, -500, 0}, {500, -500, 0}, {500, 500, 0}, {-500, 500, 0}};
    ObjTriangle a, b;
    const int ia[3] = {0, 1, 2}, ib[3] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        a.corner[k].vertex = ia[k];
        b.corner[k].vertex = ib[k];
    }
    m->triangles = {a, b};
    m->bounds = BBox::fromPoint(m->vertices[0]);
    for (const Vec3& v : m->vertices) m->bounds.extend(v);
    return m;
}

void BM_UpdateFullPools(benchmark::State& state)
{
    static ParScene scene;
    static std::unique_ptr<ObjFile> model = floorModel();
    ParScene::elapsedMs = frozenClock;
    std::FILE* saved = stdout;
    stdout = std::fopen("/dev/null", "w");  // the one status line
    scene.shutdown();
    scene.parSys.init();
    scene.emittedParticles.init(&scene.parSys);
    ObjInst* floor = new ObjInst;
    floor->setModel(model.get());
    floor->computeWorldVertices();
    floor->computeBox();
    floor->buildBsp(128);
    scene.objects.push_back(floor);
    for (int i = 0; i < 6; ++i) {
        Emitter* e = new Emitter;
        e->particle = scene.parSys.allocParticle();
        e->particle->pos = Vec3(i * 20.0f - 50, 0, 20);
        e->particle->vel = Vec3(0, 0, 0);
        e->particle->invMass = 0;
        e->life = e->remainingLife = 1e9f;
        e->rate = 300;
        e->childVel = Vec3(0, 0, 60);
        e->childSpread = 40;
        e->childLife = 2;
        scene.emitters.push_back(e);
    }
    scene.timeStep = 1.0f / 60;
    for (int i = 0; i < 300; ++i) scene.update();  // fill the pools
    for (auto _ : state) scene.update();
    std::fclose(stdout);
    stdout = saved;
    state.counters["glow"] = scene.emittedParticles.liveCount();
    state.counters["particles"] = scene.parSys.liveCount();
}
}  // namespace

BENCHMARK(BM_UpdateFullPools)->Unit(benchmark::kMicrosecond);

#ifdef TV_HAVE_GL_CONTEXT
namespace {
// A shipped world loaded as the program loads it (its pictures need a GL context), with
// its clock stopped and its echo and status lines out of the report. `ok` when it loaded;
// otherwise the benchmark is marked skipped.
class ShippedWorld {
public:
    ShippedWorld(benchmark::State& state, const std::string& file = "test.scn", Timeline* timeline = nullptr)
    {
        static bool gl = GlContext::make(64, 64);
        if (!gl || chdir(TV_RUN_DIR) != 0) {
            state.SkipWithError("no GL context or no shipped files");
            return;
        }
        ParScene::elapsedMs = frozenClock;
        saved = stdout;
        stdout = std::fopen("/dev/null", "w");
        scene.sceneFile = file;
        if (timeline) timeline->beforeWorldStart(scene);
        ok = scene.init();
        if (timeline) timeline->worldStarted(scene);
        if (!ok) state.SkipWithError("the world did not load");
    }
    ~ShippedWorld()
    {
        if (!saved) return;
        std::fclose(stdout);
        stdout = saved;
    }
    ShippedWorld(const ShippedWorld&) = delete;
    ShippedWorld& operator=(const ShippedWorld&) = delete;

    ParScene scene;
    bool ok = false;

private:
    std::FILE* saved = nullptr;
};

// build/bin/bench_scene --benchmark_filter=Gallery
void BM_Gallery(benchmark::State& state, const char* world, bool rk4)
{
    ShippedWorld shipped(state, std::string(world) == "default" ? "test.scn" : std::string("worlds/") + world + ".scn");
    if (!shipped.ok) return;
    ParScene& scene = shipped.scene;
    scene.setUseRk4(rk4);
    scene.setTimeStep(ParScene::kPlayStep);
    for (int i = 0; i < 180; ++i) scene.update();
    for (auto _ : state) scene.update();
    state.counters["particles"] = scene.parSys.liveCount();
    state.counters["springs"] = scene.springSys.count();
}
}  // namespace

namespace {
// The default world three seconds into its play: taking a snapshot, or putting one back,
// with the memory of one and of the ring a rewind keeps, one a second for 30 s.
// build/bin/bench_scene --benchmark_filter=Snapshot
void BM_Snapshot(benchmark::State& state, bool restore)
{
    ShippedWorld shipped(state);
    if (!shipped.ok) return;
    ParScene& scene = shipped.scene;
    scene.setTimeStep(ParScene::kPlayStep);
    for (int i = 0; i < 180; ++i) scene.update();
    WorldSnapshot snapshot;
    takeSnapshot(scene, snapshot);
    if (restore) {
        for (auto _ : state) benchmark::DoNotOptimize(restoreSnapshot(scene, snapshot));
    } else {
        for (auto _ : state) takeSnapshot(scene, snapshot);
    }
    state.counters["bytes"] = static_cast<double>(snapshot.bytes());
    state.counters["particles"] = scene.parSys.liveCount();
    if (!restore) {
        std::vector<WorldSnapshot> ring(31);
        std::size_t ringBytes = 0;
        for (WorldSnapshot& s : ring) {
            for (int i = 0; &s != &ring[0] && i < 60; ++i) scene.update();
            takeSnapshot(scene, s);
            ringBytes += s.bytes();
        }
        state.counters["ring31_bytes"] = static_cast<double>(ringBytes);
    }
}
}  // namespace

BENCHMARK_CAPTURE(BM_Snapshot, take, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Snapshot, restore, true)->Unit(benchmark::kMicrosecond);

#define TV_GALLERY(name)                                                                                       \
    BENCHMARK_CAPTURE(BM_Gallery, name##_rk4, #name, true)->Unit(benchmark::kMicrosecond);                     \
    BENCHMARK_CAPTURE(BM_Gallery, name##_euler, #name, false)->Unit(benchmark::kMicrosecond)
TV_GALLERY(bridge);
TV_GALLERY(character);
TV_GALLERY(cloth);
TV_GALLERY(landscape);
TV_GALLERY(pressures);
TV_GALLERY(sinks);
TV_GALLERY(default);

namespace {
// What keeping an input costs, on the default world with a particle held: a new mouse ray
// each time, the input a drag sends every update. With BM_Snapshot/take once a second,
// what a recording and rewind add to an update.
// build/bin/bench_scene --benchmark_filter='Timeline|Snapshot'
void BM_TimelineKeepsAnInput(benchmark::State& state)
{
    Timeline timeline;
    ShippedWorld shipped(state, "test.scn", &timeline);
    if (!shipped.ok) return;
    ParScene& scene = shipped.scene;
    const Vec3 eye = scene.startEye();
    const Vec3 blob = scene.springModels.empty() ? Vec3(0, 0, 0) : scene.springModels[0]->vertex[0]->pos;
    timeline.send(scene, {WorldInput::Grab, Ray{eye, blob - eye}, 0});
    Ray r = scene.mouseRay;
    for (auto _ : state) {
        r.direction.y += 1e-6f;
        timeline.send(scene, {WorldInput::MouseRay, r, 0});
    }
}
}  // namespace

BENCHMARK(BM_TimelineKeepsAnInput)->Unit(benchmark::kNanosecond);
#endif
