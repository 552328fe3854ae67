// The golden run: the shipped world played for 600 updates under each integrator, with
// a held, pinned and freed body particle and a fountain started on it, hashed to the
// last bit of every particle. Every run draws the same random sequence and never reads
// the wall clock, so the motion is a pure function of the code and the data files.
//
// New hashes: TV_PRINT_GOLDEN=1 build/bin/test_world --gtest_filter='*GoldenRun*'
// Update the constants only for a change meant to alter the world's motion, and say why
// in the commit.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>

#include "app/input.h"
#include "app/random.h"
#include "app/viewport.h"
#include "scene/parscene.h"
#include "terrain/displaysettings.h"
#include "support/glcontext.h"
#include "support/testutil.h"

namespace {
struct Golden {
    bool rk4;
    const char* hash;
};
void PrintTo(const Golden& g, std::ostream* os) { *os << (g.rk4 ? "rk4 " : "euler ") << g.hash; }

uint64_t mix(uint64_t h, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        h ^= (v >> (8 * i)) & 0xffu;
        h *= 1099511628211ull;
    }
    return h;
}

uint64_t mix(uint64_t h, float f)
{
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return mix(h, bits);
}

std::string hashWorld(const ParScene& s)
{
    uint64_t h = 14695981039346656037ull;
    for (const Particle* p = s.parSys.first(); p; p = p->next)
        for (int a = 0; a < 3; ++a) h = mix(mix(h, p->pos[a]), p->vel[a]);
    for (int n : {s.parSys.liveCount(), s.parSys.createdCount(), s.emittedParticles.liveCount(),
                  s.emittedParticles.createdCount(), s.springSys.count(), static_cast<int>(s.emitters.size())})
        h = mix(h, static_cast<uint32_t>(n));
    char text[19];
    std::snprintf(text, sizeof text, "0x%016" PRIx64, h);
    return text;
}

int zeroClock() { return 0; }

class GoldenRun : public GlTest, public ::testing::WithParamInterface<Golden> {};
}  // namespace

TEST_P(GoldenRun, ShippedWorldMovesExactlyAsRecorded)
{
    const std::string run = TV_RUN_DIR;
    const std::string scn = std::string(TV_SOURCE_DIR) + "/test.scn";
    if (access((run + "/data/par_lum.bmp").c_str(), R_OK) != 0)
        GTEST_SKIP() << "run folder without its data files";
    // The shipped scene, not whatever the run folder's copy has been edited into.
    const std::string dir = scratchDir("golden");
    std::filesystem::create_directory_symlink(run + "/data", dir + "/data");
    std::filesystem::copy_file(scn, dir + "/test.scn");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);

    std::memset(keyTransition, 0, sizeof keyTransition);
    resetDisplaySettings();
    tv::setRandState(1);  // where an unseeded program starts
    int (*savedClock)() = ParScene::elapsedMs;
    ParScene::elapsedMs = zeroClock;

    ParScene world;
    StdoutCapture out;
    out.begin();
    const bool ok = world.init();
    ASSERT_EQ(chdir(cwd), 0);
    world.setUseRk4(GetParam().rk4);
    world.setTimeStep(1.0f / 60);
    SpringObj* blob = world.springSpaces.empty() ? nullptr : world.springSpaces[0];
    Particle* held = nullptr;
    const Vec3 eye = views.main.position;
    for (int u = 1; ok && blob && u <= 600; ++u) {
        std::memset(keyTransition, 0, sizeof keyTransition);
        if (u == 100) {
            // The blob's top corner nearest the camera, taken as a click would.
            held = blob->vertex[4];
            for (Particle* p : blob->vertex)
                if (p->pos.z > held->pos.z - 1 && length(p->pos - eye) < length(held->pos - eye)) held = p;
            world.setMouseRay(Ray{eye, held->pos - eye});
            world.grabParticle(held);
        }
        if (u > 100 && u <= 160) {  // dragged up and to the left
            Ray r = world.mouseRay;
            r.direction = r.direction + Vec3(0, 0.4f, 0.8f);
            world.setMouseRay(r);
        }
        if (u == 160) {  // pinned where it is, as the right button does
            held->invMass = 0;
            held->vel = {0, 0, 0};
        }
        if (u == 200) keyTransition[static_cast<unsigned char>('z')] = KEY_PRESSED;
        if (u == 300) held->invMass = 1;  // freed, still held
        if (u == 360) world.grabParticle(nullptr);
        world.update();
    }
    const std::string printed = out.end();
    ParScene::elapsedMs = savedClock;
    std::memset(keyTransition, 0, sizeof keyTransition);
    ASSERT_TRUE(ok) << printed;
    ASSERT_NE(blob, nullptr);

    const std::string hash = hashWorld(world);
    if (std::getenv("TV_PRINT_GOLDEN"))
        std::fprintf(stderr, "golden %s %s\n", GetParam().rk4 ? "rk4" : "euler", hash.c_str());
    EXPECT_EQ(printed.find("got an out of bounds force"), std::string::npos);
    EXPECT_EQ(hash, GetParam().hash) << "the default world's motion changed";
    world.shutdown();
}

INSTANTIATE_TEST_SUITE_P(Integrators, GoldenRun,
                         ::testing::Values(Golden{true, "0x49071832cab024f6"}, Golden{false, "0xae599cb2b844016c"}),
                         [](const auto& info) { return std::string(info.param.rk4 ? "Rk4" : "Euler"); });
