// The committed models through the program's own reader: read whole (no line it would
// stop at or reject), textured, closed and outward-wound, with shared vertices (the
// spring model turns every shared edge into a spring), and exactly what the generator
// writes today.
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <tuple>

#include "art_testutil.h"
#include "assets/objfile.h"
#include "support/testutil.h"
#include "tools/art_models.h"

namespace {

const char* const kModels[] = {"yaw", "pitch_chop2", "fwd", "ramp", "bowl", "pillar", "blob", "tower"};
const char* const kScenery[] = {"ramp", "bowl", "pillar", "blob", "tower"};

Vec3 corner(const ObjFile& m, const ObjTriangle& t, int k)
{
    return m.vertices[static_cast<size_t>(t.corner[k].vertex)];
}

// Six times the enclosed volume (divergence theorem over the triangles).
double signedVolume6(const ObjFile& m)
{
    double v = 0;
    for (const ObjTriangle& t : m.triangles)
        v += static_cast<double>(dot(corner(m, t, 0), cross(corner(m, t, 1), corner(m, t, 2))));
    return v;
}

}  // namespace

// Models load from the run folder, where their material and picture paths lead.
class Models : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = std::filesystem::current_path();
        std::filesystem::current_path(runDir());
    }
    void TearDown() override { std::filesystem::current_path(saved); }

    // Loads with edges; the console output goes to `said`.
    std::unique_ptr<ObjFile> load(const std::string& name, std::string* said = nullptr)
    {
        auto model = std::make_unique<ObjFile>();
        StdoutCapture out;
        out.begin();
        const bool ok = model->load(("data/" + name + ".obj").c_str(), true);
        const std::string text = out.end();
        EXPECT_TRUE(ok) << name << "\n" << text;
        if (said) *said = text;
        return model;
    }

    std::filesystem::path saved;
};

TEST_F(Models, LoadWholeAndTexturedWithOneSpringPerEdge)
{
    for (const char* name : kModels) {
        std::string said;
        const auto m = load(name, &said);
        // The reader stops at lines it does not know and reports bad indices and MTL lines.
        for (const char* complaint : {"unhandled", "unable", "unknown", "out of bounds", "only"})
            EXPECT_EQ(said.find(complaint), std::string::npos) << name << "\n" << said;
        const std::string text = readText(sourceDir() + "/data/" + name + ".obj");
        size_t faces = 0;
        for (size_t at = text.find("\nf "); at != std::string::npos; at = text.find("\nf ", at + 1)) ++faces;
        EXPECT_EQ(m->triangles.size(), faces) << name;
        EXPECT_TRUE(m->flags & ObjFile::hasTexCoords) << name;
        // Closed and consistently wound: every edge joins two triangles.
        EXPECT_EQ(m->edges.size() * 2, m->triangles.size() * 3) << name;
    }
    for (const char* name : kScenery) {
        const auto m = load(name);
        ASSERT_EQ(m->materials.size(), 1u) << name;
        EXPECT_TRUE(m->materials[0]->textureLoaded) << name << ": " << m->materials[0]->textureFile;
        for (const ObjTriangle& t : m->triangles) ASSERT_EQ(t.material, 0) << name;
    }
}

TEST_F(Models, EveryEdgeIsSharedOnceEachWay)
{
    for (const char* name : kModels) {
        const auto m = load(name);
        ASSERT_FALSE(m->triangles.empty()) << name;
        std::map<std::pair<int, int>, int> directed;
        for (const ObjTriangle& t : m->triangles)
            for (int k = 0; k < 3; ++k) {
                const int a = t.corner[k].vertex, b = t.corner[(k + 1) % 3].vertex;
                ASSERT_NE(a, b) << name << ": degenerate triangle";
                ++directed[{a, b}];
            }
        int bad = 0;
        for (const auto& [edge, count] : directed) {
            auto back = directed.find({edge.second, edge.first});
            if (count != 1 || back == directed.end() || back->second != 1) ++bad;
        }
        EXPECT_EQ(bad, 0) << name << ": edges not shared exactly once in each direction";
    }
}

TEST_F(Models, EncloseAPositiveVolumeWithoutSliversOrDuplicateVertices)
{
    for (const char* name : kModels) {
        const auto m = load(name);
        EXPECT_GT(signedVolume6(*m), 0.0) << name << " is wound inside out";
        for (const ObjTriangle& t : m->triangles)
            EXPECT_GT(length(cross(corner(*m, t, 1) - corner(*m, t, 0), corner(*m, t, 2) - corner(*m, t, 0))), 1e-4f)
                << name;
        // A seam of duplicated vertices would split a soft body along it.
        std::set<std::tuple<long, long, long>> seen;
        for (const Vec3& v : m->vertices)
            EXPECT_TRUE(seen.insert({std::lround(v.x * 1000), std::lround(v.y * 1000), std::lround(v.z * 1000)}).second)
                << name << ": duplicate vertex " << v.x << " " << v.y << " " << v.z;
    }
    // A wedge of 60 x 30 rising to 15 holds 60 * 30 * 15 / 2.
    EXPECT_NEAR(signedVolume6(*load("ramp")) / 6.0, 13500.0, 1e-3);
}

TEST_F(Models, SizesSuitTheWorld)
{
    for (const char* name : kScenery) {
        const auto m = load(name);
        const Vec3 size = m->bounds.max - m->bounds.min;
        EXPECT_GE(std::max({size.x, size.y, size.z}), 10.0f) << name;
        EXPECT_LE(std::max({size.x, size.y, size.z}), 60.0f) << name;
    }
    // Soft body: a closed skin of a few dozen particles, each spring a mesh edge of at
    // least two units (twice a particle's radius) so neighbours do not start inside each
    // other.
    const auto blob = load("blob");
    EXPECT_GE(blob->vertices.size(), 40u);
    EXPECT_LE(blob->vertices.size(), 100u);
    EXPECT_EQ(2 * blob->edges.size(), 3 * blob->triangles.size());
    float shortest = 1e9f;
    for (const ObjTriangle& t : blob->triangles)
        for (int k = 0; k < 3; ++k)
            shortest = std::min(shortest, length(corner(*blob, t, k) - corner(*blob, t, (k + 1) % 3)));
    EXPECT_GE(shortest, 2.0f);
    const auto tower = load("tower");
    EXPECT_GE(tower->triangles.size(), 200u);
    EXPECT_LE(tower->triangles.size(), 1000u);
}

TEST(CommittedModels, MatchTheGenerator)
{
    // The models in data/ are generated; a hand edit or a stale file shows up here.
    const std::string dir = scratchDir("art_models");
    const std::map<std::string, Mesh> meshes = {
        {"yaw", art::yawArrow()}, {"pitch_chop2", art::pitchArrow()}, {"fwd", art::forwardArrow()},
        {"ramp", art::ramp()},    {"bowl", art::bowl()},              {"pillar", art::pillar()},
        {"blob", art::blob()},    {"tower", art::tower()},
    };
    for (const char* name : kModels) {
        const std::string fresh = dir + "/" + name + ".obj";
        const std::string committed = readText(sourceDir() + "/data/" + name + ".obj");
        ASSERT_FALSE(committed.empty()) << name;
        // The header and mtllib lines come from the tool; compare from the first vertex.
        ASSERT_TRUE(meshes.at(name).writeObj(fresh, "", ""));
        const std::string now = readText(fresh);
        EXPECT_EQ(committed.substr(committed.find("\nv ")), now.substr(now.find("\nv "))) << name;
    }
}
