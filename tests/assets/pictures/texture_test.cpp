// Textures: reader choice and alpha weights without GL; building, binding, cube maps and
// drawing in an offscreen context, read back from the GL.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/glext.h"
#include "assets/texture.h"
#include "bmpbuild.h"
#include "support/glcontext.h"
#include "support/testutil.h"

namespace {

// A 24-bit bitmap file of the given 0xRRGGBB pixels, bottom row first.
std::vector<uint8_t> bmp24(int width, int height, const std::vector<uint32_t>& rgb)
{
    BmpLayout s;
    s.width = width, s.height = height;
    for (int y = 0; y < height; ++y) {
        std::vector<uint8_t> row;
        for (int x = 0; x < width; ++x) {
            uint32_t c = rgb[y * width + x];
            row.push_back(c & 255), row.push_back((c >> 8) & 255), row.push_back(c >> 16);
        }
        while (row.size() % 4) row.push_back(0);
        s.pixels.insert(s.pixels.end(), row.begin(), row.end());
    }
    return buildBmp(s);
}

// Level 0 of the bound texture, sized from what the GL holds (the mipmap builder may
// rescale); `bytes` is what the caller expects and only documents the call.
std::vector<uint8_t> levelZero(GLenum target, GLenum format, int bytes)
{
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &h);
    size_t size = size_t(w) * h * (format == GL_RGBA ? 4 : 3);
    EXPECT_EQ(size, size_t(bytes)) << "level 0 is " << w << " x " << h;
    std::vector<uint8_t> out(size, 0xCD);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

}  // namespace

TEST(TextureImage, ReaderIsChosenByTheTextAfterTheLastDot)
{
    std::string dir = scratchDir("texture_ext");
    std::string ppm = "P3\n# c\n1 1\n255\n1 2 3\n";
    std::vector<uint8_t> ppmBytes(ppm.begin(), ppm.end());
    std::vector<uint8_t> bmp = bmp24(1, 1, {0x0A0B0C});
    std::filesystem::create_directories(dir + "/pics.ppm");
    writeBytes(dir + "/upper.PPM", ppmBytes);
    writeBytes(dir + "/text.bmp", ppmBytes);
    writeBytes(dir + "/text.ppmx", ppmBytes);
    writeBytes(dir + "/pics.ppm/picture", bmp);
    writeBytes(dir + "/noext", bmp);

    auto first = [](const std::string& path) {
        Image* image = Texture::loadImage(path.c_str());
        int v = image ? image->data[0] : -1;
        freeImage(image);
        return v;
    };
    StdoutCapture capture;
    capture.begin();
    EXPECT_EQ(first(dir + "/upper.PPM"), 1);
    EXPECT_EQ(first(dir + "/text.bmp"), -1);
    EXPECT_EQ(first(dir + "/text.ppmx"), -1);
    EXPECT_EQ(first(dir + "/pics.ppm/picture"), 0x0A);
    EXPECT_EQ(first(dir + "/noext"), 0x0A);
    std::string out = capture.end();
    // Only the two mislabelled text files went to the bitmap reader and were refused.
    EXPECT_EQ(out, "beginning ppm texture load...\nend ppm texture load.\n"
                   "Unknown DIB file format.\nUnknown DIB file format.\n");
}

TEST(TextureImage, AlphaIsSinglePrecisionBrightness)
{
    EXPECT_EQ(Texture::alphaWeight(255, 255, 255), 254);
    EXPECT_EQ(Texture::alphaWeight(0, 0, 0), 0);
    EXPECT_EQ(Texture::alphaWeight(255, 0, 0), 76);
    EXPECT_EQ(Texture::alphaWeight(0, 255, 0), 150);
    EXPECT_EQ(Texture::alphaWeight(0, 0, 255), 28);
    EXPECT_EQ(Texture::packedPixelSize(GL_RGB, GL_UNSIGNED_BYTE), 3);
    EXPECT_EQ(Texture::packedPixelSize(GL_LUMINANCE_ALPHA, GL_UNSIGNED_SHORT), 4);
    EXPECT_EQ(Texture::packedPixelSize(GL_RGBA, GL_FLOAT), 16);
    EXPECT_EQ(Texture::packedPixelSize(GL_RGB, GL_BITMAP), 0);
}

