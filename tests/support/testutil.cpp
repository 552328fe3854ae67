#include "testutil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string corpusDir(const std::string& sub)
{
    std::filesystem::path p = std::filesystem::path(TV_CORPUS_DIR) / sub;
    std::error_code ec;
    if (!std::filesystem::is_directory(p, ec)) return "";
    return p.string();
}

void StdoutCapture::begin()
{
    std::fflush(stdout);
    path = std::filesystem::temp_directory_path() / ("tv_stdout_" + std::to_string(getpid()));
    int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    savedFd = ::dup(STDOUT_FILENO);
    ::dup2(fd, STDOUT_FILENO);
    ::close(fd);
}

std::string StdoutCapture::end()
{
    std::fflush(stdout);
    ::dup2(savedFd, STDOUT_FILENO);
    ::close(savedFd);
    savedFd = -1;
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::filesystem::remove(path);
    return ss.str();
}

::testing::AssertionResult vecNear(const Vec3& a, const Vec3& b, float tol)
{
    if (std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.z - b.z) <= tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", "
                                         << b.y << ", " << b.z << "), tolerance " << tol;
}

std::string scratchDir(const std::string& name)
{
    auto p = std::filesystem::temp_directory_path() / ("tv_test_" + std::to_string(getpid())) / name;
    std::filesystem::remove_all(p);
    std::filesystem::create_directories(p);
    return p.string();
}

NeverEndingFiles::NeverEndingFiles(const std::string& dir) : pipe(dir + "/pipe"), zero(dir + "/zero")
{
    ::unlink(pipe.c_str());
    ::unlink(zero.c_str());
    EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    ::alarm(120);
}

NeverEndingFiles::~NeverEndingFiles()
{
    ::alarm(0);
    ::unlink(pipe.c_str());
    ::unlink(zero.c_str());
}
