#pragma once
// Small helpers shared by the test programs.
#include <gtest/gtest.h>

#include <string>

#include "core/vecmath.h"

// Folder of the shared real-world corpus, or "" when it is not beside the checkout.
std::string corpusDir(const std::string& sub = "");

#define TV_REQUIRE_CORPUS(dir)                                                   \
    do {                                                                         \
        if ((dir).empty()) GTEST_SKIP() << "shared corpus not present";          \
    } while (0)

// Captures everything printed to standard output between begin() and end().
class StdoutCapture {
public:
    void begin();
    std::string end();

private:
    int savedFd = -1;
    std::string path;
};

::testing::AssertionResult vecNear(const Vec3& a, const Vec3& b, float tol);
#define EXPECT_VEC_NEAR(a, b, tol) EXPECT_TRUE(vecNear((a), (b), (tol)))
#define EXPECT_VEC_EQ(a, b) EXPECT_TRUE(vecNear((a), (b), 0.0f))

// A fresh, empty scratch folder for tests that write files.
std::string scratchDir(const std::string& name);

// Names in `dir` of files that never end: a named pipe without a writer, and a link to
// the endless zero device. Readers must refuse both without blocking. While a
// NeverEndingFiles lives, a reader that blocks anyway ends the test program by alarm
// instead of hanging it.
struct NeverEndingFiles {
    explicit NeverEndingFiles(const std::string& dir);
    ~NeverEndingFiles();
    std::string pipe;
    std::string zero;
};