class TextureGl : public GlTest {};

TEST_F(TextureGl, StridedPixelsAreRepackedWithAMessage)
{
    // RGB bytes with pixel stride 4 and a padded row stride; the caller's unpack
    // alignment of 4 must not skew the 6-byte tight rows either. (Sizes are powers of
    // two: the mipmap builder would rescale others.)
    std::vector<uint8_t> src;
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) src.insert(src.end(), {uint8_t(10 * y + x), uint8_t(100 + x), uint8_t(200 + y), 0xEE});
        src.insert(src.end(), {0xEE, 0xEE});
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    Texture t;
    StdoutCapture capture;
    capture.begin();
    EXPECT_TRUE(t.build2DMipmaps(2, 2, GL_RGB, GL_UNSIGNED_BYTE, src.data(), 4, 10));
    std::string out = capture.end();
    EXPECT_EQ(out, "allocating texture copy buffer...\n");
    EXPECT_EQ(t.target, GLenum(GL_TEXTURE_2D));
    EXPECT_EQ(levelZero(GL_TEXTURE_2D, GL_RGB, 12),
              (std::vector<uint8_t>{0, 100, 200, 1, 101, 200, 10, 100, 201, 11, 101, 201}));
    GLint wrap = 0, minFilter = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(wrap, GL_REPEAT);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);

    // Packed data (strides 0 are raised to the packed sizes) is used as it is.
    capture.begin();
    EXPECT_TRUE(t.build2DMipmaps(2, 1, GL_RGB, GL_UNSIGNED_BYTE, src.data(), 0, 0));
    EXPECT_EQ(capture.end(), "");
    EXPECT_EQ(levelZero(GL_TEXTURE_2D, GL_RGB, 6), (std::vector<uint8_t>{0, 100, 200, 0xEE, 1, 101}));

    // The 1-D form repacks the same way.
    capture.begin();
    EXPECT_TRUE(t.build1DMipmaps(2, GL_RGB, GL_UNSIGNED_BYTE, src.data(), 4));
    EXPECT_EQ(capture.end(), "allocating texture copy buffer...\n");
    EXPECT_EQ(t.target, GLenum(GL_TEXTURE_1D));
    EXPECT_EQ(levelZero(GL_TEXTURE_1D, GL_RGB, 6), (std::vector<uint8_t>{0, 100, 200, 1, 101, 200}));
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
}

