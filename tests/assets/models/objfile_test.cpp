// Reading OBJ and MTL text: keywords, faces, validation, fallbacks, generated normals.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "assets/texture.h"
#include "objtest.h"

namespace {

const char* kNormalsGenerated = "found no/invaild normals - generating...\ndone generating normals.\n";

std::vector<std::vector<int>> cornerVertices(const ObjFile& obj)
{
    std::vector<std::vector<int>> out;
    for (const ObjTriangle& t : obj.triangles)
        out.push_back({t.corner[0].vertex, t.corner[1].vertex, t.corner[2].vertex});
    return out;
}

const std::string kSixVertices = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv -1 1 0\nv -1 0 0\n";

}  // namespace

TEST(ObjRead, OnlyVerticesGiveUnitFallbackNormalsAndRadius)
{
    ObjFile obj;
    bool ok = false;
    EXPECT_EQ(loadText(obj, "v 1 2 2\nv -3 0 4\n", false, &ok), kNormalsGenerated);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(obj.triangles.empty());
    EXPECT_EQ(obj.flags, ObjFile::hasNormals);
    ASSERT_EQ(obj.normals.size(), 2u);
    EXPECT_VEC_EQ(obj.normals[0], Vec3(1, 0, 0));
    EXPECT_VEC_EQ(obj.normals[1], Vec3(1, 0, 0));
    EXPECT_FLOAT_EQ(obj.radius, 5.0f);
    EXPECT_VEC_EQ(obj.bounds.min, Vec3(-3, 0, 2));
    EXPECT_VEC_EQ(obj.bounds.max, Vec3(1, 2, 4));
    EXPECT_STREQ(obj.path, "mem.obj");
}

