#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "assets/dumper.h"
#include "support/glcontext.h"
#include "support/testutil.h"

namespace {
std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
}  // namespace

TEST(Dumper, RowsArePaddedToFourBytes)
{
    EXPECT_EQ(Dumper::stride(720), 2160);
    EXPECT_EQ(Dumper::stride(721), 2164);
    EXPECT_EQ(Dumper::stride(1), 4);
    EXPECT_EQ(Dumper::stride(4), 12);
}

TEST(Dumper, WritesAComplete24BitFile)
{
    std::string dir = scratchDir("dumper");
    std::string path = dir + "/f.bmp";
    // 3 × 2 pixels, BGR rows bottom-up, each row padded with 3 bytes.
    std::vector<uint8_t> px(Dumper::stride(3) * 2);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(Dumper::writeBmp(path.c_str(), px.data(), 3, 2));
    auto b = readFile(path);
    ASSERT_EQ(b.size(), 54u + 24u);
    EXPECT_EQ(le16(b, 0), 0x4D42);
    EXPECT_EQ(le32(b, 2), 78u);
    EXPECT_EQ(le32(b, 6), 0u);
    EXPECT_EQ(le32(b, 10), 54u);
    EXPECT_EQ(le32(b, 14), 40u);
    EXPECT_EQ(le32(b, 18), 3u);
    EXPECT_EQ(le32(b, 22), 2u);
    EXPECT_EQ(le16(b, 26), 1);
    EXPECT_EQ(le16(b, 28), 24);
    EXPECT_EQ(le32(b, 30), 0u);
    EXPECT_EQ(le32(b, 34), 24u);
    EXPECT_EQ(le32(b, 38), 3780u);
    EXPECT_EQ(le32(b, 42), 3780u);
    EXPECT_EQ(le32(b, 46), 0u);
    EXPECT_EQ(le32(b, 50), 0u);
    EXPECT_TRUE(std::equal(px.begin(), px.end(), b.begin() + 54));
    EXPECT_FALSE(Dumper::writeBmp((dir + "/missing/f.bmp").c_str(), px.data(), 3, 2));
}

TEST(Dumper, ResizeKeepsTheBufferWhenTheSizeIsTheSame)
{
    Dumper d;
    d.resize(0, 0, 720, 480);
    ASSERT_NE(d.buffer, nullptr);
    uint8_t* first = d.buffer;
    d.buffer[0] = 42;
    d.resize(0, 0, 480, 720);  // 1440 × 720 = 2160 × 480 bytes
    EXPECT_EQ(d.buffer, first);
    EXPECT_EQ(d.buffer[0], 42);
    EXPECT_EQ(d.width, 480);
    d.release();
    EXPECT_EQ(d.buffer, nullptr);
    EXPECT_EQ(d.width, -1);
    EXPECT_EQ(d.frameCounter, 0);
    d.release();  // a second release frees nothing
}

TEST(Dumper, DumpWithoutBufferSaysSo)
{
    Dumper d;
    StdoutCapture cap;
    cap.begin();
    d.dump();
    EXPECT_EQ(cap.end(), "NO BUFFER TO DUMP!\n");
    EXPECT_EQ(d.frameCounter, 0);
}

class DumperDrawTest : public GlTest {
protected:
    int width() const override { return 37; }  // an odd width exercises the row padding
    int height() const override { return 20; }
};

TEST_F(DumperDrawTest, DumpsTheFramebufferAsNumberedFiles)
{
    // Left half red, right half blue.
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 18, 20);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0);
    glFinish();

    std::string dir = scratchDir("dump_frames");
    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    Dumper d;
    d.readBuffer = 0x8CE0;  // the offscreen colour attachment
    d.resize(0, 0, 37, 20);
    d.dump();
    d.dump();
    std::filesystem::current_path(cwd);

    EXPECT_EQ(d.frameCounter, 2);
    auto b = readFile(dir + "/dumper00000.bmp");
    ASSERT_EQ(b.size(), 54u + Dumper::stride(37) * 20u);
    EXPECT_TRUE(std::filesystem::exists(dir + "/dumper00001.bmp"));
    // Bottom row, first pixel: red stored as B, G, R.
    EXPECT_EQ(b[54 + 0], 0);
    EXPECT_EQ(b[54 + 2], 255);
    // Bottom row, last pixel: blue.
    EXPECT_EQ(b[54 + 36 * 3 + 0], 255);
    EXPECT_EQ(b[54 + 36 * 3 + 2], 0);
    // The row padding is zero.
    EXPECT_EQ(b[54 + 37 * 3], 0);

    // Files already there are earlier recordings, this run's or a previous run's: the
    // numbering goes on past them and none is written over.
    { std::ofstream(dir + "/dumper00002.bmp") << "mine"; }
    std::filesystem::create_symlink(dir + "/nowhere", dir + "/dumper00004.bmp");
    Dumper restarted;
    restarted.readBuffer = 0x8CE0;
    restarted.resize(0, 0, 37, 20);
    std::filesystem::current_path(dir);
    d.dump();
    restarted.dump();
    std::filesystem::current_path(cwd);
    EXPECT_EQ(d.frameCounter, 4);
    EXPECT_EQ(restarted.frameCounter, 6);
    const std::vector<uint8_t> mine = readFile(dir + "/dumper00002.bmp");
    EXPECT_EQ(std::string(mine.begin(), mine.end()), "mine");
    EXPECT_FALSE(std::filesystem::exists(dir + "/nowhere"));
    EXPECT_EQ(readFile(dir + "/dumper00003.bmp"), b);
    EXPECT_EQ(readFile(dir + "/dumper00005.bmp"), b);
}
