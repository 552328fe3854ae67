// Drawing a model into an offscreen framebuffer: material textures, texture
// coordinates and caller-supplied positions.
#include <gtest/gtest.h>

#include <string>

#include "assets/texture.h"
#include "support/glcontext.h"
#include "objtest.h"

namespace {

// A 2 x 1 texture: left texel `left`, right texel `right`, sampled without filtering.
void makeTexture(Texture& tex, const unsigned char left[3], const unsigned char right[3])
{
    unsigned char texels[6] = {left[0], left[1], left[2], right[0], right[1], right[2]};
    glGenTextures(1, &tex.id);
    tex.target = GL_TEXTURE_2D;
    glBindTexture(GL_TEXTURE_2D, tex.id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
}

const unsigned char kRed[3] = {255, 0, 0}, kGreen[3] = {0, 255, 0}, kBlue[3] = {0, 0, 255};

// Four unit quads, one per quadrant of the view (top left, top right, bottom left,
// bottom right), each with its own material line; u = 0.25 or 0.75 picks a texel.
std::string quadrantModel(const char* materials[4], const char* texcoord[4])
{
    std::string text = "vt 0.25 0.5\nvt 0.75 0.5\n";
    const int ox[4] = {-1, 0, -1, 0}, oy[4] = {0, 0, -1, -1};
    for (int q = 0; q < 4; ++q) {
        for (int c = 0; c < 4; ++c) {
            int x = ox[q] + (c == 1 || c == 2), y = oy[q] + (c >= 2);
            text.append("v ").append(std::to_string(x)).append(" ").append(std::to_string(y)).append(" 0\n");
        }
    }
    for (int q = 0; q < 4; ++q) {
        text.append("usemtl ").append(materials[q]).append("\nf");
        for (int c = 1; c <= 4; ++c) text.append(" ").append(std::to_string(q * 4 + c)).append("/").append(texcoord[q]);
        text += "\n";
    }
    return text;
}

class ObjDraw : public GlTest {
protected:
    // Loads the model after a two-material library (red, green), as an mtllib line
    // does, and gives the materials hand-made textures (no picture files needed).
    void load(const std::string& model)
    {
        std::string dir = scratchDir("objdraw");
        writeFile(dir + "/lib.mtl", "newmtl red\nnewmtl green\n");
        loadText(obj, "mtllib " + dir + "/lib.mtl\n" + model);
        ASSERT_EQ(obj.materials.size(), 2u);
        makeTexture(*obj.materials[0]->texture, kRed, kBlue);
        makeTexture(*obj.materials[1]->texture, kGreen, kBlue);
    }
    static bool is(const Rgb& p, int r, int g, int b) { return p.r == r && p.g == g && p.b == b; }
    ObjFile obj;
};

}  // namespace

TEST_F(ObjDraw, EachMaterialDrawsWithItsTexture)
{
    const char* materials[4] = {"red", "green", "none", "red"};
    const char* texcoord[4] = {"1", "1", "1", "2"};
    load(quadrantModel(materials, texcoord));
    ASSERT_EQ(obj.triangles.size(), 8u);
    EXPECT_EQ(obj.triangles[4].material, -1);
    obj.draw();
    grab();
    EXPECT_TRUE(is(pixel(64, 192), 255, 0, 0));     // red, left texel
    EXPECT_TRUE(is(pixel(192, 192), 0, 255, 0));    // green
    EXPECT_TRUE(is(pixel(64, 64), 255, 255, 255));  // no material: untextured
    EXPECT_TRUE(is(pixel(192, 64), 0, 0, 255));     // red again, right texel
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), obj.materials[0]->texture->id);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(ObjDraw, OutOfRangeMaterialDrawsUntextured)
{
    const char* materials[4] = {"green", "green", "red", "green"};
    const char* texcoord[4] = {"1", "2", "1", "1"};
    load(quadrantModel(materials, texcoord));
    obj.triangles[7].material = 2;  // past the list
    obj.draw();
    grab();
    EXPECT_TRUE(is(pixel(64, 192), 0, 255, 0));
    EXPECT_TRUE(is(pixel(192, 192), 0, 0, 255));
    EXPECT_TRUE(is(pixel(64, 64), 255, 0, 0));
    // Bottom right: triangle 6 (corners 0, 1, 3: the lower left half) green, triangle 7 white.
    EXPECT_TRUE(is(pixel(134, 6), 0, 255, 0));
    EXPECT_TRUE(is(pixel(250, 122), 255, 255, 255));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(ObjDraw, WithoutMaterialsTheCurrentTextureStaysAndPositionsComeFromTheCaller)
{
    const char* materials[4] = {"red", "green", "red", "green"};
    const char* texcoord[4] = {"2", "2", "2", "2"};
    load(quadrantModel(materials, texcoord));
    // Only the top left quad, moved right by one: drawn through a deformed copy.
    std::vector<Vec3> moved = obj.vertices;
    for (Vec3& v : moved) v.x += 1;
    obj.triangles.resize(2);
    Texture own;
    makeTexture(own, kGreen, kRed);
    own.bind();
    obj.draw(moved.data(), false);
    grab();
    EXPECT_TRUE(is(pixel(64, 192), 0, 0, 0));
    EXPECT_TRUE(is(pixel(192, 192), 255, 0, 0));  // the caller's texture, right texel
}
