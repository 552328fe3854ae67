// The scene-file reader against hand-written files: echo, blocks, keys, messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "assets/dumper.h"

#include "scene/scenereader.h"
#include "support/glcontext.h"

#include "support/testutil.h"
#include "worldfixture.h"

namespace {
class SceneFileTest : public WorldTest {
protected:
    // Writes the text to a scratch file, loads it and returns what was printed.
    std::string load(const std::string& text, bool* result = nullptr)
    {
        const std::string path = scratchDir("scenefile") + "/world.scn";
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        StdoutCapture out;
        out.begin();
        const bool ok = scene.load(path.c_str());
        if (result) *result = ok;
        return out.end();
    }
    // The printed text without the echo lines.
    static std::string messages(const std::string& printed)
    {
        std::string out;
        size_t pos = 0;
        while (pos < printed.size()) {
            size_t end = printed.find('\n', pos);
            if (end == std::string::npos) end = printed.size() - 1;
            std::string line = printed.substr(pos, end - pos + 1);
            if (line.rfind("ParScene::load read line ", 0) != 0) out += line;
            pos = end + 1;
        }
        return out;
    }
    static std::string writeTriangleObj()
    {
        const std::string path = scratchDir("scenefile-obj") + "/tri.obj";
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("v 0 0 0\nv 10 0 0\nv 0 10 0\nf 1 2 3\n", f);
        std::fclose(f);
        return path;
    }
};
}  // namespace