TEST(ObjRead, EmptyModelHasZeroRadiusAndEmptyBounds)
{
    ObjFile obj;
    bool ok = false;
    loadText(obj, "# nothing here\n\r\n", false, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(obj.radius, 0.0f);
    EXPECT_EQ(obj.bounds.min.x, kInfinity);
    EXPECT_EQ(obj.bounds.max.z, -kInfinity);
}

TEST(ObjRead, FacesTriangulateInZigzagOrder)
{
    ObjFile obj;
    EXPECT_EQ(loadText(obj, kSixVertices + "f 1 2 3 4\n"), kNormalsGenerated);
    EXPECT_EQ(cornerVertices(obj), (std::vector<std::vector<int>>{{0, 1, 3}, {2, 3, 1}}));
    EXPECT_EQ(obj.flags, ObjFile::hasNormals);
    EXPECT_TRUE(obj.texCoords.empty());

    loadText(obj, kSixVertices + "f 1 2 3 4 5\n");
    EXPECT_EQ(cornerVertices(obj), (std::vector<std::vector<int>>{{0, 1, 4}, {3, 4, 1}, {1, 2, 3}}));

    loadText(obj, kSixVertices + "f\t1 2\t3 4 5 6   \n");
    EXPECT_EQ(cornerVertices(obj), (std::vector<std::vector<int>>{{0, 1, 5}, {4, 5, 1}, {1, 2, 4}, {3, 4, 2}}));
}

TEST(ObjRead, ShortFacesAndRelativeIndices)
{
    ObjFile obj;
    // -1 ends the face; other negative numbers are out of range.
    EXPECT_EQ(loadText(obj, kSixVertices + "f 1 2\nf -1 2 3\nf 1 2 3 -1 4\n"),
              std::string("found a face with only 2 vertices!\nfound a face with only 0 vertices!\n") +
                  kNormalsGenerated);
    EXPECT_EQ(cornerVertices(obj), (std::vector<std::vector<int>>{{0, 1, 2}}));

    bool ok = true;
    EXPECT_EQ(loadText(obj, kSixVertices + "f 1 2 -2\n", false, &ok),
              "found an out of bounds vertex at tri 0 point 2 with index -3, max 6\n");
    EXPECT_FALSE(ok);

    // A face's fan may have 65536 corners; one more and the face is dropped whole.
    std::string corners;
    for (int i = 0; i < 65536 / 2; ++i) corners += " 1 2";
    loadText(obj, kSixVertices + "f" + corners + "\n");
    EXPECT_EQ(obj.triangles.size(), 65534u);
    EXPECT_EQ(loadText(obj, kSixVertices + "f 1 2 3\nf" + corners + " 3 4\nf 4 5 6\n"),
              std::string("found a face with more than 65536 vertices!\n") + kNormalsGenerated);
    EXPECT_EQ(cornerVertices(obj), (std::vector<std::vector<int>>{{0, 1, 2}, {3, 4, 5}}));
}

TEST(ObjRead, BadVertexIndexEmptiesTheModel)
{
    for (const char* face : {"f 0 1 2\n", "f 1 2 7\n"}) {
        ObjFile obj;
        bool ok = true;
        std::string printed = loadText(obj, kSixVertices + "f 1 2 3\n" + face, false, &ok);
        EXPECT_FALSE(ok);
        EXPECT_EQ(printed, face[2] == '0' ? "found an out of bounds vertex at tri 1 point 0 with index -1, max 6\n"
                                          : "found an out of bounds vertex at tri 1 point 2 with index 6, max 6\n");
        EXPECT_TRUE(obj.vertices.empty());
        EXPECT_TRUE(obj.triangles.empty());
        EXPECT_EQ(obj.flags, 0);
        EXPECT_STREQ(obj.path, "");
    }
}

TEST(ObjRead, HugeIndicesSaturateInsteadOfOverflowing)
{
    ObjFile obj;
    bool ok = true;
    EXPECT_EQ(loadText(obj, kSixVertices + "f 99999999999999999999 1 2\n", false, &ok),
              "found an out of bounds vertex at tri 0 point 0 with index 2147483646, max 6\n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(loadText(obj, kSixVertices + "f -99999999999999999999 1 2\n", false, &ok),
              "found an out of bounds vertex at tri 0 point 0 with index -2147483648, max 6\n");
}

TEST(ObjRead, TexCoordAndNormalFallbacks)
{
    ObjFile obj;
    const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    // Index 1 (0-based) against one texture coordinate: dropped, normals kept.
    EXPECT_EQ(loadText(obj, tri + "vn 0 0 1\nvn 0 0 1\nvn 0 1 0\nvt 0.5 0.5\nf 1/1/1 2/2/2 3/3/3\n"),
              "found an out of bounds texcoord index 1, max 1\n");
    EXPECT_EQ(obj.flags, ObjFile::hasNormals);
    EXPECT_TRUE(obj.texCoords.empty());
    ASSERT_EQ(obj.normals.size(), 3u);
    EXPECT_VEC_EQ(obj.normals[2], Vec3(0, 1, 0));
    EXPECT_EQ(obj.triangles[0].corner[2].normal, 2);

    // Both present and in range: kept as read.
    EXPECT_EQ(loadText(obj, tri + "vt 0 0\nvt 1 0\nvt 0 1\nvn 0 0 -1\nf 1/1/1 2/2/1 3/3/1\n"), "");
    EXPECT_EQ(obj.flags, ObjFile::hasTexCoords | ObjFile::hasNormals);
    EXPECT_EQ(obj.triangles[0].corner[1].texture, 1);
    EXPECT_VEC_EQ(obj.normals[0], Vec3(0, 0, -1));

    // A bad normal index regenerates all normals, with corners pointing at their vertex.
    EXPECT_EQ(loadText(obj, tri + "vt 0 0\nvn 0 0 -1\nf 1/1/1 2/1/2 3/1/1\n"),
              std::string("found an out of bounds normal index 1, max 1\n") + kNormalsGenerated);
    EXPECT_EQ(obj.flags, ObjFile::hasNormals | ObjFile::hasTexCoords);
    EXPECT_EQ(obj.triangles[0].corner[1].normal, 1);
    EXPECT_VEC_EQ(obj.normals[1], Vec3(0, 0, 1));

    // v//n reads only v; one bare corner anywhere in the file drops the texture coordinates.
    EXPECT_EQ(loadText(obj, tri + "vt 0 0\nvn 0 0 1\nf 1//1 2//1 3//1\n"), kNormalsGenerated);
    EXPECT_EQ(obj.flags, ObjFile::hasNormals);
    EXPECT_EQ(loadText(obj, tri + "vt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 3/1/1\nf 1/1/1 2 3/1/1\n"), kNormalsGenerated);
    EXPECT_EQ(obj.flags, ObjFile::hasNormals);
}

TEST(ObjRead, GeneratedNormalsSumUnitFaceNormals)
{
    ObjFile obj;
    // A fold along the x axis: one face in z = 0 (up), one in y = 0 facing -y; a large
    // and a tiny face count the same. A degenerate face contributes (1, 0, 0).
    loadText(obj, "v 0 0 0\nv 10 0 0\nv 0 10 0\nv 0 0 0.001\nv 5 5 5\nf 1 2 3\nf 1 2 4\nf 5 5 5\n");
    ASSERT_EQ(obj.normals.size(), 5u);
    const float s = 1.0f / std::sqrt(2.0f);
    EXPECT_VEC_NEAR(obj.normals[0], Vec3(0, -s, s), 1e-6f);
    EXPECT_VEC_NEAR(obj.normals[2], Vec3(0, 0, 1), 1e-6f);
    EXPECT_VEC_NEAR(obj.normals[3], Vec3(0, -1, 0), 1e-6f);
    EXPECT_VEC_EQ(obj.normals[4], Vec3(1, 0, 0));
    EXPECT_VEC_NEAR(obj.triangles[1].plane.normal, Vec3(0, -1, 0), 1e-6f);
    EXPECT_FLOAT_EQ(obj.triangles[0].plane.d, 0.0f);
}

TEST(ObjRead, PlanesAndRadius)
{
    ObjFile obj;
    loadText(obj, "v 0 0 2\nv 1 0 2\nv 0 1 2\nv 0 0 -3\nf 3 1 2\n");
    EXPECT_VEC_EQ(obj.triangles[0].plane.normal, Vec3(0, 0, 1));
    EXPECT_FLOAT_EQ(obj.triangles[0].plane.d, -2.0f);
    EXPECT_FLOAT_EQ(obj.radius, 3.0f);
}

TEST(ObjRead, UnhandledLinesStopReading)
{
    ObjFile obj;
    const std::string text = kSixVertices + "f 1 2 3\ns 1\nf 1 3 4\n";
    EXPECT_EQ(loadText(obj, text),
              "got unhandled char s 115 at index " + std::to_string(text.find("s 1")) + " of size " +
                  std::to_string(text.size()) + "\n" + kNormalsGenerated);
    EXPECT_EQ(obj.triangles.size(), 1u);

    // Keywords are not found behind leading blanks; high bytes report their unsigned code.
    EXPECT_EQ(loadText(obj, "v 0 0 0\n v 1 1 1\n"), std::string("got unhandled char   32 at index 8 of size 17\n") +
                                                        kNormalsGenerated);
    EXPECT_EQ(obj.vertices.size(), 1u);
    EXPECT_EQ(loadText(obj, "\xc3\n"), std::string("got unhandled char \xc3 195 at index 0 of size 2\n") +
                                          kNormalsGenerated);
    EXPECT_EQ(loadText(obj, "mtl\n"), std::string("got unhandled char m 109 at index 0 of size 4\n") +
                                         kNormalsGenerated);

    // A byte-order mark and blanks before the first keyword are passed over; blanks on
    // later lines still stop the reading.
    EXPECT_EQ(loadText(obj, "\xEF\xBB\xBF \tv 1 2 3\n v 4 5 6\n"),
              std::string("got unhandled char   32 at index 13 of size 22\n") + kNormalsGenerated);
    ASSERT_EQ(obj.vertices.size(), 1u);
    EXPECT_VEC_EQ(obj.vertices[0], Vec3(1, 2, 3));
    loadText(obj, "  \xEF\xBB\xBFv 1 2 3\n");
    EXPECT_TRUE(obj.vertices.empty());
}

TEST(ObjRead, NumbersThatAreNotFiniteDoNotRead)
{
    // Such a value and the ones after it keep their contents (0 for a new record), and
    // each such line is named once, whatever it holds.
    ObjFile obj;
    const std::string printed =
        loadText(obj, "v 1 2 3\nv 4 nan 6\nv 1e39 inf -inf\nv 7 8 1e-50\nvn 0 0 1e309\nvt NAN 0.5\n"
                      "v 0 0 1e38 \tinf\n");
    EXPECT_EQ(printed, std::string("found a number that is not finite: v 4 nan 6\n"
                                   "found a number that is not finite: v 1e39 inf -inf\n"
                                   "found a number that is not finite: vn 0 0 1e309\n"
                                   "found a number that is not finite: vt NAN 0.5\n"));
    ASSERT_EQ(obj.vertices.size(), 5u);
    EXPECT_VEC_EQ(obj.vertices[1], Vec3(4, 0, 0));
    EXPECT_VEC_EQ(obj.vertices[2], Vec3(0, 0, 0));
    EXPECT_VEC_EQ(obj.vertices[3], Vec3(7, 8, 0));
    EXPECT_VEC_EQ(obj.vertices[4], Vec3(0, 0, 1e38f));
    EXPECT_EQ(obj.bounds.max.z, 1e38f);
    EXPECT_EQ(obj.radius, 1e38f);

    std::string mtl = loadMtlText(obj, "newmtl m\nKd 0.5 0.5 0.5\nKd 1 nan 1\nNs inf\n");
    EXPECT_EQ(mtl, "found a number that is not finite: Kd 1 nan 1\nfound a number that is not finite: Ns inf\n");
    ASSERT_EQ(obj.materials.size(), 1u);
    EXPECT_EQ(obj.materials[0]->kd[0], 1.0f);
    EXPECT_EQ(obj.materials[0]->kd[1], 0.5f);
    EXPECT_EQ(obj.materials[0]->ns, 1.0f);
}

TEST(ObjRead, LineEndingsAndUnterminatedBuffers)
{
    ObjFile obj;
    loadText(obj, "# c\r\n\r\nv 1 2 3\r\r\nvt 0.25 0.75\rg group\nv 4 5\n");
    ASSERT_EQ(obj.vertices.size(), 2u);
    EXPECT_VEC_EQ(obj.vertices[0], Vec3(1, 2, 3));
    EXPECT_VEC_EQ(obj.vertices[1], Vec3(4, 5, 0));  // missing values start at 0

    // The byte after the buffer is never read: "v 1 2 35" cut to 7 bytes.
    const char text[] = "v 1 2 35";
    obj.loadFromMemory(text, 7, false, "cut");
    ASSERT_EQ(obj.vertices.size(), 1u);
    EXPECT_VEC_EQ(obj.vertices[0], Vec3(1, 2, 3));

    // A keyword without values does not take the next line's numbers.
    loadText(obj, "v\n1 2 3\n");
    ASSERT_EQ(obj.vertices.size(), 1u);
    EXPECT_VEC_EQ(obj.vertices[0], Vec3(0, 0, 0));
}

TEST(ObjRead, UsemtlSelectsByExactName)
{
    std::string dir = scratchDir("usemtl");
    writeFile(dir + "/m.mtl", "newmtl red\nnewmtl Green\n");
    ObjFile obj;
    std::string printed = loadText(obj, "mtllib " + dir + "/m.mtl\nmtllib " + dir + "/missing.mtl\n" + kSixVertices +
                                            "f 1 2 3\nusemtl Green\nf 1 2 3\nusemtl green\nf 1 2 3\nusemtl red\n"
                                            "f 1 2 3\n");
    EXPECT_EQ(printed, "unable to open the file " + dir + "/missing.mtl\n" + kNormalsGenerated);
    ASSERT_EQ(obj.materials.size(), 2u);
    std::vector<int> used;
    for (const ObjTriangle& t : obj.triangles) used.push_back(t.material);
    EXPECT_EQ(used, (std::vector<int>{-1, 1, -1, 0}));
}

TEST(ObjRead, FilesAndPaths)
{
    std::string dir = scratchDir("files");
    ObjFile obj;
    StdoutCapture out;
    {
        // Models, libraries and the pictures they name come through the same gate.
        NeverEndingFiles endless(dir);
        out.begin();
        bool missing = obj.load((dir + "/none.obj").c_str(), false);
        bool folder = obj.load(dir.c_str(), false);
        bool pipe = obj.load(endless.pipe.c_str(), false);
        bool zero = obj.load(endless.zero.c_str(), false);
        bool pipeLibrary = obj.loadMaterials(endless.pipe.c_str());
        std::string printed = out.end();
        EXPECT_FALSE(missing);
        EXPECT_FALSE(folder);
        EXPECT_FALSE(pipe);
        EXPECT_FALSE(zero);
        EXPECT_FALSE(pipeLibrary);
        EXPECT_EQ(printed, "unable to open the file " + dir + "/none.obj\nunable to open the file " + dir +
                               "\nunable to open the file " + endless.pipe + "\nunable to open the file " +
                               endless.zero + "\nunable to open the file " + endless.pipe + "\n");
        printed = loadMtlText(obj, "newmtl t\nmap_Kd " + endless.zero + "\n");
        EXPECT_NE(printed.find("unable to load requested material " + endless.zero), std::string::npos);
    }

    std::string longName = dir;
    for (int i = 0; i < 3; ++i) {
        longName += "/" + std::string(100, 'n');
        std::filesystem::create_directory(longName);
    }
    longName += ".obj";
    writeFile(longName, "v 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 2 3");
    out.begin();
    EXPECT_TRUE(obj.load(longName.c_str(), false));
    out.end();
    EXPECT_EQ(std::string(obj.path), longName.substr(0, 255));
    EXPECT_EQ(obj.triangles.size(), 1u);
}

TEST(MtlRead, KeywordsAndDefaults)
{
    ObjFile obj;
    bool ok = false;
    EXPECT_EQ(loadMtlText(obj,
                          "# lib\nKd 9 9 9\nnewmtl plain\n\nnewmtl shiny\nKa 0.1 0.2 0.3\nKd 0.4 0.5\r\n"
                          "Ks 1 1 1\nillum 2\nNs 96.5\n",
                          &ok),
              "");
    EXPECT_TRUE(ok);
    ASSERT_EQ(obj.materials.size(), 2u);
    const ObjMaterial& plain = *obj.materials[0];
    EXPECT_EQ(plain.name, "plain");
    EXPECT_EQ(plain.kd[0], 0.0f);
    EXPECT_EQ(plain.ns, 1.0f);
    EXPECT_EQ(plain.illum, 0);
    const ObjMaterial& shiny = *obj.materials[1];
    EXPECT_EQ(shiny.ka[2], 0.3f);
    EXPECT_EQ(shiny.kd[1], 0.5f);
    EXPECT_EQ(shiny.kd[2], 0.0f);
    EXPECT_EQ(shiny.ks[0], 1.0f);
    EXPECT_EQ(shiny.illum, 2);
    EXPECT_EQ(shiny.ns, 96.5f);

    // A second library appends, read past a byte-order mark.
    loadMtlText(obj, "\xEF\xBB\xBFnewmtl third");
    ASSERT_EQ(obj.materials.size(), 3u);
    EXPECT_EQ(obj.materials[2]->name, "third");
}

TEST(MtlRead, FailuresKeepWhatWasRead)
{
    ObjFile obj;
    bool ok = true;
    EXPECT_EQ(loadMtlText(obj, "newmtl a\n  Kd 1 1 1\nnewmtl b\n", &ok), "mtl file unknown char:  \n");
    EXPECT_FALSE(ok);
    EXPECT_EQ(obj.materials.size(), 1u);
    EXPECT_EQ(loadMtlText(obj, "newmtl c\nNi 1.5\n", &ok), "mtl file unknown char: N\n");
    EXPECT_EQ(obj.materials.size(), 2u);

    obj.materials.clear();
    EXPECT_EQ(loadMtlText(obj, "map_Kd tex.bmp\n"),
              "found a map_Kd without any materials present\n");

    std::string printed = loadMtlText(obj, "newmtl t\nmap_Kd no_such_picture.bmp\nKd 1 0 0\n", &ok);
    EXPECT_TRUE(ok);
    EXPECT_NE(printed.find("unable to load requested material no_such_picture.bmp\n"), std::string::npos);
    ASSERT_EQ(obj.materials.size(), 1u);
    EXPECT_EQ(obj.materials[0]->textureFile, "no_such_picture.bmp");
    EXPECT_TRUE(obj.materials[0]->texture->empty());
    EXPECT_EQ(obj.materials[0]->kd[0], 1.0f);
}