TEST_F(TextureGl, BindReleaseAndEmptyTextures)
{
    Texture t;
    glEnable(GL_TEXTURE_2D);
    t.bind();  // empty: untextured drawing
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_1D));

    uint8_t white[3] = {255, 255, 255};
    ASSERT_TRUE(t.build1DMipmaps(1, GL_RGB, GL_UNSIGNED_BYTE, white, 3));
    t.bind();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_1D));
    ASSERT_TRUE(t.build2DMipmaps(1, 1, GL_RGB, GL_UNSIGNED_BYTE, white, 3, 3));
    t.bind();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_1D));
    GLuint name = t.id;
    EXPECT_TRUE(glIsTexture(name));
    t.release();
    EXPECT_FALSE(glIsTexture(name));
    EXPECT_EQ(t.id, 0u);
    EXPECT_EQ(t.target, 0u);
    {
        Texture scoped;
        scoped.build2DMipmaps(1, 1, GL_RGB, GL_UNSIGNED_BYTE, white, 3, 3);
        name = scoped.id;
    }
    EXPECT_FALSE(glIsTexture(name));
    Texture::disableTargets();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_F(TextureGl, NothingToBuildFromIsAFailure)
{
    // A null picture or a layout the GL refuses must not report a texture that is not there.
    while (glGetError() != GL_NO_ERROR) {
    }
    Texture t;
    uint8_t texel[4] = {1, 2, 3, 4};
    ASSERT_TRUE(t.build2DMipmaps(1, 1, GL_RGB, GL_UNSIGNED_BYTE, texel, 3, 3));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    StdoutCapture capture;
    capture.begin();
    EXPECT_FALSE(t.build2DMipmaps(4, 4, GL_RGB, GL_UNSIGNED_BYTE, nullptr, 3, 12));
    EXPECT_TRUE(t.empty());
    EXPECT_FALSE(t.build2DMipmaps(0, 1, GL_RGB, GL_UNSIGNED_BYTE, texel, 3, 3));
    EXPECT_FALSE(t.build1DMipmaps(1, GL_RGB, GL_UNSIGNED_BYTE, nullptr, 3));
    std::string out = capture.end();
    EXPECT_EQ(out, "Texture::build2DMipmaps() - no picture to build from\n"
                   "Texture::build2DMipmaps() - no picture to build from\n"
                   "Texture::build1DMipmaps() - no picture to build from\n");
    capture.begin();
    EXPECT_FALSE(t.build2DMipmaps(1, 1, GL_RGB, 0x1234, texel, 0, 0));
    EXPECT_FALSE(t.build1DMipmaps(1, GL_RGBA, 0x1234, texel, 0));
    out = capture.end();
    EXPECT_EQ(out.rfind("Texture::build2DMipmaps() - ", 0), 0u) << out;
    EXPECT_NE(out.find("\nTexture::build1DMipmaps() - "), std::string::npos) << out;
    EXPECT_TRUE(t.empty());
    while (glGetError() != GL_NO_ERROR) {  // the builder's own probing of the bad layouts
    }
}