// The reader alone, no world: the earlier lines open a block, the last one is read.
TEST(SceneReaderTest, LinesBecomeRecordsOfTheBlockTheyAreReadIn)
{
    using K = SceneRecord::Kind;
    using B = SceneBlock;
    struct Case {
        const char* lines;
        K kind = K::Key;
        B block = B::None;
        SceneKey key = SceneKey::Translate;
        int count = 0;
        float value[4] = {0, 0, 0, 0};
        int integer = 0;
        const char* word = "";
        const char* messages = "";
    };
    const Case cases[] = {
        {.lines = "springmodel", .kind = K::Command, .block = B::SpringModel},
        {.lines = "emitter ", .kind = K::Unknown, .messages = "found an unknown command: emitter \n"},
        {.lines = "object\ntranslate 1 2", .block = B::Object, .count = 2, .value = {1, 2}},
        // Only the start and emitter blocks name their transform keys.
        {.lines = "start\nrotate 90 1 2 3", .block = B::Start, .key = SceneKey::Rotate, .count = 4,
         .value = {90, 1, 2, 3}, .messages = "rotate\n"},
        {.lines = "emitter\ncolormax 0.5 0.25 x 1", .block = B::Emitter, .key = SceneKey::ColorMax, .count = 2,
         .value = {0.5f, 0.25f}},
        {.lines = "emitter\nchildvel 4 nan 6 7", .block = B::Emitter, .key = SceneKey::ChildVel, .count = 1,
         .value = {4}, .messages = "found a number that is not finite: childvel 4 nan 6 7\n"},
        {.lines = "emitter\nscale 2 2 2", .kind = K::Unknown, .block = B::Emitter,
         .messages = "found an unknown command: scale 2 2 2\n"},
        {.lines = "object\ndata/my model.obj", .kind = K::ModelName, .block = B::Object,
         .word = "data/my model.obj", .messages = "found an unknown command: data/my model.obj\n"},
        {.lines = "object\ntexture ", .block = B::Object, .key = SceneKey::Texture},
        {.lines = "springspace\nmodel a.obj b.obj", .block = B::SpringSpace, .key = SceneKey::Model, .word = "a.obj"},
        {.lines = "springspace\nrestretch now", .block = B::SpringSpace, .key = SceneKey::Restretch},
        {.lines = "landscape\nseed 99 7", .block = B::Landscape, .key = SceneKey::Seed, .count = 1, .integer = 99},
        // Finite values a key cannot use are refused like those that are not finite.
        {.lines = "emitter\nmassinv 1e30", .block = B::Emitter, .key = SceneKey::MassInv,
         .messages = "found a massinv above 3000, too light a particle for the 1/60 s step: massinv 1e30\n"},
        {.lines = "emitter\nmassinv -1e-45", .block = B::Emitter, .key = SceneKey::MassInv,
         .messages = "found a massinv below 1e-36 but not 0, too heavy a particle to weigh: massinv -1e-45\n"},
        {.lines = "emitter\nmassinv 0", .block = B::Emitter, .key = SceneKey::MassInv, .count = 1},
        {.lines = "landscape\nscale 1e25 1 1", .block = B::Landscape, .key = SceneKey::Scale,
         .messages = "found a landscape scale above 1e18, too large for the ground's pictures: scale 1e25 1 1\n"},
        {.lines = "landscape\nscale 512 -0 60", .block = B::Landscape, .key = SceneKey::Scale, .count = 1,
         .value = {512}, .messages = "found a landscape scale of 0, which gives the ground no size: scale 512 -0 60\n"},
        // The bounds are the landscape's own.
        {.lines = "object\nscale 0 1e25 1", .block = B::Object, .key = SceneKey::Scale, .count = 3,
         .value = {0, 1e25f, 1}},
        {.lines = "landscape\ncreate ", .kind = K::Unknown, .block = B::Landscape,
         .messages = "found an unknown command: create \n"},
        // The gallery's blocks: a cloth is sized by its grid, pins reach the bodies that
        // can be pinned, and a sink too strong for the step is refused.
        {.lines = "cloth\ngrid 12 7", .block = B::Cloth, .key = SceneKey::Grid, .count = 1, .integer = 12},
        {.lines = "cloth\nsize -0", .block = B::Cloth, .key = SceneKey::Size,
         .messages = "found a cloth size of 0 or below: size -0\n"},
        {.lines = "cloth\npinned topcorners", .block = B::Cloth, .key = SceneKey::Pinned, .word = "topcorners"},
        {.lines = "springspace\npin 1 -2 3 4", .block = B::SpringSpace, .key = SceneKey::Pin, .count = 4,
         .value = {1, -2, 3, 4}},
        {.lines = "character\npin 1 2 3 4", .kind = K::Unknown, .block = B::Character,
         .messages = "found an unknown command: pin 1 2 3 4\n"},
        {.lines = "sink\nstrength -4000", .block = B::Sink, .key = SceneKey::Strength,
         .messages = "found a sink strength above 3600, too strong for the 1/60 s step: strength -4000\n"},
        // "create" ends its block: a landscape key after it is no key.
        {.lines = "landscape\ncreate\ntranslate 1 1 1", .kind = K::Unknown,
         .messages = "found an unknown command: translate 1 1 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lines);
        SceneReader reader;
        SceneRecord r;
        const std::string text = c.lines;
        for (size_t pos = 0; pos <= text.size();) {
            size_t end = std::min(text.find('\n', pos), text.size());
            r = reader.read(text.substr(pos, end - pos).c_str());
            pos = end + 1;
        }
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.block, c.block);
        if (c.kind == K::Key) {
            EXPECT_EQ(r.key, c.key);
        }
        EXPECT_EQ(r.count, c.count);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r.value[i], c.value[i]) << i;
        EXPECT_EQ(r.integer, c.integer);
        EXPECT_EQ(r.word, c.word);
        EXPECT_EQ(r.messages, c.messages);
    }
}

TEST_F(SceneFileTest, EveryLineIsEchoedAndUnknownLinesReported)
{
    bool ok = false;
    const std::string out = load("# comment\r\n\nhello world\nemitter \nstart\r\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(out,
              "ParScene::load read line # comment\n"
              "ParScene::load read line \n"
              "ParScene::load read line hello world\n"
              "found an unknown command: hello world\n"
              "ParScene::load read line emitter \n"
              "found an unknown command: emitter \n"
              "ParScene::load read line start\n");
    EXPECT_TRUE(scene.emitters.empty());
}

