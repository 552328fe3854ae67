// Our files through the program's own readers: every picture decodes to what we wrote,
// and every model loads whole, textured, with one spring edge per mesh edge.
#include <unistd.h>

#include <filesystem>

#include "art_testutil.h"
#include "assets/image.h"
#include "assets/objfile.h"
#include "support/testutil.h"

TEST(ArtThroughLoaders, PicturesDecodeToTheBytesWeWrote)
{
    for (const ArtPicture& picture : artPictures()) {
        const std::string path = runDir() + "/" + picture.path;
        Bmp24 mine;
        std::string error;
        ASSERT_TRUE(readBmp24(path, mine, error)) << error;
        Image* image = loadBmpImage(path.c_str());
        ASSERT_NE(image, nullptr) << path;
        EXPECT_EQ(image->width, mine.width) << path;
        EXPECT_EQ(image->height, mine.height) << path;
        EXPECT_TRUE(image->data && std::equal(mine.rgb.begin(), mine.rgb.end(), image->data)) << path;
        freeImage(image);
    }
}

TEST(ArtThroughLoaders, ModelsLoadWholeWithAllTheirEdges)
{
    // Material and picture paths are relative to the working folder.
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(runDir());
    for (const char* name : {"yaw", "pitch_chop2", "fwd", "ramp", "bowl", "pillar", "blob", "tower"}) {
        const std::string path = std::string("data/") + name + ".obj";
        ObjModel mine;
        std::string error;
        ASSERT_TRUE(readObj(path, mine, error)) << error;
        ObjFile model;
        model.buildTextures = false;
        StdoutCapture out;
        out.begin();
        const bool loaded = model.load(path.c_str(), true);
        const std::string said = out.end();
        ASSERT_TRUE(loaded) << path << "\n" << said;
        for (const char* complaint : {"unhandled", "unable", "unknown", "out of bounds", "only"})
            EXPECT_EQ(said.find(complaint), std::string::npos) << path << "\n" << said;
        EXPECT_EQ(model.triangles.size(), mine.triangles.size()) << path;
        EXPECT_EQ(model.vertices.size(), mine.vertices.size()) << path;
        EXPECT_TRUE(model.flags & ObjFile::hasTexCoords) << path;
        // A closed, consistently wound mesh: every edge joins two triangles.
        EXPECT_EQ(model.edges.size() * 2, model.triangles.size() * 3) << path;
        if (!mine.mtllibs.empty()) {
            ASSERT_EQ(model.materials.size(), 1u) << path;
            EXPECT_TRUE(model.materials[0]->textureLoaded) << path;
            for (const ObjTriangle& t : model.triangles) ASSERT_EQ(t.material, 0) << path;
        }
    }
    std::filesystem::current_path(saved);
}