TEST_F(TextureGl, LoadedPictureDrawsRightWayUp)
{
    // 2 x 2 picture, bottom row red then green, top row blue then white, drawn over the
    // whole view with nearest filtering: each quarter shows its texel.
    std::string dir = scratchDir("texture_draw");
    writeBytes(dir + "/quad.bmp", bmp24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    Texture t;
    ASSERT_TRUE(t.load((dir + "/quad.bmp").c_str()));
    EXPECT_EQ(levelZero(GL_TEXTURE_2D, GL_RGB, 12),
              (std::vector<uint8_t>{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255}));
    t.setFilters(GL_NEAREST, GL_NEAREST);
    glDisable(GL_DEPTH_TEST);
    t.bind();
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0), glVertex2f(-1, -1);
    glTexCoord2f(1, 0), glVertex2f(1, -1);
    glTexCoord2f(1, 1), glVertex2f(1, 1);
    glTexCoord2f(0, 1), glVertex2f(-1, 1);
    glEnd();
    Texture::disableTargets();
    grab();
    Rgb bl = pixel(64, 64), br = pixel(192, 64), tl = pixel(64, 192), tr = pixel(192, 192);
    EXPECT_EQ((std::vector<int>{bl.r, bl.g, bl.b}), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ((std::vector<int>{br.r, br.g, br.b}), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ((std::vector<int>{tl.r, tl.g, tl.b}), (std::vector<int>{0, 0, 255}));
    EXPECT_EQ((std::vector<int>{tr.r, tr.g, tr.b}), (std::vector<int>{255, 255, 255}));

    // A missing file fails and leaves a new texture empty.
    Texture fresh;
    StdoutCapture capture;
    capture.begin();
    EXPECT_FALSE(fresh.load((dir + "/none.bmp").c_str()));
    capture.end();
    EXPECT_TRUE(fresh.empty());
}

TEST_F(TextureGl, AlphaFromASecondPicture)
{
    std::string dir = scratchDir("texture_alpha");
    writeBytes(dir + "/colour.bmp", bmp24(2, 1, {0x102030, 0x405060}));
    writeBytes(dir + "/alpha.bmp", bmp24(2, 1, {0xFFFFFF, 0x000000}));
    writeBytes(dir + "/wide.bmp", bmp24(3, 1, {0, 0, 0}));
    Texture t;
    ASSERT_TRUE(t.load2DWithAlpha((dir + "/colour.bmp").c_str(), (dir + "/alpha.bmp").c_str()));
    EXPECT_EQ(levelZero(GL_TEXTURE_2D, GL_RGBA, 8), (std::vector<uint8_t>{0x10, 0x20, 0x30, 254, 0x40, 0x50, 0x60, 0}));

    StdoutCapture capture;
    capture.begin();
    EXPECT_FALSE(t.load2DWithAlpha((dir + "/colour.bmp").c_str(), (dir + "/wide.bmp").c_str()));
    EXPECT_FALSE(t.load2DWithAlpha((dir + "/none.bmp").c_str(), (dir + "/alpha.bmp").c_str()));
    EXPECT_FALSE(t.load2DWithAlpha((dir + "/colour.bmp").c_str(), (dir + "/none.bmp").c_str()));
    std::string out = capture.end();
    EXPECT_EQ(out, "Texture::load2DWithAlpha() - failed - misaligned texture sizes\n"
                   "Failed to open DIB file " + dir + "/none.bmp.\n"
                   "Texture::load2DWithAlpha() - failed to load colormap " + dir + "/none.bmp\n"
                   "Failed to open DIB file " + dir + "/none.bmp.\n"
                   "Texture::load2DWithAlpha() - failed to load alphamap " + dir + "/none.bmp\n");
}

TEST_F(TextureGl, CubeMaps)
{
    if (!glExt.cubeMap) GTEST_SKIP() << "no cube maps in this GL";
    std::string dir = scratchDir("texture_cube");
    std::vector<std::string> files;
    const uint32_t colours[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    for (int face = 0; face < 6; ++face) {
        files.push_back(dir + "/face" + std::to_string(face) + ".bmp");
        writeBytes(files.back(), bmp24(2, 2, std::vector<uint32_t>(4, colours[face])));
    }
    const char* paths[6];
    for (int face = 0; face < 6; ++face) paths[face] = files[face].c_str();
    Texture t;
    ASSERT_TRUE(t.loadCubeMap(paths));
    EXPECT_EQ(t.target, GLenum(GL_TEXTURE_CUBE_MAP));
    for (int face = 0; face < 6; ++face) {
        auto texels = levelZero(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, GL_RGB, 12);
        EXPECT_EQ((texels[0] << 16) | (texels[1] << 8) | texels[2], int(colours[face])) << face;
    }
    t.bind();
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_CUBE_MAP));
    Texture::disableTargets();
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_CUBE_MAP));

    // One unreadable face (a PPM is not read here) fails the whole map and frees it.
    std::string ppm = dir + "/face.ppm";
    writeBytes(ppm, {'P', '3', '\n'});
    paths[3] = ppm.c_str();
    StdoutCapture capture;
    capture.begin();
    EXPECT_FALSE(t.loadCubeMap(paths));
    EXPECT_EQ(capture.end(), "Unknown DIB file format.\n");
    EXPECT_TRUE(t.empty());
    paths[3] = nullptr;
    EXPECT_FALSE(t.loadCubeMap(paths));

    // Face by face, with a strided upload and a sub-image update.
    ASSERT_TRUE(t.initCubeMap());
    // Faces must be square: 2 x 2, pixel stride 4.
    uint8_t strided[16] = {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0};
    uint8_t packed[12] = {21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};
    for (int face = 0; face < 6; ++face) {
        capture.begin();
        EXPECT_TRUE(t.uploadCubeFace(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, strided, 4, 8));
        EXPECT_EQ(capture.end(), "allocating texture copy buffer...\n");
    }
    EXPECT_EQ(levelZero(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_RGB, 12),
              (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_TRUE(t.updateCubeFace(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, packed, 3, 6));
    EXPECT_FALSE(t.updateCubeFace(GL_TEXTURE_CUBE_MAP_NEGATIVE_X, 2, 2, GL_RGB, GL_UNSIGNED_BYTE, nullptr, 3, 6));
    EXPECT_EQ(levelZero(GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_RGB, 12),
              (std::vector<uint8_t>{21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32}));
}
