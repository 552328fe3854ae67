// Spring bodies and object instances under load:
//  - the collision pass of 3000 particles raining onto a teapot instance (6320 faces),
//    with the triangle tests per trace against testing every face;
//  - one force pass of a spring model built from the cow model (2930 particles, 8784
//    edge springs, 5856 triangles of angle forces), with and without a gas inside, and
//    the angle and pressure terms alone;
//  - building the cow's spring model again and again, alone and with a cloth's springs;
//  - a 54 × 54 cloth stepped by the scene under Euler and RK4, free and with its border
//    pinned.
// The models come from the shared corpus; their benchmarks are skipped when it is absent.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/random.h"
#include "physics/cloth.h"
#include "scene/parscene.h"

namespace {

const std::string corpus = TV_CORPUS_DIR "/obj/";

float unit() { return tv::rand() / 32767.0f; }

void BM_RainOnTeapot(benchmark::State& state)
{
    ObjFile mesh;
    if (!mesh.load((corpus + "teapot.obj").c_str(), false)) {
        state.SkipWithError("teapot.obj not found");
        return;
    }
    ParScene scene;
    scene.parSys.init();
    auto* inst = new ObjInst;  // owned by the scene from here on
    inst->setModel(&mesh);
    inst->scale = Vec3(8, 8, 8);
    inst->transform.rot = fromAxisAngle(Vec3(1, 0, 0), 90);  // the model's +y up becomes +z
    inst->computeWorldVertices();
    inst->computeBox();
    inst->buildBsp(128);
    scene.objects.push_back(inst);

    // Rain over the whole footprint, from the ground to well above the lid, each drop
    // moving about half a unit this step.
    const BBox& b = inst->box;
    std::vector<Vec3> from, to;
    for (int i = 0; i < MAX_PARTICLES; ++i) {
        Particle* p = scene.parSys.allocParticle();
        p->invMass = 1;
        Vec3 s(b.min.x - 2 + unit() * (b.max.x - b.min.x + 4), b.min.y - 2 + unit() * (b.max.y - b.min.y + 4),
               b.min.z + unit() * (b.max.z - b.min.z + 10));
        from.push_back(s);
        to.push_back(s + Vec3(unit() - 0.5f, unit() - 0.5f, -0.5f));
    }
    long long traces = 0;
    for (auto _ : state) {
        int i = 0;
        for (Particle* p = scene.parSys.first(); p; p = p->next, ++i) {
            p->prevPos = from[i];
            p->pos = to[i];
            p->vel = Vec3(0, 0, -30);
        }
        inst->sweepCount = 0;
        inst->triangleTests = 0;
        scene.collide();
        traces += inst->sweepCount;
        benchmark::DoNotOptimize(scene.parSys.first()->pos);
    }
    const double steps = static_cast<double>(state.iterations());
    state.counters["traces/step"] = traces / steps;
    state.counters["tests/trace"] = inst->sweepCount ? double(inst->triangleTests) / double(inst->sweepCount) : 0;
    state.counters["brute tests/trace"] = static_cast<double>(mesh.triangles.size());
    scene.objects.clear();
    delete inst;
}
BENCHMARK(BM_RainOnTeapot)->Unit(benchmark::kMillisecond);

void BM_CowForcePass(benchmark::State& state)
{
    ObjFile mesh;
    if (!mesh.load((corpus + "spot.obj").c_str(), true)) {
        state.SkipWithError("spot.obj not found");
        return;
    }
    ParScene scene;
    scene.parSys.init();
    auto* body = new SpringModel;
    body->init(&scene.parSys, &scene.springSys);
    if (!body->buildFromModel(&mesh)) {
        state.SkipWithError("build failed");
        delete body;
        return;
    }
    body->scale(Vec3(10, 10, 10));
    scene.springModels.push_back(body);
    // 0: whole force pass, 1: angle forces only, 2: pressure only, 3: whole with pressure.
    const int64_t mode = state.range(0);
    if (mode >= 2) {
        if (!body->setPressure(100)) {
            state.SkipWithError("the cow's mesh is not closed");
            scene.springModels.clear();
            delete body;
            return;
        }
        body->scale(Vec3(1, 1, 0.8f));  // squashed, so the gas pushes
    }
    for (auto _ : state) {
        if (mode == 1)
            body->applyAngleForces();
        else if (mode == 2)
            body->applyPressureForces();
        else
            scene.computeForces();
        benchmark::DoNotOptimize(body->vertex[0]->force);
    }
    const char* labels[] = {"whole force pass", "angle forces only", "pressure only", "whole force pass with pressure"};
    state.SetLabel(labels[mode]);
    state.counters["particles"] = static_cast<double>(body->vertex.size());
    state.counters["springs"] = static_cast<double>(body->spring.size());
    state.counters["triangles"] = static_cast<double>(mesh.triangles.size());
    scene.springModels.clear();
    delete body;
}
BENCHMARK(BM_CowForcePass)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// Building the cow's body again and again: each build gives the last one's 2930
// particles and 8784 springs back and takes them again, lowest free spring slot first.
// The argument is how many springs of other bodies hold the slots before the body's.
void BM_CowBuild(benchmark::State& state)
{
    ObjFile mesh;
    if (!mesh.load((corpus + "spot.obj").c_str(), true)) {
        state.SkipWithError("spot.obj not found");
        return;
    }
    ParScene scene;
    scene.parSys.init();
    for (int64_t i = 0; i < state.range(0); ++i) scene.springSys.allocSpring();
    SpringModel body;
    body.init(&scene.parSys, &scene.springSys);
    for (auto _ : state) {
        if (!body.buildFromModel(&mesh)) {
            state.SkipWithError("build failed");
            break;
        }
        benchmark::DoNotOptimize(body.vertex[0]->pos);
    }
    state.counters["springs"] = static_cast<double>(body.spring.size());
    state.counters["slots"] = static_cast<double>(scene.springSys.count());
}
BENCHMARK(BM_CowBuild)->Arg(0)->Arg(20000)->Unit(benchmark::kMillisecond);

// Argument 0: 0 Euler, 1 RK4; argument 1: 1 pins the border.
void BM_ClothStep(benchmark::State& state)
{
    ParScene scene;
    scene.parSys.init();
    Cloth cloth;
    if (!cloth.init(54, &scene.parSys, &scene.springSys, nullptr)) {
        state.SkipWithError("cloth build failed");
        return;
    }
    cloth.scale(Vec3(60, 60, 1));
    cloth.restretch();
    if (state.range(1)) cloth.pinBorder();
    scene.setUseRk4(state.range(0) != 0);
    // Explicit Euler at 1/60 s is unstable for these springs once the sheet stretches, so
    // every step starts again from the first settled step: the cost of a step is the
    // same whatever the state, but an exploding sheet would time the console instead.
    scene.step(1.0f / 60);
    std::vector<Vec3> pos, vel;
    for (Particle* p : cloth.vertex) {
        pos.push_back(p->pos);
        vel.push_back(p->vel);
    }
    for (auto _ : state) {
        state.PauseTiming();
        for (size_t i = 0; i < pos.size(); ++i) {
            cloth.vertex[i]->pos = pos[i];
            cloth.vertex[i]->vel = vel[i];
        }
        state.ResumeTiming();
        scene.step(1.0f / 60);
        benchmark::DoNotOptimize(cloth.vertex[100]->pos);
    }
    state.counters["particles"] = static_cast<double>(cloth.vertex.size());
    state.counters["springs"] = static_cast<double>(cloth.spring.size());
    state.SetLabel(std::string(state.range(0) ? "rk4" : "euler") + (state.range(1) ? " pinned" : " free"));
}
BENCHMARK(BM_ClothStep)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMicrosecond);

}  // namespace
