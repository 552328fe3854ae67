// The plain-text picture reader: header forms, token rules, short and hostile files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "assets/image.h"
#include "bmpbuild.h"
#include "support/testutil.h"

namespace {

struct Read {
    Image* image = nullptr;
    std::string output;
    ~Read() { freeImage(image); }
    std::vector<int> bytes() const
    {
        if (!image) return {};
        return std::vector<int>(image->data, image->data + image->width * image->height * 3);
    }
};

void readPpmText(const std::string& text, Read* r)
{
    std::string path = scratchDir("ppm") + "/p.ppm";
    writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
    StdoutCapture capture;
    capture.begin();
    r->image = loadPpmImage(path.c_str());
    r->output = capture.end();
}

}  // namespace

TEST(PpmReader, StoresSamplesInFileOrderUnscaled)
{
    Read r;
    readPpmText("P3\n# made by hand\n2 2\n100\n1 2 3 4 5 6\n7 8 9\n10 11 12\n", &r);
    ASSERT_TRUE(r.image);
    EXPECT_EQ(r.image->width, 2);
    EXPECT_EQ(r.image->height, 2);
    EXPECT_EQ(r.bytes(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(r.output.rfind("beginning ppm texture load...\n", 0), 0u);
    EXPECT_NE(r.output.find("end ppm texture load.\n"), std::string::npos);
}

TEST(PpmReader, TokenRules)
{
    // "0" stores 0, "x" is skipped, "007" stores 7, tabs separate like spaces.
    Read r;
    readPpmText("P3\n# c\n2 1\n255\n0 x 007 12\t13 x0 255 99 98\n", &r);
    ASSERT_TRUE(r.image);
    EXPECT_EQ(r.bytes(), (std::vector<int>{0, 7, 12, 13, 255, 99}));
}

TEST(PpmReader, LongLinesKeepTheirTokensWhole)
{
    // 60 samples on one line of well over 127 characters: no token may be split.
    std::string line;
    std::vector<int> expect;
    for (int i = 0; i < 60; ++i) {
        line += std::to_string(100 + i) + " ";
        expect.push_back(100 + i);
    }
    Read r;
    readPpmText("P3\n# c\n20 1\n255\n" + line + "\n", &r);
    ASSERT_TRUE(r.image);
    EXPECT_EQ(r.bytes(), expect);
}

TEST(PpmReader, HeaderVariants)
{
    // No comment line, several comment lines, the maximum on the size line.
    for (const char* header : {"P3\n1 1\n255\n", "P3\n# a\n# b\n1 1\n255\n", "P3\n# a\n1 1 255\n"}) {
        Read r;
        readPpmText(std::string(header) + "9 8 7\n", &r);
        ASSERT_TRUE(r.image) << header;
        EXPECT_EQ(r.bytes(), (std::vector<int>{9, 8, 7})) << header;
    }
}

TEST(PpmReader, ShortFileIsZeroFilled)
{
    Read r;
    readPpmText("P3\n# c\n2 2\n255\n5 6 7 8\n", &r);
    ASSERT_TRUE(r.image);
    EXPECT_EQ(r.bytes(), (std::vector<int>{5, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(PpmReader, BadHeadersAndMissingFilesFail)
{
    for (const char* text : {"", "P3\n", "P3\n# c\n0 5\n255\n", "P3\n# c\n-2 2\n255\n", "P3\n# c\nx y\n",
                             "P3\n# c\n100000 100000\n255\n1 2 3\n", "P3\n# c\n2147483647 2\n255\n",
                             "P6\n# binary\n1 1\n255\n\x01\x02\x03", "P2\n# grey\n1 1\n255\n7\n",
                             // Sizes past an int are refused, not cut to their low bits.
                             "P3\n# c\n4294967297 1\n255\n1 2 3\n", "P3\n# c\n1 4294967297 255\n1 2 3\n",
                             "P3\n# c\n99999999999999999999 1\n255\n1 2 3\n"}) {
        Read r;
        readPpmText(text, &r);
        EXPECT_FALSE(r.image) << text;
        EXPECT_EQ(r.output, "bad ppm header\n") << text;
    }
    StdoutCapture capture;
    std::string folder = scratchDir("ppm_folder");
    NeverEndingFiles endless(folder);
    capture.begin();
    Image* none = loadPpmImage("no/such/picture.ppm");
    Image* dir = loadPpmImage(folder.c_str());
    Image* pipe = loadPpmImage(endless.pipe.c_str());
    Image* zero = loadPpmImage(endless.zero.c_str());
    std::string out = capture.end();
    EXPECT_FALSE(none);
    EXPECT_FALSE(dir);
    EXPECT_FALSE(pipe);
    EXPECT_FALSE(zero);
    EXPECT_EQ(out, "unable to open ppm file no/such/picture.ppm\nunable to open ppm file " + folder +
                       "\nunable to open ppm file " + endless.pipe + "\nunable to open ppm file " + endless.zero +
                       "\n");
}
