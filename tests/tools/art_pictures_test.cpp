// The generated pictures: present, readable, the sizes the program expects, tileable
// where they repeat, and fit for how they are drawn.
#include <cmath>
#include <cstdlib>

#include "art_testutil.h"
#include "assets/image.h"
#include "support/testutil.h"
#include "tools/art_buttons.h"

namespace {

Bmp24 load(const std::string& relative)
{
    Bmp24 img;
    std::string error;
    EXPECT_TRUE(readBmp24(runDir() + "/" + relative, img, error)) << error;
    return img;
}

float grey(const unsigned char* p) { return (p[0] + p[1] + p[2]) / (3.0f * 255.0f); }

// Mean absolute step from each texel to its right (dx = 1) or upper (dy = 1) neighbour,
// wrapping around; either over the whole picture or only across the wrap.
float meanStep(const Bmp24& img, int dx, int dy, bool onlyAcrossWrap)
{
    double sum = 0;
    int n = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const bool wraps = (dx && x == img.width - 1) || (dy && y == img.height - 1);
            if (onlyAcrossWrap && !wraps) continue;
            const unsigned char* a = img.at(x, y);
            const unsigned char* b = img.at((x + dx) % img.width, (y + dy) % img.height);
            for (int k = 0; k < 3; ++k) sum += std::abs(a[k] - b[k]);
            ++n;
        }
    return static_cast<float>(sum / n);
}

}  // namespace

TEST(Pictures, EveryFixedPictureExistsWithItsSize)
{
    for (const ArtPicture& e : artPictures()) {
        const Bmp24 img = load(e.path);
        EXPECT_EQ(img.width, e.width) << e.path;
        EXPECT_EQ(img.height, e.height) << e.path;
    }
}

TEST(Pictures, RepeatingTexturesWrapWithoutAVisibleJoin)
{
    // The step across the wrap (last column to first, top row to bottom) must look like
    // any other step between neighbouring texels.
    for (const char* path : {"data/landscape.bmp", "bone.bmp", "data/stone.bmp", "data/wood.bmp", "data/jelly.bmp",
                             "data/metal.bmp"}) {
        const Bmp24 img = load(path);
        ASSERT_GT(img.width, 0) << path;
        for (int axis = 0; axis < 2; ++axis) {
            const float everywhere = meanStep(img, 1 - axis, axis, false);
            const float acrossWrap = meanStep(img, 1 - axis, axis, true);
            EXPECT_LT(acrossWrap, 1.6f * everywhere + 1.0f) << path << (axis ? " top to bottom" : " right to left");
        }
    }
}

TEST(Pictures, GlowSpriteFadesToBlackBeforeItsBorder)
{
    const Bmp24 img = load("data/par_lum.bmp");
    ASSERT_EQ(img.width, 64);
    for (int i = 0; i < 64; ++i)
        for (const unsigned char* p : {img.at(i, 0), img.at(i, 63), img.at(0, i), img.at(63, i)})
            EXPECT_EQ(p[0] + p[1] + p[2], 0) << "border texel " << i;
    // Bright, white and falling off steadily from the middle outwards.
    EXPECT_GT(grey(img.at(32, 32)), 0.9f);
    const unsigned char* c = img.at(31, 31);
    EXPECT_TRUE(c[0] == c[1] && c[1] == c[2]);
    for (int x = 32; x < 63; ++x) EXPECT_LE(grey(img.at(x + 1, 32)), grey(img.at(x, 32))) << x;
}

TEST(Pictures, GroundDetailBrightensMoreThanItDarkens)
{
    // Multiplied onto the ground's colour: mostly between 0.65 and 1.0.
    const Bmp24 img = load("data/landscape.bmp");
    ASSERT_GT(img.width, 0);
    double sum = 0;
    int dark = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const float g = grey(img.at(x, y));
            sum += g;
            if (g < 0.6f) ++dark;
        }
    const double mean = sum / (img.width * img.height);
    EXPECT_GT(mean, 0.72);
    EXPECT_LT(mean, 0.95);
    EXPECT_LT(dark, img.width * img.height / 100);
}

TEST(Pictures, ButtonLabelsSitInsideTheirButtons)
{
    // Label or icon ink (near-white texels) must be centred and clear of the rim.
    for (const char* path :
         {"data/int_euler.bmp", "data/int_rk4.bmp", "data/source.bmp", "data/reset.bmp", "data/pause.bmp",
          "data/play.bmp"}) {
        const Bmp24 img = load(path);
        ASSERT_GT(img.width, 0) << path;
        int x0 = img.width, x1 = -1, y0 = img.height, y1 = -1, ink = 0;
        for (int y = 0; y < img.height; ++y)
            for (int x = 0; x < img.width; ++x)
                if (grey(img.at(x, y)) > 0.9f) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y);
                    ++ink;
                }
        ASSERT_GT(ink, 20) << path;
        EXPECT_GE(x0, 3) << path;
        EXPECT_LE(x1, img.width - 4) << path;
        EXPECT_GE(y0, 3) << path;
        EXPECT_LE(y1, img.height - 4) << path;
        EXPECT_LE(std::abs((x0 + x1) - (img.width - 1)), 4) << path;
        EXPECT_LE(std::abs((y0 + y1) - (img.height - 1)), 4) << path;
        // Tall enough to read: at least 7 texels of a 5 x 7 glyph row.
        EXPECT_GE(y1 - y0 + 1, 7) << path;
    }
}

TEST(Pictures, TheFontCoversEveryLabel)
{
    unsigned char rows[art::kGlyphHeight];
    for (const char* label : {"EULER", "RK4", "SOURCE", "RESET"})
        for (const char* c = label; *c; ++c) EXPECT_TRUE(art::glyphRows(*c, rows)) << *c;
    EXPECT_FALSE(art::glyphRows('a', rows));
    // No two glyphs of the font look the same.
    const std::string all = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/\\:.,-+=()_";
    for (size_t i = 0; i < all.size(); ++i)
        for (size_t j = i + 1; j < all.size(); ++j) {
            unsigned char a[art::kGlyphHeight], b[art::kGlyphHeight];
            ASSERT_TRUE(art::glyphRows(all[i], a) && art::glyphRows(all[j], b));
            EXPECT_NE(std::string(a, a + art::kGlyphHeight), std::string(b, b + art::kGlyphHeight))
                << all[i] << " and " << all[j];
        }
}

TEST(Pictures, TheProgramsReaderDecodesTheBytesWeWrote)
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