TEST_F(SceneFileTest, EmptyAndMissingFiles)
{
    bool ok = false;
    EXPECT_EQ(load("", &ok), "");
    EXPECT_TRUE(ok);
    load("# nothing here\n#start\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(scene.emitters.empty() && scene.objects.empty() && scene.landscapes.empty());
    EXPECT_EQ(scene.startTransform.trans, Vec3(0, 0, 0));

    StdoutCapture out;
    out.begin();
    EXPECT_FALSE(scene.load("no/such/file.scn"));
    EXPECT_EQ(out.end(), "unable to open the file no/such/file.scn\n");

    // A scene file that never ends is refused, not echoed for ever.
    const std::string dir = scratchDir("scenefile-endless");
    NeverEndingFiles endless(dir);
    for (const std::string& path : {dir, endless.pipe, endless.zero}) {
        out.begin();
        EXPECT_FALSE(scene.load(path.c_str()));
        EXPECT_EQ(out.end(), "unable to open the file " + path + "\n");
    }
}

TEST_F(SceneFileTest, StartBlockComposesTranslationsAndRotations)
{
    const std::string out = load("start\ntranslate 10 0 0\nrotate 90 0 0 1\ntranslate 5 0 0\nbogus\n");
    EXPECT_EQ(messages(out), "translate\nrotate\ntranslate\nfound an unknown command: bogus\n");
    // The second translation is turned by the rotation before it.
    EXPECT_VEC_NEAR(scene.startTransform.trans, Vec3(10, 5, 0), 1e-5f);
    EXPECT_VEC_NEAR(rotatedX(scene.startTransform.rot), Vec3(0, 1, 0), 1e-6f);
}

TEST_F(SceneFileTest, EmitterKeysDefaultsAndFailedConversions)
{
    const std::string out = load("emitter\n"
                                 "translate 1 2 3\n"
                                 "massinv 0.5\n"
                                 "life 7\n"
                                 "rate abc\n"
                                 "rate5\n"
                                 "childvel 4 5\n"
                                 "childlife 3\n"
                                 "childradius 2\n"
                                 "color 0.5 0.5 0.5 1\n"
                                 "colormax 1 0.25 1\n"
                                 // Values that are not finite do not convert either: they
                                 // and those after them stay, and each line is named once.
                                 "translate nan 1 1\n"
                                 "massinv inf\n"
                                 "life -inf\n"
                                 "rate 1e309\n"
                                 "childvel 4 nan 6 nan\n"
                                 "childlife NaN\n"
                                 "color 0.5 0.5 0.5 infinity\n"
                                 "emitter\n");
    EXPECT_EQ(messages(out), "translate\n"
                             "found an unknown command: rate5\n"
                             "translate\n"
                             "found a number that is not finite: translate nan 1 1\n"
                             "found a number that is not finite: massinv inf\n"
                             "found a number that is not finite: life -inf\n"
                             "found a number that is not finite: rate 1e309\n"
                             "found a number that is not finite: childvel 4 nan 6 nan\n"
                             "found a number that is not finite: childlife NaN\n"
                             "found a number that is not finite: color 0.5 0.5 0.5 infinity\n");
    ASSERT_EQ(scene.emitters.size(), 2u);
    const Emitter& e = *scene.emitters[0];
    EXPECT_EQ(e.particle->pos, Vec3(1, 2, 3));
    EXPECT_EQ(e.particle->invMass, 0.5f);
    EXPECT_EQ(e.life, 7);
    EXPECT_EQ(e.remainingLife, 7);
    EXPECT_EQ(e.rate, 120);  // nothing converted: the default stays
    EXPECT_EQ(e.childVel, Vec3(4, 5, 0));
    EXPECT_EQ(e.childSpread, 1);
    EXPECT_EQ(e.childLife, 3);
    EXPECT_EQ(e.childRadius, 2);
    EXPECT_EQ(e.colorMin[0], 0.5f);
    // colormax is not taken for color; its green is below the minimum and is raised
    // to it at the end of the file, while the unconverted alpha keeps its default.
    EXPECT_EQ(e.colorMax[0], 1);
    EXPECT_EQ(e.colorMax[1], 0.5f);
    EXPECT_EQ(e.colorMax[2], 1);
    EXPECT_EQ(e.colorMax[3], 1);
    const Emitter& d = *scene.emitters[1];
    EXPECT_EQ(d.particle->pos, Vec3(0, 0, 0));
    EXPECT_EQ(d.particle->invMass, 1);
    EXPECT_EQ(d.life, 1);
    EXPECT_EQ(d.rate, 120);
    EXPECT_EQ(d.childRadius, 1.5f);
    EXPECT_EQ(d.colorMin[3], 1);
}

TEST_F(SceneFileTest, ChildVelocityTurnsWithTheRotationAboveIt)
{
    load("emitter\nrotate 90 1 0 0\nchildvel 0 0 10 5\n"
         "emitter\nchildvel 0 0 10 5\nrotate 90 1 0 0\n");
    ASSERT_EQ(scene.emitters.size(), 2u);
    EXPECT_VEC_NEAR(scene.emitters[0]->childVel, Vec3(0, -10, 0), 1e-5f);
    EXPECT_EQ(scene.emitters[0]->childSpread, 5);
    EXPECT_VEC_NEAR(scene.emitters[1]->childVel, Vec3(0, 0, 10), 1e-6f);
    // Block transforms start afresh at each command.
    EXPECT_VEC_NEAR(scene.emitters[1]->particle->pos, Vec3(0, 0, 0), 1e-6f);
}

TEST_F(SceneFileTest, AFailedEmitterSwallowsTheRestOfItsBlock)
{
    while (scene.parSys.allocParticle()) {
    }
    const std::string out = load("emitter\nrate 10\nstart\ntranslate 1 1 1\n");
    EXPECT_EQ(messages(out),
              "FAILED TO CREATE THE EMITTER PARTICLE!\n"
              "we have a bad emitter!\nwe have a bad emitter!\nwe have a bad emitter!\n");
    EXPECT_TRUE(scene.emitters.empty());
    EXPECT_EQ(scene.startTransform.trans, Vec3(0, 0, 0));
}

TEST_F(SceneFileTest, ObjectBlocksPlaceModelsAndSkipMissingOnes)
{
    const std::string obj = writeTriangleObj();
    const std::string out = load("object\ntranslate 100 0 0\nscale 2 2 2\nrestitution 0.9\nfriction 0.1\n" + obj +
                                 "\nobject\nno_such_model.obj\nobject\n");
    ASSERT_EQ(scene.objects.size(), 3u);
    const ObjInst& o = *scene.objects[0];
    ASSERT_NE(o.model, nullptr);
    EXPECT_EQ(o.restitution, 0.9f);
    EXPECT_EQ(o.friction, 0.1f);
    EXPECT_EQ(o.scale, Vec3(2, 2, 2));
    EXPECT_EQ(scene.objects[1]->model, nullptr);
    EXPECT_EQ(scene.objects[2]->model, nullptr);
    const std::string m = messages(out);
    EXPECT_NE(m.find("found an unknown command: " + obj + "\n"), std::string::npos);
    EXPECT_NE(m.find("failed to load the model no_such_model.obj\n"), std::string::npos);
    // The line is reported as it is read, before the model it names is looked for.
    EXPECT_LT(m.find("found an unknown command: no_such_model.obj\n"),
              m.find("failed to load the model no_such_model.obj\n"));
    // Only the placed instance gets a box line; the model-less ones are skipped.
    EXPECT_NE(m.find("0 bbox: 100.000000 0.000000 0.000000 / 120.000000 20.000000 0.000000\n"), std::string::npos);
    EXPECT_EQ(m.find("1 bbox"), std::string::npos);
    EXPECT_EQ(m.find("2 bbox"), std::string::npos);
    // The model is cached: a second instance shares it.
    EXPECT_EQ(scene.modelCache.getModel(obj.c_str(), false), o.model);
    EXPECT_EQ(scene.modelCache.size(), 1);

    // Traces run past the model-less instances to the placed one.
    const TraceHit hit = scene.trace({105, 5, 10}, {105, 5, -10}, 1);
    EXPECT_LT(hit.t, 1);
}

TEST_F(SceneFileTest, LongLinesAndBinaryBytesAreSafe)
{
    std::string longLine(5000, 'x');
    std::string text = "start\n" + longLine + "\nemitter\nrate 30\n";
    text += std::string("\x01\xff\x7f\0garbage\n", 12);
    text += "translate 1e40 -1e40 nan\n";
    bool ok = false;
    const std::string out = load(text, &ok);
    EXPECT_TRUE(ok);
    // 5000 characters arrive as five reads of at most 1023.
    size_t echoes = 0;
    for (size_t p = out.find("ParScene::load read line xxx"); p != std::string::npos;
         p = out.find("ParScene::load read line xxx", p + 1))
        ++echoes;
    EXPECT_EQ(echoes, 5u);
    ASSERT_EQ(scene.emitters.size(), 1u);
    EXPECT_EQ(scene.emitters[0]->rate, 30);
}

TEST_F(SceneFileTest, ModelCacheKeepsEdgedAndPlainCopiesApart)
{
    const std::string obj = writeTriangleObj();
    const ObjFile* plain = scene.modelCache.getModel(obj.c_str(), false);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(scene.modelCache.getModel(obj.c_str(), false), plain);
    EXPECT_EQ(scene.modelCache.size(), 1);
    StdoutCapture out;
    out.begin();
    EXPECT_EQ(scene.modelCache.getModel("missing.obj", false), nullptr);
    out.end();
    EXPECT_EQ(scene.modelCache.size(), 1);

    // Reading a model only decodes its pictures; the cache makes them textures.
    std::string error;
    if (!GlContext::make(16, 16, &error)) GTEST_SKIP() << error;
    const std::string dir = scratchDir("scenefile-texture");
    std::vector<uint8_t> red(Dumper::stride(2) * 2);
    for (size_t i = 2; i < red.size(); i += 3) red[i] = 255;
    ASSERT_TRUE(Dumper::writeBmp((dir + "/red.bmp").c_str(), red.data(), 2, 2));
    FILE* f = std::fopen((dir + "/tex.mtl").c_str(), "wb");
    std::fprintf(f, "newmtl red\nmap_Kd %s/red.bmp\n", dir.c_str());
    std::fclose(f);
    f = std::fopen((dir + "/tex.obj").c_str(), "wb");
    std::fprintf(f, "mtllib %s/tex.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\n", dir.c_str());
    std::fclose(f);
    out.begin();
    const ObjFile* textured = scene.modelCache.getModel((dir + "/tex.obj").c_str(), false);
    out.end();
    ASSERT_NE(textured, nullptr);
    ASSERT_EQ(textured->materials.size(), 1u);
    EXPECT_TRUE(textured->materials[0]->textureLoaded);
    EXPECT_FALSE(textured->materials[0]->texture->empty());
    EXPECT_FALSE(textured->materials[0]->picture);
}

TEST_F(SceneFileTest, ReloadingReplacesTheFileContentButKeepsSinks)
{
    scene.sinks.push_back(new Sink);
    load("emitter\nemitter\n");
    load("emitter\n");
    EXPECT_EQ(scene.emitters.size(), 1u);
    EXPECT_EQ(scene.sinks.size(), 1u);
}

namespace {
std::string writeQuadObj()
{
    const std::string path = scratchDir("scenefile-quad") + "/quad.obj";
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fputs("v 0 0 0\nv 10 0 0\nv 10 10 0\nv 0 10 0\nf 1 2 3\nf 1 3 4\n", f);
    std::fclose(f);
    return path;
}
}  // namespace

TEST_F(SceneFileTest, SpringBlocksBuildTuneAndReportTheirModels)
{
    const std::string quad = writeQuadObj();
    const std::string out = load("springmodel\nmodel " + quad + "\nks 50\nkd x\nks inf\npressure 40\ntranslate 0 0 100\n" +
                                 "restretch now\n" + "springspace\nmodel missing.obj\nmodel " + quad +
                                 "\nks 20\nwhatever\n" +
                                 // The last model line decides: one that fails empties the body.
                                 "springmodel\nmodel " + quad + "\nmodel missing.obj\n" + "springspace\nmodel " +
                                 quad + "\nmodel missing.obj\n");
    ASSERT_EQ(scene.springModels.size(), 2u);
    ASSERT_EQ(scene.springSpaces.size(), 2u);
    const SpringModel& m = *scene.springModels[0];
    ASSERT_FALSE(m.spring.empty());
    for (int i : m.spring) {
        // A missing value, or one that is not finite, leaves what "ks 50" and the build set.
        EXPECT_EQ(scene.springSys.spring[i].ks, 50);
        EXPECT_EQ(scene.springSys.spring[i].kd, 10);
    }
    ASSERT_FALSE(m.vertex.empty());
    EXPECT_NEAR(m.vertex[0]->pos.z, 100, 1e-4);
    // The model is asked for with its edges, the space's without.
    EXPECT_FALSE(m.model->edges.empty());
    EXPECT_EQ(scene.springSpaces[0]->model->edges.empty(), true);
    for (const SpringObj* emptied : {static_cast<const SpringObj*>(scene.springModels[1]),
                                     static_cast<const SpringObj*>(scene.springSpaces[1])}) {
        EXPECT_TRUE(emptied->vertex.empty());
        EXPECT_TRUE(emptied->spring.empty());
    }
    EXPECT_EQ(scene.springModels[1]->model, nullptr);
    EXPECT_EQ(scene.springSpaces[1]->model, nullptr);
    // Only the two built bodies hold particles: the quad's 4 and the lattice's 8.
    EXPECT_EQ(scene.parSys.liveCount(), 12);
    const std::string msg = messages(out);
    EXPECT_NE(msg.find("found a number that is not finite: ks inf\n"), std::string::npos);
    EXPECT_NE(msg.find("unable to open the file missing.obj\n"), std::string::npos);
    EXPECT_EQ(msg.find("failed to set springspace model"), std::string::npos);
    EXPECT_NE(msg.find("found an unknown command: whatever\n"), std::string::npos);
    // A gas needs a closed mesh.
    EXPECT_NE(msg.find("the springmodel " + quad + " is not a closed mesh, so it gets no pressure\n"),
              std::string::npos);
    EXPECT_EQ(m.pressure, 0.0f);
    EXPECT_EQ(scene.modelCache.size(), 2);

    // Clearing gives every particle and spring back.
    scene.clear();
    EXPECT_EQ(scene.parSys.liveCount(), 0);
    for (const Spring& s : scene.springSys.spring) EXPECT_FALSE(s.active);

    // A pool too full for the body's particles is reported; the body stays empty and the
    // rest of its block is still read.
    while (scene.parSys.createdCount() < MAX_PARTICLES - 1) scene.parSys.allocParticle();
    const std::string full = messages(load("springmodel\nmodel " + quad + "\nks 10\n"));
    EXPECT_EQ(full, "couldnt alloc enough particles for the springmodel " + quad + "\n");
    ASSERT_EQ(scene.springModels.size(), 1u);
    EXPECT_EQ(scene.springModels[0]->model, nullptr);
}

TEST_F(SceneFileTest, ClothAndSinkBlocksBuildPinAndPlace)
{
    const std::string quad = writeQuadObj();
    const std::string msg = messages(load("cloth\ngrid 3\nsize 10\ntranslate 0 0 50\npinned topcorners\n"
                                          "pin 0 0 50 0.1\npinned sideways\n"
                                          "cloth\ngrid 1\nks 5\n"
                                          "sink\ntranslate 1 2 3\nstrength 100\nstrength 9999\n"
                                          "springspace\nmodel " + quad + "\npin 1000 0 0 1\n"));
    ASSERT_EQ(scene.cloths.size(), 2u);
    const Cloth& c = *scene.cloths[0];
    ASSERT_EQ(c.vertex.size(), 9u);
    // Rows run along +x, the last row furthest along +y: its two ends and the middle pin.
    for (int i = 0; i < 9; ++i) {
        SCOPED_TRACE(i);
        EXPECT_VEC_NEAR(c.vertex[i]->pos, Vec3(5.0f * (i % 3 - 1), 5.0f * (i / 3 - 1), 50), 1e-5f);
        EXPECT_EQ(c.vertex[i]->invMass, i == 6 || i == 8 || i == 4 ? 0.0f : 1.0f);
    }
    for (int k : c.spring) {
        const Spring& s = scene.springSys.spring[k];
        // Rests at the sized sheet's lengths, with the sheet's sideways dashpot.
        EXPECT_NEAR(length(s.p0->pos - s.p1->pos), s.rest, 1e-5f);
        EXPECT_GT(s.across, 0);
    }
    // A grid the sheet cannot have builds nothing, and the block goes on.
    EXPECT_TRUE(scene.cloths[1]->vertex.empty());
    ASSERT_EQ(scene.sinks.size(), 1u);
    EXPECT_VEC_EQ(scene.sinks[0]->pos, Vec3(1, 2, 3));
    EXPECT_EQ(scene.sinks[0]->strength, 100);
    EXPECT_EQ(msg, "pinned 2 particles of the cloth's topcorners\n"
                   "pinned 1 particle within 0.1 of 0 0 50\n"
                   "found an unknown cloth edge: sideways (border, top, bottom, left, right, corners, topcorners)\n"
                   "Cloth.init() needs at least 2 particles a side, got 1\n"
                   "no cloth of 1 x 1 was made\n"
                   "found a sink strength above 3600, too strong for the 1/60 s step: strength 9999\n"
                   "found no/invaild normals - generating...\ndone generating normals.\n"
                   "no particle within 1 of 1000 0 0, none pinned\n");
}

TEST_F(SceneFileTest, ASpringModelTooBigForThePoolGivesItAllBackAndTheFileGoesOn)
{
    const std::string big = scratchDir("scenefile-big") + "/big.obj";
    FILE* f = std::fopen(big.c_str(), "wb");
    for (int i = 0; i <= MAX_PARTICLES; ++i) std::fprintf(f, "v %d 0 %d\n", i % 60, i / 60);
    std::fputs("f 1 2 62\nf 2 63 62\n", f);
    std::fclose(f);
    const std::string quad = writeQuadObj();
    const std::string out = load("springmodel\nmodel " + big + "\nks 10\nemitter\nrate 10\n" +
                                 // The body that failed can still be built in its block.
                                 "springmodel\nmodel " + big + "\nmodel " + quad + "\n");
    const std::string failed = "couldnt alloc enough particles for the springmodel " + big + "\n";
    const std::string msg = messages(out);
    const size_t first = msg.find(failed);
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(msg.find(failed, first + 1), std::string::npos);
    ASSERT_EQ(scene.springModels.size(), 2u);
    EXPECT_TRUE(scene.springModels[0]->vertex.empty());
    EXPECT_EQ(scene.springModels[1]->vertex.size(), 4u);
    ASSERT_EQ(scene.emitters.size(), 1u);
    EXPECT_EQ(scene.emitters[0]->rate, 10);
    // The emitter's particle and the quad's 4, and only the quad's one inner edge.
    EXPECT_EQ(scene.parSys.liveCount(), 5);
    int springs = 0;
    for (const Spring& s : scene.springSys.spring) springs += s.active;
    EXPECT_EQ(springs, 1);
}

namespace {
// Landscapes load their ground texture, so they need a GL context.
class LandscapeFileTest : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        scene.parSys.init();
        scene.emittedParticles.init(&scene.parSys);
    }
    std::string load(const std::string& text)
    {
        const std::string path = scratchDir("scenefile-land") + "/land.scn";
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        StdoutCapture out;
        out.begin();
        scene.load(path.c_str());
        return out.end();
    }
    ParScene scene;
};
}  // namespace

