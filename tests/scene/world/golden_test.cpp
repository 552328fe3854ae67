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

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <string>

#include "core/random.h"
#include "physics/springmodel.h"
#include "scene/parscene.h"
#include "scene/snapshot.h"
#include "scene/worldhash.h"
#include "scene/worldinput.h"
#include "terrain/landscapetile.h"
#include "support/glcontext.h"
#include "support/testutil.h"

namespace {
struct Golden {
    bool rk4;
    const char* hash;
};
void PrintTo(const Golden& g, std::ostream* os) { *os << (g.rk4 ? "rk4 " : "euler ") << g.hash; }

std::string hashWorld(const ParScene& s) { return hashText(worldHash(s)); }

int zeroClock() { return 0; }

class GoldenRun : public GlTest, public ::testing::WithParamInterface<Golden> {};
}  // namespace

// Builds the shipped world (the checkout's scene, not whatever the run folder's copy has
// been edited into) with its clock stopped; its own random stream starts where an
// unseeded program's does.
class ShippedWorld {
public:
    bool available() const
    {
        return access((std::string(TV_RUN_DIR) + "/data/par_lum.bmp").c_str(), R_OK) == 0;
    }
    // `scene` counts from the checkout; the world reads it from the scratch folder's root.
    bool load(ParScene& world, StdoutCapture& out, const std::string& scene = "test.scn")
    {
        const std::string run = TV_RUN_DIR;
        const std::string dir = scratchDir("golden");
        std::filesystem::create_directory_symlink(run + "/data", dir + "/data");
        std::filesystem::create_symlink(run + "/bone.bmp", dir + "/bone.bmp");
        const std::string name = std::filesystem::path(scene).filename();
        std::filesystem::copy_file(std::string(TV_SOURCE_DIR) + "/" + scene, dir + "/" + name);
        world.sceneFile = name;
        char cwd[4096];
        if (!getcwd(cwd, sizeof cwd) || chdir(dir.c_str()) != 0) return false;
        if (!savedClock) savedClock = ParScene::elapsedMs;  // loaded twice, the first is kept
        ParScene::elapsedMs = zeroClock;
        out.begin();
        const bool ok = world.init();
        return chdir(cwd) == 0 && ok;
    }
    ~ShippedWorld()
    {
        if (savedClock) ParScene::elapsedMs = savedClock;
    }

private:
    int (*savedClock)() = nullptr;
};

// What the golden run's hand does before each update: takes the blob's top corner nearest
// the camera at update 100, drags it up and to the left, pins it, asks for a fountain,
// frees it and lets go.
struct GoldenHand {
    Particle* held = nullptr;
    void before(ParScene& world, int u)
    {
        SpringModel* blob = world.springModels[0];
        const Vec3 eye = world.startEye();
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
        world.fountainRequested = u == 200;
        if (u == 300) held->invMass = 1;  // freed, still held
        if (u == 360) world.grabParticle(nullptr);
    }
};

constexpr const char* kGoldenRk4 = "0x839c1a1f15cd80ee";
constexpr const char* kGoldenEuler = "0xd17705ab8115d720";

