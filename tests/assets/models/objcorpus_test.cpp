// Public models none of us wrote: each loads, or stops with one of the reader's messages,
// and whatever loads is internally consistent.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "objtest.h"

TEST(ObjCorpus, EveryModelLoadsOrStopsWithAMessage)
{
    std::string dir = corpusDir("obj");
    TV_REQUIRE_CORPUS(dir);
    int models = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".obj") continue;
        ++models;
        std::string path = entry.path().string();
        SCOPED_TRACE(path);
        ObjFile obj;
        StdoutCapture out;
        out.begin();
        bool ok = obj.load(path.c_str(), entry.file_size() < 1000000);
        std::string printed = out.end();
        if (!ok) {
            EXPECT_NE(printed.find("found an out of bounds vertex"), std::string::npos) << printed;
            EXPECT_TRUE(obj.vertices.empty());
            continue;
        }
        EXPECT_EQ(std::string(obj.path), path);
        if (obj.triangles.empty()) {
            EXPECT_NE(printed.find("got unhandled char"), std::string::npos) << printed;
        }
        ASSERT_TRUE(obj.flags & ObjFile::hasNormals);
        for (const ObjTriangle& t : obj.triangles) {
            for (const ObjCorner& c : t.corner) {
                ASSERT_LT(unsigned(c.vertex), obj.vertices.size());
                ASSERT_LT(unsigned(c.normal), obj.normals.size());
                if (obj.flags & ObjFile::hasTexCoords) {
                    ASSERT_LT(unsigned(c.texture), obj.texCoords.size());
                }
            }
        }
        for (const ObjEdge& e : obj.edges) {
            const ObjTriangle &a = obj.triangles[e.a], &b = obj.triangles[e.b];
            ASSERT_LT(e.a, e.b);
            ASSERT_EQ(a.corner[e.cornerA].vertex, b.corner[(e.cornerB + 1) % 3].vertex);
            ASSERT_EQ(a.corner[(e.cornerA + 1) % 3].vertex, b.corner[e.cornerB].vertex);
        }
        for (const Vec3& v : obj.vertices) ASSERT_LE(length(v), obj.radius * 1.0001f);
    }
    EXPECT_GT(models, 0);
}

TEST(ObjCorpus, KnownModels)
{
    std::string dir = corpusDir("obj");
    TV_REQUIRE_CORPUS(dir);
    ObjFile obj;
    StdoutCapture out;
    out.begin();
    bool ok = obj.load((dir + "/spot.obj").c_str(), true);
    std::string printed = out.end();
    ASSERT_TRUE(ok);
    EXPECT_EQ(obj.triangles.size(), 5856u);
    EXPECT_EQ(obj.vertices.size(), 2930u);
    EXPECT_EQ(obj.flags, ObjFile::hasTexCoords | ObjFile::hasNormals);
    // A closed, consistently wound mesh: every triangle edge is shared exactly once.
    EXPECT_EQ(obj.edges.size(), obj.triangles.size() * 3 / 2);
    EXPECT_EQ(printed.rfind("found no/invaild normals - generating...\ndone generating normals.\ngenerating edges...\n", 0),
              0u);

    // The beetle names a library that is not there, then stops at its object line.
    out.begin();
    ok = obj.load((dir + "/beetle.obj").c_str(), false);
    printed = out.end();
    EXPECT_TRUE(ok);
    EXPECT_EQ(printed.rfind("unable to open the file VWBugMesh002.mtl\ngot unhandled char o 111 at index ", 0), 0u);
    EXPECT_TRUE(obj.triangles.empty());
}
