// The timeline: a session recorded, written, read back and replayed reaches the recorded
// world bit for bit; a log that does not match its files is refused; turning back a
// second and going on gives exactly the straight run.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "scene/timeline.h"
#include "core/readfile.h"
#include "physics/springmodel.h"
#include "scene/inputlog.h"
#include "scene/parscene.h"
#include "scene/worldhash.h"
#include "support/glcontext.h"
#include "support/testutil.h"

namespace {
int zeroClock() { return 0; }

std::string fileText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The world read from a copy of the run folder, so that a row may change a file in it.
class TimelineTest : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        if (HasFatalFailure() || IsSkipped()) return;
        if (access((std::string(TV_RUN_DIR) + "/data/par_lum.bmp").c_str(), R_OK) != 0)
            GTEST_SKIP() << "run folder without its data files";
        folder = scratchDir("timeline");
        ASSERT_EQ(std::system(("cp -r '" + std::string(TV_RUN_DIR) + "/data' '" + std::string(TV_RUN_DIR) + "/bone.bmp' '" +
                     folder + "/' && cp '" + std::string(TV_SOURCE_DIR) + "/test.scn' '" + folder + "/'")
                        .c_str()),
                  0);
        savedFolder = readFolder();
        setReadFolder(folder);
        savedClock = ParScene::elapsedMs;
        ParScene::elapsedMs = zeroClock;
    }
    void TearDown() override
    {
        if (savedClock) {
            ParScene::elapsedMs = savedClock;
            setReadFolder(savedFolder);
        }
    }

    void start(ParScene& world, Timeline& timeline)
    {
        timeline.beforeWorldStart(world);
        ASSERT_TRUE(world.init());
        timeline.worldStarted(world);
    }

    std::string folder, savedFolder;
    int (*savedClock)() = nullptr;
};

// A hand that plays, grabs the blob, drags it, pins it, asks for a fountain, places a
// source and a sink, pages a tile, switches to Euler, pauses a while and plays again:
// the inputs for cycle c.
std::vector<WorldInput> handAt(const ParScene& w, int c, bool pause = true)
{
    std::vector<WorldInput> in;
    const Vec3 eye = w.startEye();
    const auto towards = [&](const Vec3& p) { return Ray{eye, p - eye}; };
    const Vec3 blob = w.springModels.empty() ? Vec3(0, 0, 0) : w.springModels[0]->vertex[0]->pos;
    const Vec3 ground = Vec3(eye.x + 150, eye.y, 0);
    if (c == 0) in.push_back({WorldInput::TimeStep, {}, ParScene::kPlayStep});
    if (c == 90) in.push_back({WorldInput::Grab, towards(blob), 0});
    if (c > 90 && c < 150) {
        Ray r = w.mouseRay;
        r.direction = r.direction + Vec3(0, 0.3f, 0.5f);
        in.push_back({WorldInput::MouseRay, r, 0});
    }
    if (c == 120 || c == 140) in.push_back({WorldInput::Pin, {}, 0});
    if (c == 125) in.push_back({WorldInput::Fountain, {}, 0});
    if (c == 150) in.push_back({WorldInput::Release, {}, 0});
    if (c == 160) in.push_back({WorldInput::Source, towards(ground), 0});
    if (c == 170) in.push_back({WorldInput::Sink, towards(ground + Vec3(0, 40, 0)), 0});
    if (c == 180) in.push_back({WorldInput::TerrainLoad, towards(ground), 0});
    if (c == 200) in.push_back({WorldInput::Integrator, {}, 0});
    // Paused and holding nothing, the world makes updates that change nothing.
    if (pause && c == 220) in.push_back({WorldInput::TimeStep, {}, 0});
    if (pause && c == 240) in.push_back({WorldInput::TimeStep, {}, ParScene::kPlayStep});
    return in;
}

void cycle(ParScene& world, Timeline& timeline, int c, bool pause = true)
{
    for (const WorldInput& in : handAt(world, c, pause)) timeline.send(world, in);
    timeline.update(world);
}
}  // namespace

