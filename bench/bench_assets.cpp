// Model loading: a real mesh read with and without its shared-edge list, and the edge
// search alone.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "assets/objfile.h"

namespace {

const std::string kSpot = std::string(TV_CORPUS_DIR) + "/obj/spot.obj";

// The loader reports progress on standard output; keep it out of the figures while a
// benchmark runs, and give the reporter its output back afterwards.
struct QuietStdout {
    QuietStdout()
    {
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        close(null);
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    int saved;
};

void loadSpot(benchmark::State& state, bool withEdges)
{
    QuietStdout quiet;
    ObjFile obj;
    if (!obj.load(kSpot.c_str(), withEdges)) {
        state.SkipWithError("spot.obj not available");
        return;
    }
    for (auto _ : state) {
        obj.load(kSpot.c_str(), withEdges);
        benchmark::DoNotOptimize(obj.edges.data());
    }
    state.counters["triangles"] = double(obj.triangles.size());
}

void BM_LoadSpot(benchmark::State& state) { loadSpot(state, false); }
void BM_LoadSpotWithEdges(benchmark::State& state) { loadSpot(state, true); }

void BM_EdgeSearchSpot(benchmark::State& state)
{
    QuietStdout quiet;
    ObjFile obj;
    if (!obj.load(kSpot.c_str(), false)) {
        state.SkipWithError("spot.obj not available");
        return;
    }
    for (auto _ : state) {
        obj.generateEdges();
        benchmark::DoNotOptimize(obj.edges.data());
    }
    state.counters["edges"] = double(obj.edges.size());
}

}  // namespace

BENCHMARK(BM_LoadSpot)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSpotWithEdges)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EdgeSearchSpot)->Unit(benchmark::kMillisecond);