TEST_P(GoldenRun, ShippedWorldMovesExactlyAsRecorded)
{
    ShippedWorld shipped;
    if (!shipped.available()) GTEST_SKIP() << "run folder without its data files";
    ParScene world;
    StdoutCapture out;
    const bool ok = shipped.load(world, out);
    world.setUseRk4(GetParam().rk4);
    world.setTimeStep(1.0f / 60);
    SpringModel* blob = world.springModels.empty() ? nullptr : world.springModels[0];
    // The blob's shape as it goes: its height over its width against the same at rest,
    // and its volume against its rest volume, from the impact on (first below 97 %).
    auto aspect = [&] {
        BBox b = BBox::empty();
        for (const Particle* p : blob->vertex) b.extend(p->pos);
        const Vec3 size = b.max - b.min;
        return size.z / std::max(size.x, size.y);
    };
    const float restAspect = blob ? aspect() : 0;
    int impact = 0, recovered = 0;
    float landedAspect = 0;
    GoldenHand hand;
    for (int u = 1; ok && blob && u <= 600; ++u) {
        hand.before(world, u);
        world.update();
        const float volume = blob->volume() / blob->restVolume;
        if (!impact && volume < 0.97f) impact = u;
        if (impact && !recovered && u > impact + 2 && volume >= 0.85f) recovered = u;
        if (u == 99) landedAspect = aspect() / restAspect;
    }
    const std::string printed = out.end();
    ASSERT_TRUE(ok) << printed;
    ASSERT_NE(blob, nullptr);

    const std::string hash = hashWorld(world);
    if (std::getenv("TV_PRINT_GOLDEN"))
        std::fprintf(stderr, "golden %s %s\n", GetParam().rk4 ? "rk4" : "euler", hash.c_str());
    EXPECT_EQ(printed.find("got an out of bounds force"), std::string::npos);
    // Squashed by its fall, it springs back within two seconds and rests round, not as a
    // puddle; grabbed, stretched, pinned and let go, it ends whole and full.
    EXPECT_GT(impact, 0);
    EXPECT_GT(recovered, 0);
    EXPECT_LE(recovered - impact, 120);
    EXPECT_GE(landedAspect, 0.5f);
    EXPECT_NEAR(blob->volume() / blob->restVolume, 1.0f, 0.15f);
    for (int k : blob->spring) {
        const Spring& sp = world.springSys.spring[k];
        const float stretch = length(sp.p0->pos - sp.p1->pos) / sp.rest;
        EXPECT_TRUE(stretch > 0.5f && stretch < 2.0f) << "spring " << k << " at " << stretch << " of its rest length";
    }
    EXPECT_EQ(hash, GetParam().hash) << "the default world's motion changed";
    world.shutdown();
}

INSTANTIATE_TEST_SUITE_P(Integrators, GoldenRun,
                         ::testing::Values(Golden{true, kGoldenRk4}, Golden{false, kGoldenEuler}),
                         [](const auto& info) { return std::string(info.param.rk4 ? "Rk4" : "Euler"); });

// The world is a value: two copies of the shipped world in one process, one under each
// integrator, stepped turn about by the same hand, each reach the hash it reaches alone.
class GoldenWorlds : public GlTest {};

TEST_F(GoldenWorlds, TwoWorldsSideBySideEachMoveAsAlone)
{
    ShippedWorld shipped;
    if (!shipped.available()) GTEST_SKIP() << "run folder without its data files";
    ParScene worlds[2];
    GoldenHand hands[2];
    StdoutCapture out;
    bool ok = shipped.load(worlds[0], out);
    out.end();
    ok = ok && shipped.load(worlds[1], out);
    const std::string printed = out.end();
    ASSERT_TRUE(ok) << printed;
    worlds[0].setUseRk4(true);
    worlds[1].setUseRk4(false);
    out.begin();
    for (ParScene& w : worlds) w.setTimeStep(ParScene::kPlayStep);
    for (int u = 1; u <= 600; ++u)
        for (int k = 0; k < 2; ++k) {
            hands[k].before(worlds[k], u);
            worlds[k].update();
        }
    out.end();
    EXPECT_EQ(hashWorld(worlds[0]), kGoldenRk4);
    EXPECT_EQ(hashWorld(worlds[1]), kGoldenEuler);
    for (ParScene& w : worlds) w.shutdown();
}

