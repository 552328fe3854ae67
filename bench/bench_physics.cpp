// One physics step (forces, integration, collision pass) of a hanging sheet of 3000
// particles joined by structural, shear and bend springs, under Euler and RK4.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "scene/parscene.h"

namespace {
std::atomic<long> allocations{0};

constexpr int kCols = 60, kRows = 50;  // 3000 particles

void link(ParScene& s, Particle* a, Particle* b, float ks, float kd)
{
    const int i = s.springSys.allocSpring();
    Spring& sp = s.springSys.spring[i];
    sp.p0 = a;
    sp.p1 = b;
    sp.rest = length(a->pos - b->pos);
    sp.ks = ks;
    sp.kd = kd;
}

void buildSheet(ParScene& s)
{
    s.springSys.spring.clear();  // each run starts from a fresh sheet
    s.parSys.init();
    s.emittedParticles.init(&s.parSys);
    Particle* grid[kRows][kCols];
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            Particle* p = s.parSys.allocParticle();
            p->pos = Vec3(c * 2.0f, 0, 200 - r * 2.0f);
            p->vel = Vec3(0, 0, 0);
            p->invMass = (r == 0 && (c == 0 || c == kCols - 1)) ? 0 : 1;
            grid[r][c] = p;
        }
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            if (c + 1 < kCols) link(s, grid[r][c], grid[r][c + 1], 300, 7.5f);
            if (r + 1 < kRows) link(s, grid[r][c], grid[r + 1][c], 300, 7.5f);
            if (c + 1 < kCols && r + 1 < kRows) {
                link(s, grid[r][c], grid[r + 1][c + 1], 200, 5);
                link(s, grid[r][c + 1], grid[r + 1][c], 200, 5);
            }
            if (c + 2 < kCols) link(s, grid[r][c], grid[r][c + 2], 100, 2.5f);
            if (r + 2 < kRows) link(s, grid[r][c], grid[r + 2][c], 100, 2.5f);
        }
}

// The sheet falls away from its two pinned corners; every 40 steps (well before it
// tears itself apart under explicit Euler) its start state is restored with the clock
// stopped.
void stepSheet(benchmark::State& state, bool rk4)
{
    static ParScene scene;  // large: keep it off the stack
    static std::vector<Particle> start;
    if (start.empty()) {
        buildSheet(scene);
        for (Particle* p = scene.parSys.first(); p; p = p->next) start.push_back(*p);
    }
    scene.useRk4 = rk4;
    int steps = 0;
    long untimed = 0;
    const long before = allocations.load();
    for (auto _ : state) {
        if (steps++ % 40 == 0) {
            state.PauseTiming();
            const long a = allocations.load();
            size_t k = 0;
            for (Particle* p = scene.parSys.first(); p; p = p->next, ++k) {
                p->pos = start[k].pos;
                p->vel = start[k].vel;
            }
            untimed += allocations.load() - a;
            state.ResumeTiming();
        }
        scene.step(1.0f / 60);
    }
    state.counters["allocs_per_step"] =
        benchmark::Counter(double(allocations.load() - before - untimed), benchmark::Counter::kAvgIterations);
    state.counters["springs"] = scene.springSys.count();
    state.counters["particles"] = scene.parSys.liveCount();
}

void BM_StepEuler(benchmark::State& state) { stepSheet(state, false); }
void BM_StepRK4(benchmark::State& state) { stepSheet(state, true); }
}  // namespace

BENCHMARK(BM_StepEuler)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StepRK4)->Unit(benchmark::kMicrosecond);

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// Counts every heap allocation so a step that allocates shows up in the counters.
void* operator new(std::size_t n)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
