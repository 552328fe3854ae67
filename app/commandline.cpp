#include "app/commandline.h"

#include <cstdio>

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
        std::FILE* f = std::fopen(c.sceneFile.c_str(), "r");
        if (!f) {
            c.status = 1;
            c.message = "cannot open the scene file " + c.sceneFile;
            return c;
        }
        std::fclose(f);
    }
    return c;
}
