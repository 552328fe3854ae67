// tessivane-inspect run as a user runs it, on small hand-made files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "objtest.h"

namespace {

struct Outcome {
    std::string out;
    int status;
};

// Runs the inspector in `dir` with the given arguments; standard output only.
Outcome inspect(const std::string& dir, const std::string& args)
{
    std::string command = "cd '" + dir + "' && '" TV_INSPECT "' " + args + " 2>/dev/null";
    Outcome run{"", -1};
    FILE* p = popen(command.c_str(), "r");
    if (!p) return run;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) run.out.append(buf, n);
    int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void put16(std::string& s, int v)
{
    s += char(v & 255);
    s += char((v >> 8) & 255);
}
void put32(std::string& s, int v)
{
    put16(s, v & 0xffff);
    put16(s, (v >> 16) & 0xffff);
}

// A 2 x 2, 24-bit bitmap: bottom row red, green; top row blue, white (rows bottom-up,
// B, G, R bytes, each row padded to 4 bytes).
std::string tinyBmp()
{
    std::string s = "BM";
    put32(s, 14 + 40 + 16);
    put32(s, 0);
    put32(s, 14 + 40);
    put32(s, 40);
    put32(s, 2);
    put32(s, 2);
    put16(s, 1);
    put16(s, 24);
    put32(s, 0);
    put32(s, 16);
    put32(s, 2835);
    put32(s, 2835);
    put32(s, 0);
    put32(s, 0);
    s += std::string("\x00\x00\xff\x00\xff\x00\x00\x00", 8);
    s += std::string("\xff\x00\x00\xff\xff\xff\x00\x00", 8);
    return s;
}

}  // namespace

TEST(Inspect, ModelSummaryAndFailures)
{
    std::string dir = scratchDir("inspect_model");
    writeFile(dir + "/quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n");
    writeFile(dir + "/bad.obj", "v 0 0 0\nf 1 2 3\n");
    Outcome run = inspect(dir, "--edges quad.obj");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "found no/invaild normals - generating...\ndone generating normals.\ngenerating edges...\n"
              " 0 of 2 (0%) done \ndone generating edges.\n"
              "quad.obj: model vertices=4 triangles=2 texcoords=0 normals=4 edges=1 materials=0 textures=0 "
              "missing=0 min=0,0,0 max=1,1,0 radius=1.41421\n");

    run = inspect(dir, "bad.obj quad.obj missing.obj");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out,
              "found an out of bounds vertex at tri 0 point 1 with index 1, max 1\nbad.obj: model not loaded\n"
              "found no/invaild normals - generating...\ndone generating normals.\n"
              "quad.obj: model vertices=4 triangles=2 texcoords=0 normals=4 materials=0 textures=0 missing=0 "
              "min=0,0,0 max=1,1,0 radius=1.41421\n"
              "unable to open the file missing.obj\nmissing.obj: model not loaded\n");

    EXPECT_EQ(inspect(dir, "").status, 2);
    EXPECT_EQ(inspect(dir, "--bogus quad.obj").status, 2);
    EXPECT_EQ(inspect(dir, "--ppm out.ppm quad.obj").status, 2);
}

TEST(Inspect, MaterialTexturesAreDecodedNotBuilt)
{
    std::string dir = scratchDir("inspect_mtl");
    writeFile(dir + "/tiny.bmp", tinyBmp());
    writeFile(dir + "/lib.mtl", "newmtl a\nmap_Kd tiny.bmp\nnewmtl b\nmap_Kd gone.bmp\nnewmtl c\n");
    writeFile(dir + "/cut.mtl", "newmtl a\nd 1\nnewmtl b\n");
    Outcome run = inspect(dir, "lib.mtl");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("unable to load requested material gone.bmp\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("lib.mtl: materials materials=3 textures=1 missing=1\n"), std::string::npos) << run.out;

    run = inspect(dir, "cut.mtl");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "mtl file unknown char: d\ncut.mtl: materials incomplete materials=1 textures=0 missing=0\n");
}

TEST(Inspect, PictureToPpmTopRowFirst)
{
    std::string dir = scratchDir("inspect_picture");
    writeFile(dir + "/tiny.bmp", tinyBmp());
    Outcome run = inspect(dir, "--ppm out.ppm tiny.bmp");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find("tiny.bmp: picture width=2 height=2\n"), std::string::npos) << run.out;
    FILE* f = std::fopen((dir + "/out.ppm").c_str(), "rb");
    ASSERT_TRUE(f);
    char buf[64];
    size_t n = std::fread(buf, 1, sizeof buf, f);
    std::fclose(f);
    EXPECT_EQ(std::string(buf, n), std::string("P6\n2 2\n255\n\x00\x00\xff\xff\xff\xff\xff\x00\x00\x00\xff\x00", 23));

    writeFile(dir + "/junk.bmp", "not a picture");
    run = inspect(dir, "junk.bmp");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("junk.bmp: picture not loaded\n"), std::string::npos) << run.out;
}