namespace {
// Rewinding's hand, before each update: a fine tile paged in at 90, the blob's near top
// corner grabbed at 100, dragged and pinned at 115; a scene emitter set to run out at 140.
// After the snapshot at 120: gravity, air drag and the blob's springs retuned and its gas
// let out at 125, a new gas at 128, a fountain at 135, the corner freed at 145 and let go
// at 150, a source and a sink at 155, the first tile paged out and another in at 160.
struct RewindHand {
    static constexpr int kSnapshot = 120, kEnd = 200;
    Ray tileA, tileB, ground;
    void before(ParScene& world, int u)
    {
        const Vec3 eye = world.startEye();
        tileA = {eye, Vec3(-20, 60, -20) - eye};
        tileB = {eye, Vec3(60, -70, -20) - eye};
        ground = {eye, Vec3(10, 20, -20) - eye};
        auto send = [&](WorldInput::Kind kind, const Ray& ray = {}) { applyInput(world, {kind, ray, 0}); };
        if (u == 90) send(WorldInput::TerrainLoad, tileA);
        if (u == 100) {
            const SpringModel* blob = world.springModels[0];
            const Particle* corner = blob->vertex[4];
            for (const Particle* p : blob->vertex)
                if (p->pos.z > corner->pos.z - 1 && length(p->pos - eye) < length(corner->pos - eye)) corner = p;
            send(WorldInput::Grab, {eye, corner->pos - eye});
        }
        if (u > 100 && u <= 140) send(WorldInput::MouseRay, {eye, world.mouseRay.direction + Vec3(0, 0.4f, 0.8f)});
        if (u == 110) world.emitters[0]->remainingLife = 0.5f;
        if (u == 125) {  // the settings panel; the held corner's body is the blob
            world.setGravity(150);
            world.setAirDrag(0.1f);
            world.setBodyKs(500);
            world.setBodyPressure(0);
        }
        if (u == 128) world.setBodyPressure(150);  // its volume now is its rest volume
        if (u == 115 || u == 145) send(WorldInput::Pin);
        world.fountainRequested = u == 135;
        if (u == 150) send(WorldInput::Release);
        if (u == 155) {
            send(WorldInput::Source, ground);
            send(WorldInput::Sink, ground);
        }
        if (u == 160) {
            send(WorldInput::TerrainUnload, tileA);
            send(WorldInput::TerrainLoad, tileB);
        }
    }
};

struct Paged {
    int tiles;
    const LandscapeTile* a;
    const LandscapeTile* b;
};
// The landscape's tile count and the fine tiles under the hand's two paging rays.
Paged paged(const Landscape& ground, const RewindHand& hand)
{
    auto under = [&](const Ray& ray) -> const LandscapeTile* {
        const float t = (-20 - ray.origin.z) / ray.direction.z;  // both rays end at z = -20
        const Vec3 g = ground.toUnit(ray.origin + ray.direction * t);
        const int n = ground.levelTileCount[0];
        return ground.tileAt(0, static_cast<int>((g.x + 1) / 2 * n), static_cast<int>((g.y + 1) / 2 * n));
    };
    return {ground.tileCount(), under(hand.tileA), under(hand.tileB)};
}

class Rewind : public GlTest, public ::testing::WithParamInterface<bool> {};
}  // namespace