TEST_F(LandscapeFileTest, SettingsCarryOverToLaterBlocksAndCreateMustBeTheWholeLine)
{
    const std::string out = load("landscape\nscale 256 128 64\ntexdetail 4\ntranslate -10 -20 -30\nfriction 0.2\n"
                                 // Refused scales leave the ground as it was.
                                 "scale 1e25 1e25 1e25\nscale 0 0 0\n"
                                 "restitution 0.9\ncreate \ncreate\nlandscape\ncreate\ntranslate 1 1 1\n");
    EXPECT_NE(out.find("found a landscape scale above 1e18, too large for the ground's pictures: "
                       "scale 1e25 1e25 1e25\n"),
              std::string::npos);
    EXPECT_NE(out.find("found a landscape scale of 0, which gives the ground no size: scale 0 0 0\n"),
              std::string::npos);
    EXPECT_NE(out.find("found an unknown command: create \n"), std::string::npos);
    EXPECT_NE(out.find("creating landscape...\n"), std::string::npos);
    // After create the block is closed: the next key line is not a command.
    EXPECT_NE(out.find("found an unknown command: translate 1 1 1\n"), std::string::npos);
    ASSERT_EQ(scene.landscapes.size(), 2u);
    for (const Landscape* l : scene.landscapes) {
        EXPECT_EQ(l->scale, Vec3(256, 128, 64));
        EXPECT_EQ(l->position, Vec3(-10, -20, -30));
        EXPECT_EQ(l->texDetailX, 4);
        EXPECT_EQ(l->texDetailY, 4);
        EXPECT_EQ(l->friction, 0.2f);
        EXPECT_EQ(l->restitution, 0.9f);
    }
}
