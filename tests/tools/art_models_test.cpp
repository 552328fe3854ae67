// The committed models: readable by our loader's subset, closed and outward-wound, with
// shared vertices (the spring model turns every shared edge into a spring), and exactly
// what the generator writes today.
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "art_testutil.h"
#include "support/testutil.h"
#include "tools/art_models.h"

namespace {

const char* const kModels[] = {"yaw", "pitch_chop2", "fwd", "ramp", "bowl", "pillar", "blob", "tower"};

ObjModel loadModel(const std::string& name)
{
    ObjModel m;
    std::string error;
    EXPECT_TRUE(readObj(sourceDir() + "/data/" + name + ".obj", m, error)) << error;
    return m;
}

// Six times the enclosed volume (divergence theorem over the triangles).
double signedVolume6(const ObjModel& m)
{
    double v = 0;
    for (const auto& tri : m.triangles) {
        const Vec3& a = m.vertices[static_cast<size_t>(tri[0].v)];
        const Vec3& b = m.vertices[static_cast<size_t>(tri[1].v)];
        const Vec3& c = m.vertices[static_cast<size_t>(tri[2].v)];
        v += static_cast<double>(dot(a, cross(b, c)));
    }
    return v;
}

}  // namespace

TEST(Models, EveryEdgeIsSharedOnceEachWay)
{
    for (const char* name : kModels) {
        const ObjModel m = loadModel(name);
        ASSERT_FALSE(m.triangles.empty()) << name;
        std::map<std::pair<int, int>, int> directed;
        for (const auto& tri : m.triangles)
            for (int k = 0; k < 3; ++k) {
                const int a = tri[static_cast<size_t>(k)].v, b = tri[static_cast<size_t>((k + 1) % 3)].v;
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

TEST(Models, ModelsEncloseAPositiveVolumeWithoutSlivers)
{
    for (const char* name : kModels) {
        const ObjModel m = loadModel(name);
        EXPECT_GT(signedVolume6(m), 0.0) << name << " is wound inside out";
        for (const auto& tri : m.triangles) {
            const Vec3& a = m.vertices[static_cast<size_t>(tri[0].v)];
            const Vec3& b = m.vertices[static_cast<size_t>(tri[1].v)];
            const Vec3& c = m.vertices[static_cast<size_t>(tri[2].v)];
            EXPECT_GT(length(cross(b - a, c - a)), 1e-4f) << name;
        }
    }
    // A wedge of 60 x 30 rising to 15 holds 60 * 30 * 15 / 2.
    EXPECT_NEAR(signedVolume6(loadModel("ramp")) / 6.0, 13500.0, 1e-3);
}

TEST(Models, NoTwoVerticesShareAPosition)
{
    // A seam of duplicated vertices would split the soft body along it.
    for (const char* name : kModels) {
        const ObjModel m = loadModel(name);
        std::set<std::tuple<long, long, long>> seen;
        for (const Vec3& v : m.vertices)
            EXPECT_TRUE(seen.insert({std::lround(v.x * 1000), std::lround(v.y * 1000), std::lround(v.z * 1000)}).second)
                << name << ": duplicate vertex " << v.x << " " << v.y << " " << v.z;
    }
}

TEST(Models, SceneryIsTexturedThroughMaterialsThatExist)
{
    for (const char* name : {"ramp", "bowl", "pillar", "blob", "tower"}) {
        const ObjModel m = loadModel(name);
        EXPECT_GT(m.texCoordCount, 0u) << name;
        ASSERT_EQ(m.mtllibs.size(), 1u) << name;
        EXPECT_EQ(m.mtllibs[0], std::string("data/") + name + ".mtl");
        // Paths are relative to the working folder, where data/ is the committed folder.
        const std::string mtl = readText(sourceDir() + "/" + m.mtllibs[0]);
        ASSERT_FALSE(mtl.empty()) << name;
        std::set<std::string> materials;
        size_t start = 0;
        while (start < mtl.size()) {
            size_t end = mtl.find('\n', start);
            if (end == std::string::npos) end = mtl.size();
            const std::string line = mtl.substr(start, end - start);
            start = end + 1;
            if (line.empty() || line[0] == '#') continue;
            const std::string key = line.substr(0, line.find(' '));
            const std::string value = line.substr(line.find(' ') + 1);
            EXPECT_TRUE(key == "newmtl" || key == "Ka" || key == "Kd" || key == "Ks" || key == "illum" ||
                        key == "Ns" || key == "map_Kd")
                << name << ".mtl: " << line;
            if (key == "newmtl") materials.insert(value);
            if (key == "map_Kd") {
                EXPECT_EQ(value.find(' '), std::string::npos) << line;
                EXPECT_TRUE(std::filesystem::exists(runDir() + "/" + value)) << value << " is not generated";
            }
        }
        for (const std::string& used : m.usemtls) EXPECT_TRUE(materials.count(used)) << name << ": " << used;
    }
}

TEST(Models, SizesSuitTheWorld)
{
    auto extent = [](const ObjModel& m) {
        Vec3 lo(1e9f, 1e9f, 1e9f), hi(-1e9f, -1e9f, -1e9f);
        for (const Vec3& v : m.vertices)
            for (int k = 0; k < 3; ++k) {
                lo[k] = std::min(lo[k], v[k]);
                hi[k] = std::max(hi[k], v[k]);
            }
        return std::max({hi.x - lo.x, hi.y - lo.y, hi.z - lo.z});
    };
    for (const char* name : {"ramp", "bowl", "pillar", "blob", "tower"}) {
        const float size = extent(loadModel(name));
        EXPECT_GE(size, 10.0f) << name;
        EXPECT_LE(size, 60.0f) << name;
    }
    // Soft body: a few hundred particles, each spring a mesh edge of at least two units
    // (twice a particle's radius) so neighbours do not start inside each other.
    const ObjModel blob = loadModel("blob");
    EXPECT_GE(blob.vertices.size(), 200u);
    EXPECT_LE(blob.vertices.size(), 1000u);
    float shortest = 1e9f;
    for (const auto& tri : blob.triangles)
        for (size_t k = 0; k < 3; ++k) {
            const Vec3& a = blob.vertices[static_cast<size_t>(tri[k].v)];
            const Vec3& b = blob.vertices[static_cast<size_t>(tri[(k + 1) % 3].v)];
            shortest = std::min(shortest, length(a - b));
        }
    EXPECT_GE(shortest, 2.0f);
    const ObjModel tower = loadModel("tower");
    EXPECT_GE(tower.triangles.size(), 200u);
    EXPECT_LE(tower.triangles.size(), 1000u);
}

TEST(Models, CommittedFilesMatchTheGenerator)
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
