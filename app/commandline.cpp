#include "app/commandline.h"

#include <sys/stat.h>

#include <cstdio>

#include "core/readfile.h"

namespace {
const char* const kUsage = "usage: tessivane [window options] [scene file]";

CommandLine refused(const std::string& why)
{
    CommandLine c;
    c.status = 2;
    c.message = "tessivane: " + why + "; " + kUsage;
    return c;
}
}  // namespace

CommandLine readCommandLine(int argc, const char* const* argv)
{
    CommandLine c;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Anything the window library did not take that looks like an option is a mistake,
        // not a file name.
        if (arg.size() > 1 && arg[0] == '-') return refused("unknown option " + arg);
        if (c.sceneNamed) return refused("one scene file at most");
        c.sceneFile = arg;
        c.sceneNamed = true;
    }
    if (c.sceneNamed) {
        // Checked before the window opens, and the way the scene reader will open it: a
        // pipe or a device would hold the start up for ever, a folder would fail only later.
        std::FILE* f = openRegularFile(c.sceneFile.c_str(), "r");
        if (!f) {
            struct stat info;
            const bool there = stat(c.sceneFile.c_str(), &info) == 0;
            c.status = 1;
            c.message = "cannot open the scene file " + c.sceneFile;
            if (there && !S_ISREG(info.st_mode)) c.message += ": not a plain file";
            return c;
        }
        std::fclose(f);
    }
    return c;
}
