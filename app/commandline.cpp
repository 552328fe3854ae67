#include "app/commandline.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "core/readfile.h"

namespace {
const char* const kUsage = "usage: tessivane [window options] [--record FILE] [scene file] | --replay FILE";

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
        if (arg == "--record" || arg == "--replay") {
            if (i + 1 == argc) return refused(arg + " needs a file");
            std::string& file = arg == "--record" ? c.recordFile : c.replayFile;
            if (!file.empty()) return refused("one " + arg + " at most");
            file = argv[++i];
            if (file.empty()) return refused(arg + " needs a file");
            continue;
        }
        // Anything the window library did not take that looks like an option is a mistake,
        // not a file name.
        if (arg.size() > 1 && arg[0] == '-') return refused("unknown option " + arg);
        if (c.sceneNamed) return refused("one scene file at most");
        c.sceneFile = arg;
        c.sceneNamed = true;
    }
    if (!c.replayFile.empty() && (c.sceneNamed || !c.recordFile.empty()))
        return refused("a replay names its own scene and records nothing");
    if (c.sceneNamed) {
        const std::string named = c.sceneFile;
        // The user named it from here, not from the shipped files' folder (a current folder
        // that is gone leaves nothing to count from).
        std::error_code gone;
        if (!readFolder().empty() && named[0] != '/')
            c.sceneFile = (std::filesystem::current_path(gone) / named).string();
        // Checked before the window opens, and the way the scene reader will open it: a
        // pipe or a device would hold the start up for ever, a folder would fail only later.
        std::FILE* f = gone ? nullptr : openRegularFile(c.sceneFile.c_str(), "r");
        if (!f) {
            struct stat info;
            const bool there = stat(c.sceneFile.c_str(), &info) == 0;
            c.status = 1;
            c.message = "cannot open the scene file " + named;
            if (there && !S_ISREG(info.st_mode)) c.message += ": not a plain file";
            return c;
        }
        std::fclose(f);
    }
    return c;
}

std::string executableFolder()
{
    std::error_code e;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", e);
    return e ? std::string() : self.parent_path().string();
}

std::string shippedFolder(const std::string& binDir)
{
    if (binDir.empty()) return binDir;
    std::error_code e;
    const std::filesystem::path bin = binDir;
    if (std::filesystem::is_directory(bin / "data", e)) return binDir;
    // TESSIVANE_SHARE_FROM_BIN: where an install puts them, counted from where it puts us.
    const std::filesystem::path installed = (bin / TESSIVANE_SHARE_FROM_BIN).lexically_normal();
    if (std::filesystem::is_directory(installed / "data", e)) return installed.string();
    return binDir;
}

void readShippedFilesFrom(const std::string& shipped)
{
    struct stat there, here;
    const bool isHere = stat(shipped.c_str(), &there) == 0 && stat(".", &here) == 0 &&
                        there.st_dev == here.st_dev && there.st_ino == here.st_ino;
    setReadFolder(shipped.empty() || isHere ? "" : shipped);
}

std::string informationRequested(int argc, const char* const* argv, const std::string& shipped)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-display" || arg == "-geometry" || arg == "--record" || arg == "--replay") {
            ++i;
        } else if (arg == "--version") {
            return "tessivane " TESSIVANE_VERSION "\n";
        } else if (arg == "--help") {
            return std::string(kUsage) +
                   "\n"
                   "An interactive 3-D physics and terrain sandbox. Without a scene file it opens the default "
                   "world, test.scn among its shipped files; paths inside any scene count from that folder.\n"
                   "Window options: -display NAME, -geometry WxH+X+Y.\n"
                   "Keys (the view under the cursor): e d s f r v fly, j l i k o u turn, 1-0 and shift+1-0 "
                   "speeds, space four views, a frame the world, n step, z fountain, \\ record frames, F3 record "
                   "inputs, Backspace back one second, Page Down / Up "
                   "next / previous world, F1 every key and button, Esc quit; mouse: left grab, right pin, "
                   "middle orbit, wheel fly.\n"
                   "Shipped files (test.scn, data/, worlds/): " +
                   (shipped.empty() ? std::string("the current folder") : shipped) +
                   "\n"
                   "Recordings (backslash: frames; F3 or --record FILE: inputs) are written to the current folder; "
                   "--replay FILE plays an input log back exactly.\n"
                   "--help prints this, --version the version.\n";
        }
    }
    return "";
}