// Put back from a snapshot taken mid-drag and played on by the same hand, the shipped
// world ends to the last bit where the straight run ended: what was made since (the
// fountain, source, sink and tile) is gone first and made again, and what was lost (an
// expired emitter, a paged-out tile) comes back. A world built again refuses the copy.
TEST_P(Rewind, SnapshotPutBackPlaysOnExactly)
{
    ShippedWorld shipped;
    if (!shipped.available()) GTEST_SKIP() << "run folder without its data files";
    ParScene world;
    StdoutCapture out;
    bool ok = shipped.load(world, out);
    const std::string loaded = out.end();
    ASSERT_TRUE(ok) << loaded;
    ASSERT_FALSE(world.springModels.empty());
    ASSERT_FALSE(world.landscapes.empty());
    const Landscape& ground = *world.landscapes[0];
    world.setUseRk4(GetParam());
    world.setTimeStep(ParScene::kPlayStep);
    RewindHand hand;
    WorldSnapshot snapshot;
    uint64_t atSnapshot = 0;
    std::vector<float> heightsA;
    Paged before{};
    auto play = [&](int from, int to) {
        out.begin();
        for (int u = from; u <= to; ++u) {
            hand.before(world, u);
            world.update();
            if (u == RewindHand::kSnapshot && snapshot.empty()) {
                takeSnapshot(world, snapshot);
                atSnapshot = worldHash(world);
                before = paged(ground, hand);
                if (before.a) heightsA.assign(std::begin(before.a->heights), std::end(before.a->heights));
            }
        }
        out.end();
    };
    play(1, RewindHand::kEnd);
    WorldSnapshot late;
    takeSnapshot(world, late);
    const uint64_t straight = worldHash(world);
    const Paged after = paged(ground, hand);
    const size_t emitters = world.emitters.size(), sinks = world.sinks.size();

    ASSERT_TRUE(before.a && !before.b && !after.a && after.b) << "the hand's rays missed the tiles";
    // Six of the scene's emitters, the source and the fountain (one a force pass).
    EXPECT_EQ(emitters, GetParam() ? 11u : 8u);
    EXPECT_EQ(sinks, 1u);
    EXPECT_FALSE(world.heldParticle);

    ASSERT_TRUE(restoreSnapshot(world, snapshot));
    ASSERT_EQ(worldHash(world), atSnapshot);  // played on, a broken pool list never ends
    EXPECT_EQ(world.emitters.size(), 7u) << "the scene's seven, the expiring one still among them";
    EXPECT_TRUE(world.sinks.empty());
    const Paged back = paged(ground, hand);
    EXPECT_EQ(back.tiles, before.tiles);
    EXPECT_FALSE(back.b);
    ASSERT_TRUE(back.a);
    EXPECT_TRUE(std::equal(heightsA.begin(), heightsA.end(), std::begin(back.a->heights)));
    ASSERT_TRUE(world.heldParticle);
    EXPECT_EQ(world.parSys.handPinned, std::vector<Particle*>{world.heldParticle});
    // Forward again, as a redo would, and back.
    ASSERT_TRUE(restoreSnapshot(world, late));
    EXPECT_EQ(worldHash(world), straight);
    EXPECT_EQ(world.sinks.size(), sinks);
    ASSERT_TRUE(restoreSnapshot(world, snapshot));
    ASSERT_EQ(worldHash(world), atSnapshot);

    play(RewindHand::kSnapshot + 1, RewindHand::kEnd);
    EXPECT_EQ(hashText(worldHash(world)), hashText(straight));
    EXPECT_EQ(world.emitters.size(), emitters);
    EXPECT_EQ(world.sinks.size(), sinks);
    EXPECT_EQ(paged(ground, hand).tiles, after.tiles);

    ok = shipped.load(world, out);
    out.end();
    ASSERT_TRUE(ok);
    const uint64_t rebuilt = worldHash(world);
    EXPECT_FALSE(restoreSnapshot(world, snapshot));
    EXPECT_EQ(worldHash(world), rebuilt);
    EXPECT_FALSE(world.heldParticle);
    world.shutdown();
}

