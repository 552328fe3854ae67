#include "core/readfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace {
std::string& folderSetting()
{
    static std::string folder;
    return folder;
}

std::vector<std::string>& namesRead()
{
    static std::vector<std::string> names;
    return names;
}
}  // namespace

const std::vector<std::string>& filesRead() { return namesRead(); }

void forgetFilesRead() { namesRead().clear(); }

void setReadFolder(const std::string& folder) { folderSetting() = folder; }

const std::string& readFolder() { return folderSetting(); }

std::string readPath(const char* path)
{
    if (!path) return "";
    const std::string& folder = readFolder();
    if (folder.empty() || path[0] == '/') return path;
    return folder + "/" + path;
}

FILE* openRegularFile(const char* name, const char* mode)
{
    if (!name) return nullptr;
    const std::string where = readPath(name);
    const char* path = where.c_str();
    struct stat info;
    if (stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    // The name may be replaced by a pipe between the look and the open: open without
    // waiting for a writer, then look again at what was opened.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, mode);
    if (!file) {
        close(fd);
        return nullptr;
    }
    std::vector<std::string>& names = namesRead();
    if (std::find(names.begin(), names.end(), name) == names.end()) names.emplace_back(name);
    return file;
}
