// The bitmap reader against a public suite of real files: good ones must match their
// reference renderings exactly, bad and questionable ones must not fault.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "assets/image.h"
#include "pngread.h"
#include "support/testutil.h"

namespace {

// bitmap path (relative to the suite) -> reference picture path
std::map<std::string, std::string> references(const std::string& suite)
{
    std::map<std::string, std::string> out;
    std::ifstream in(suite + "/reference.tsv");
    std::string line;
    while (std::getline(in, line)) {
        auto tab = line.find('\t');
        if (tab != std::string::npos) out[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return out;
}

// Header size of a bitmap file (after the optional "BM" file header), 0 when unreadable.
uint32_t headerSize(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    unsigned char b[18] = {};
    in.read(reinterpret_cast<char*>(b), sizeof b);
    size_t at = (b[0] == 'B' && b[1] == 'M') ? 14 : 0;
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

std::vector<std::string> bitmaps(const std::string& dir)
{
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".bmp") out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

Image* quietLoad(const std::string& path, std::string* output)
{
    StdoutCapture capture;
    capture.begin();
    Image* image = loadBmpImage(path.c_str());
    *output = capture.end();
    return image;
}

}  // namespace

TEST(BmpCorpus, GoodBitmapsMatchTheirReferences)
{
    std::string suite = corpusDir("bmpsuite");
    TV_REQUIRE_CORPUS(suite);
    auto refs = references(suite);
    int compared = 0;
    for (const std::string& path : bitmaps(suite + "/g")) {
        std::string name = "g/" + std::filesystem::path(path).filename().string();
        uint32_t header = headerSize(path);
        std::string output;
        Image* image = quietLoad(path, &output);
        if (header != 12 && header != 40 && header != 108 && header != 124) {
            EXPECT_FALSE(image) << name;
            EXPECT_EQ(output, "Unknown DIB file format.\n") << name;
            freeImage(image);
            continue;
        }
        ASSERT_TRUE(image) << name << ": " << output;
        EXPECT_EQ(output, "") << name;
        auto ref = refs.find(name);
        ASSERT_NE(ref, refs.end()) << name;
        PngPicture png;
        std::string why;
        ASSERT_TRUE(readPng(suite + "/" + ref->second, &png, &why)) << ref->second << ": " << why;
        // The non-square-pixel picture's reference is drawn at its physical aspect; only
        // its width can be held against ours.
        if (png.height != image->height) {
            EXPECT_EQ(png.width, image->width) << name;
            freeImage(image);
            continue;
        }
        ASSERT_EQ(png.width, image->width) << name;
        size_t mismatches = 0, first = 0;
        for (size_t i = 0; i < png.rgb.size(); ++i)
            if (png.rgb[i] != image->data[i] && !mismatches++) first = i;
        EXPECT_EQ(mismatches, 0u) << name << ": first at byte " << first << " ours " << int(image->data[first])
                                  << " reference " << int(png.rgb[first]);
        ++compared;
        freeImage(image);
    }
    EXPECT_GE(compared, 20);
}

TEST(BmpCorpus, QuestionableBitmapsWeReadMatchTheirReferences)
{
    // Unusual but valid: odd depths, offsets, oversized tables, profiles, cut run-length
    // data (the pixels it never reaches stay black).
    std::string suite = corpusDir("bmpsuite");
    TV_REQUIRE_CORPUS(suite);
    const char* const pairs[][2] = {
        {"q/pal1p1.bmp", "html/pal1p1.png"},          {"q/pal2.bmp", "html/pal2.png"},
        {"q/pal2color.bmp", "html/pal2color.png"},    {"q/pal8offs.bmp", "html/pal8.png"},
        {"q/pal8os2-sz.bmp", "html/pal8.png"},        {"q/pal8os2v2-40sz.bmp", "html/pal8.png"},
        {"q/pal8oversizepal.bmp", "html/pal8.png"},   {"q/rgb16-231.bmp", "html/rgb16-231.png"},
        {"q/rgb16-3103.bmp", "html/rgb16-3103.png"},  {"q/rgb24largepal.bmp", "html/rgb24.png"},
        {"q/rgb24prof.bmp", "html/rgb24.png"},        {"q/rgb32-xbgr.bmp", "html/rgb24.png"},
        {"q/pal4rlecut.bmp", "html/pal4rlecut-b.png"}, {"q/pal8rlecut.bmp", "html/pal8rlecut-b.png"},
    };
    for (const auto& pair : pairs) {
        std::string output;
        Image* image = quietLoad(suite + "/" + pair[0], &output);
        ASSERT_TRUE(image) << pair[0] << ": " << output;
        PngPicture png;
        std::string why;
        ASSERT_TRUE(readPng(suite + "/" + pair[1], &png, &why)) << pair[1] << ": " << why;
        ASSERT_EQ(png.width, image->width) << pair[0];
        ASSERT_EQ(png.height, image->height) << pair[0];
        EXPECT_TRUE(std::equal(png.rgb.begin(), png.rgb.end(), image->data)) << pair[0];
        freeImage(image);
    }
}

TEST(BmpCorpus, BadAndQuestionableBitmapsDoNotFault)
{
    std::string suite = corpusDir("bmpsuite");
    TV_REQUIRE_CORPUS(suite);
    for (const char* dir : {"/b", "/q"}) {
        for (const std::string& path : bitmaps(suite + dir)) {
            std::string output;
            Image* image = quietLoad(path, &output);
            if (image) {
                // A picture that comes back is whole: every byte is readable.
                EXPECT_GT(image->width, 0) << path;
                EXPECT_GT(image->height, 0) << path;
                unsigned sum = 0;
                for (long long i = 0; i < 3LL * image->width * image->height; ++i) sum += image->data[i];
                (void)sum;
                EXPECT_EQ(output, "") << path;
            } else {
                EXPECT_NE(output, "") << path << " refused silently";
            }
            freeImage(image);
        }
    }
}