INSTANTIATE_TEST_SUITE_P(Integrators, Rewind, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Rk4" : "Euler"); });

namespace {
// A hand swinging the held blob: the mouse ray turned up by `swing` radians and back,
// every `every` updates, for a second, then let go.
struct Drag {
    float swing;
    int every;
    bool rk4;
    bool sideways = false;
};
void PrintTo(const Drag& d, std::ostream* os)
{
    *os << d.swing << " rad every " << d.every << (d.rk4 ? " rk4" : " euler") << (d.sideways ? " sideways" : "");
}

class DragSweep : public GlTest, public ::testing::WithParamInterface<Drag> {};

int nonFinite(const ParScene& s)
{
    int n = 0;
    for (const Particle* p = s.parSys.first(); p; p = p->next)
        for (int a = 0; a < 3; ++a) n += !std::isfinite(p->pos[a]) || !std::isfinite(p->vel[a]);
    return n;
}

Vec3 centre(const std::vector<Particle*>& ps)
{
    Vec3 c;
    for (const Particle* p : ps) c += p->pos;
    return c / static_cast<float>(ps.size());
}
}  // namespace

// However hard a hand swings the landed blob, every particle of the world stays a number,
// and five seconds after it lets go the blob is whole and full and the tower in its bowl.
TEST_P(DragSweep, NoSwingBreaksTheWorld)
{
    const Drag drag = GetParam();
    ShippedWorld shipped;
    if (!shipped.available()) GTEST_SKIP() << "run folder without its data files";
    ParScene world;
    StdoutCapture out;
    const bool ok = shipped.load(world, out);
    world.setUseRk4(drag.rk4);
    world.setTimeStep(ParScene::kPlayStep);
    ASSERT_FALSE(world.springModels.empty());
    ASSERT_FALSE(world.springSpaces.empty());
    SpringModel* blob = world.springModels[0];
    const std::vector<Particle*>& tower = world.springSpaces[0]->vertex;
    const Vec3 eye = world.startEye();
    constexpr int kGrab = 120, kRelease = kGrab + 60, kEnd = kRelease + 300;
    Vec3 ahead;
    int worstNonFinite = 0;
    for (int u = 1; ok && u <= kEnd; ++u) {
        if (u == kGrab) {
            Particle* held = blob->vertex[0];
            for (Particle* p : blob->vertex)
                if (length(p->pos - eye) < length(held->pos - eye)) held = p;
            ahead = held->pos - eye;
            world.setMouseRay(Ray{eye, ahead});
            world.grabParticle(held);
        }
        if (u > kGrab && u < kRelease) {
            // Sideways the swing carries the blob towards the tower, and the pull reaches
            // every particle near the held one.
            const float turn = (u - kGrab) / drag.every % 2 ? drag.swing : 0;
            const Vec3 side = normalised(cross(ahead, Vec3(0, 0, 1))) * length(ahead);
            const Vec3 across = drag.sideways ? side : cross(side, ahead) / length(ahead);
            world.setMouseRay(Ray{eye, ahead * std::cos(turn) + across * std::sin(turn)});
        }
        if (u == kRelease) world.grabParticle(nullptr);
        world.update();
        worstNonFinite = std::max(worstNonFinite, nonFinite(world));
    }
    const std::string printed = out.end();
    ASSERT_TRUE(ok) << printed;

    float shortest = 1e30f, longest = 0;
    for (int k : blob->spring) {
        const Spring& sp = world.springSys.spring[k];
        const float stretch = length(sp.p0->pos - sp.p1->pos) / sp.rest;
        shortest = std::min(shortest, stretch);
        longest = std::max(longest, stretch);
    }
    const float volume = blob->volume() / blob->restVolume;
    // The bowl's rim: the scene puts it round (60, 40), 25 units scaled by 1.15.
    const Vec3 towerAt = centre(tower);
    const float offCentre = std::hypot(towerAt.x - 60, towerAt.y - 40);
    if (std::getenv("TV_PRINT_SWEEP"))
        std::fprintf(stderr, "sweep %.2f rad every %d %s: non-finite %d, springs %.2f..%.2f, volume %.3f, tower %.1f off\n",
                     drag.swing, drag.every, drag.rk4 ? "rk4" : "euler", worstNonFinite, shortest, longest, volume,
                     offCentre);
    EXPECT_EQ(worstNonFinite, 0);
    EXPECT_GE(shortest, 0.5f);
    EXPECT_LE(longest, 2.0f);
    EXPECT_NEAR(volume, 1.0f, 0.15f);
    EXPECT_TRUE(offCentre < 28.75f && towerAt.z > -8)
        << "the tower left its bowl for " << towerAt.x << " " << towerAt.y << " " << towerAt.z;
}

INSTANTIATE_TEST_SUITE_P(Swings, DragSweep,
                         ::testing::Values(Drag{0.15f, 9, true}, Drag{0.15f, 9, false}, Drag{0.6f, 9, true},
                                           Drag{0.6f, 9, false}, Drag{0.6f, 1, true}, Drag{0.6f, 1, false},
                                           Drag{1.6f, 3, true}, Drag{1.6f, 3, false}, Drag{1.6f, 1, true},
                                           Drag{1.6f, 1, false},
                                           // Swung near the pull's own sway, a period of about 20 updates
                                           Drag{0.6f, 10, false}, Drag{0.3f, 10, false, true},
                                           Drag{0.6f, 9, true, true}, Drag{0.6f, 9, false, true},
                                           Drag{1.0f, 10, true, true}, Drag{1.0f, 10, false, true}),
                         [](const auto& info) {
                             const Drag& d = info.param;
                             return "Swing" + std::to_string(static_cast<int>(d.swing * 100)) + "cradEvery" +
                                    std::to_string(d.every) + (d.rk4 ? "Rk4" : "Euler") + (d.sideways ? "Sideways" : "");
                         });

// Every world of the gallery plays ten seconds under each integrator without a problem
// line, a runaway force or a particle that stops being a number.
struct Gallery {
    const char* world;
    bool rk4;
};
void PrintTo(const Gallery& g, std::ostream* os) { *os << g.world << (g.rk4 ? " rk4" : " euler"); }

class GalleryWorld : public GlTest, public ::testing::WithParamInterface<Gallery> {};

constexpr const char* kGalleryWorlds[] = {"bridge", "character", "cloth", "landscape", "pressures", "sinks"};

TEST_P(GalleryWorld, PlaysTenSecondsClean)
{
    ShippedWorld shipped;
    if (!shipped.available()) GTEST_SKIP() << "run folder without its data files";
    ParScene world;
    StdoutCapture out;
    const std::string file = std::string("worlds/") + GetParam().world + ".scn";
    const bool ok = shipped.load(world, out, file);
    world.setUseRk4(GetParam().rk4);
    world.setTimeStep(ParScene::kPlayStep);
    int worstNonFinite = 0;
    for (int u = 0; ok && u < 600; ++u) {
        world.update();
        worstNonFinite = std::max(worstNonFinite, nonFinite(world));
    }
    const std::string printed = out.end();
    ASSERT_TRUE(ok) << printed;
    EXPECT_EQ(worstNonFinite, 0);
    std::istringstream lines(printed);
    for (std::string line; std::getline(lines, line);)
        for (const char* problem : {"unable", "failed", "Failed", "found a", "couldnt", "out of bounds", "non-finite",
                                    "none pinned", "needs", "unknown"}) {
            // An object block's model line is read as an unknown command first, by design.
            if (line.find(problem) == std::string::npos || line.ends_with(".obj")) continue;
            ADD_FAILURE() << line;
            break;
        }
    if (std::getenv("TV_PRINT_WORLDS")) {
        BBox box = BBox::empty();
        for (const SpringChar* c : world.characters) for (const Particle* p : c->vertex) box.extend(p->pos);
        for (const Cloth* c : world.cloths) for (const Particle* p : c->vertex) box.extend(p->pos);
        for (const SpringModel* c : world.springModels) for (const Particle* p : c->vertex) box.extend(p->pos);
        float longest = 0;
        for (int k = 0; k < world.springSys.count(); ++k) {
            const Spring& sp = world.springSys.spring[k];
            if (sp.active && sp.rest > 0) longest = std::max(longest, length(sp.p0->pos - sp.p1->pos) / sp.rest);
        }
        std::fprintf(stderr, "%s %s: particles %d springs %d, longest %.2f, box %.0f %.0f %.0f .. %.0f %.0f %.0f\n",
                     GetParam().world, GetParam().rk4 ? "rk4" : "euler", world.parSys.liveCount(),
                     world.springSys.count(), longest, box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z);
    }
}

std::vector<Gallery> galleryRuns()
{
    std::vector<Gallery> runs;
    for (const char* w : kGalleryWorlds)
        for (bool rk4 : {true, false}) runs.push_back({w, rk4});
    return runs;
}

INSTANTIATE_TEST_SUITE_P(Worlds, GalleryWorld, ::testing::ValuesIn(galleryRuns()),
                         [](const auto& info) {
                             std::string name = info.param.world;
                             name[0] = static_cast<char>(name[0] - 'a' + 'A');
                             return name + (info.param.rk4 ? "Rk4" : "Euler");
                         });

// The gallery on disk is the one tested above.
TEST(GalleryWorld, ShippedWorldsAreTheTestedOnes)
{
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(std::string(TV_SOURCE_DIR) + "/worlds"))
        if (e.path().extension() == ".scn") found.push_back(e.path().stem());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, std::vector<std::string>(std::begin(kGalleryWorlds), std::end(kGalleryWorlds)));
}