TEST_F(TimelineTest, ReplayReachesTheRecordedWorldAndRefusesOtherFiles)
{
    ParScene recorded;
    Timeline live;
    start(recorded, live);
    const std::string log = folder + "/take.tvlog";
    std::string error;
    ASSERT_TRUE(live.startRecording(log, error)) << error;
    EXPECT_FALSE(Timeline().startRecording(log, error)) << "a recording replaced a file";
    for (int c = 0; c < 330; ++c) cycle(recorded, live, c);
    ASSERT_TRUE(live.finishRecording(recorded));
    // The twenty paused cycles are not updates.
    EXPECT_EQ(live.updates(), 310u);
    const std::string text = fileText(log);

    // Replayed as the program does: checked against the files, then driven by the log to
    // its end, or to where nothing in it plays the world on.
    const auto replay = [&](const std::string& logText, std::string& why, uint32_t ends = 310) -> std::string {
        writeText(log, logText);
        InputLog read;
        if (!readReplay(log, read, why)) return "";
        ParScene world;
        Timeline timeline;
        timeline.startReplay(read, log);
        start(world, timeline);
        for (int c = 0; c < 1000 && timeline.replaying(); ++c) timeline.update(world);
        EXPECT_FALSE(timeline.replaying());
        EXPECT_EQ(timeline.updates(), ends);
        return hashText(worldHash(world));
    };
    EXPECT_EQ(replay(text, error), hashText(worldHash(recorded))) << error;

    // Every input counts, and so does when it came. One input fewer: the count says so too.
    const auto edited = [&](const std::string& from, const std::string& to, int fewer = 0) {
        std::string t = text;
        const std::size_t at = t.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) t.replace(at, from.size(), to);
        const std::size_t count = t.find("\ninputs ") + 8;
        const std::size_t end = t.find('\n', count);
        return t.replace(count, end - count, std::to_string(std::stoi(t.substr(count, end - count)) - fewer));
    };
    EXPECT_NE(replay(edited("\n120 pin\n", "\n", 1), error), hashText(worldHash(recorded))) << "a pin dropped";
    EXPECT_NE(replay(edited("\n90 grab", "\n91 grab"), error), hashText(worldHash(recorded))) << "a grab late";
    // Without the play after the pause, the replay ends there instead of waiting for ever.
    // (The paused cycles are no updates: the play comes at 220 too.)
    EXPECT_NE(replay(edited("\n220 timestep 3c888889", "", 1), error, 220), hashText(worldHash(recorded)));

    // Refused in words: another scene, another data file, a damaged or a cut log.
    const std::string scene = fileText(folder + "/test.scn");
    struct Refusal {
        const char* what;
        std::function<void()> change;
        std::string logText;
        const char* said;
    };
    const std::vector<Refusal> refusals = {
        {"another scene", [&] { writeText(folder + "/test.scn", scene + "\n"); }, text,
         "it was recorded with another test.scn"},
        {"another data file", [&] { writeText(folder + "/data/par_lum.bmp", "BM"); }, text,
         "it was recorded with another data/par_lum.bmp"},
        {"a cut log", [] {}, text.substr(0, text.size() - 40), "it is truncated"},
        {"a damaged log", [] {}, edited(" release", " relax"), "it is damaged at line"},
    };
    const std::string lum = fileText(folder + "/data/par_lum.bmp");
    for (const Refusal& r : refusals) {
        r.change();
        EXPECT_EQ(replay(r.logText, error), "") << r.what;
        EXPECT_NE(error.find(r.said), std::string::npos) << r.what << ": " << error;
        EXPECT_EQ(error.rfind("cannot replay " + log + ": ", 0), 0u) << error;
        writeText(folder + "/test.scn", scene);
        writeText(folder + "/data/par_lum.bmp", lum);
    }
}

TEST_F(TimelineTest, BackOneSecondThenOnIsTheStraightRun)
{
    for (bool rk4 : {true, false}) {
        // Keyed by update here, so that both runs give the hand the same updates.
        std::map<uint32_t, std::string> straight;
        ParScene a;
        Timeline ta;
        start(a, ta);
        if (!rk4) ta.send(a, {WorldInput::Integrator, {}, 0});
        for (int u = 0; u < 330 && ta.updates() < 300; ++u) {
            cycle(a, ta, static_cast<int>(ta.updates()), false);
            straight[ta.updates()] = hashText(worldHash(a));
        }

        ParScene b;
        Timeline tb;
        start(b, tb);
        if (!rk4) tb.send(b, {WorldInput::Integrator, {}, 0});
        while (tb.updates() < 275) cycle(b, tb, static_cast<int>(tb.updates()), false);
        ASSERT_TRUE(tb.rewind(b));
        EXPECT_EQ(tb.updates(), 215u);
        EXPECT_EQ(hashText(worldHash(b)), straight[215]) << "rk4 " << rk4;
        // Twice: back to 155, across the source, the sink and the tile.
        ASSERT_TRUE(tb.rewind(b));
        EXPECT_EQ(hashText(worldHash(b)), straight[155]) << "rk4 " << rk4;
        EXPECT_EQ(b.sinks.size(), 0u);
        while (tb.updates() < 300) cycle(b, tb, static_cast<int>(tb.updates()), false);
        EXPECT_EQ(hashText(worldHash(b)), straight[300]) << "rk4 " << rk4;
        EXPECT_EQ(b.sinks.size(), 1u);
    }
    // Not past a RESET, whose world has none of the particles of the one before.
    ParScene c;
    Timeline tc;
    start(c, tc);
    tc.send(c, {WorldInput::TimeStep, {}, ParScene::kPlayStep});
    for (int u = 0; u < 90; ++u) tc.update(c);
    tc.send(c, {WorldInput::Reset, {}, 0});
    tc.send(c, {WorldInput::TimeStep, {}, ParScene::kPlayStep});
    for (int u = 0; u < 20; ++u) tc.update(c);
    const std::string at110 = hashText(worldHash(c));
    for (int u = 0; u < 20; ++u) tc.update(c);
    const std::string before = hashText(worldHash(c));
    EXPECT_FALSE(tc.rewind(c));
    EXPECT_EQ(hashText(worldHash(c)), before);
    for (int u = 0; u < 40; ++u) tc.update(c);
    // From the snapshot taken at the RESET, between the inputs of one update.
    ASSERT_TRUE(tc.rewind(c));
    EXPECT_EQ(tc.updates(), 110u);
    EXPECT_EQ(hashText(worldHash(c)), at110);
}
