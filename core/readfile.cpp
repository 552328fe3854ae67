#include "core/readfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FILE* openRegularFile(const char* path, const char* mode)
{
    struct stat info;
    if (!path || stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
    // The name may be replaced by a pipe between the look and the open: open without
    // waiting for a writer, then look again at what was opened.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fcntl(fd, F_SETFL, 0) != 0) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, mode);
    if (!file) close(fd);
    return file;
}
