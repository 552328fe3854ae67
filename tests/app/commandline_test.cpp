#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "support/testutil.h"

// What is left after the window library took its options: nothing, one scene, or a mistake.
TEST(CommandLine, OneSceneByNameOrAOneLineRefusal)
{
    const std::string dir = scratchDir("commandline");
    const std::string mine = dir + "/mine.scn";
    std::ofstream(mine) << "start\n";
    const std::string missing = dir + "/missing.scn";
    const std::string usage = "; usage: tessivane [window options] [scene file]";
    // Refused at once, before any window: an open of the pipe would wait for a writer.
    const NeverEndingFiles endless(dir);
    const std::string notPlain = ": not a plain file";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string scene, message;
    } cases[] = {
        {{}, 0, "test.scn", ""},
        // The default is not checked here: its absence is the scene's own start-up failure.
        {{mine}, 0, mine, ""},
        {{missing}, 1, missing, "cannot open the scene file " + missing},
        {{mine, mine}, 2, "test.scn", "tessivane: one scene file at most" + usage},
        // The window library takes its own options out first; anything option-like that
        // reaches us is unknown, even a name the library would have known.
        {{"-geometry", mine}, 2, "test.scn", "tessivane: unknown option -geometry" + usage},
        {{mine, "-x"}, 2, "test.scn", "tessivane: unknown option -x" + usage},
        // A lone dash is a (strange) file name, not an option.
        {{"-"}, 1, "-", "cannot open the scene file -"},
        {{endless.pipe}, 1, endless.pipe, "cannot open the scene file " + endless.pipe + notPlain},
        {{endless.zero}, 1, endless.zero, "cannot open the scene file " + endless.zero + notPlain},
        {{dir}, 1, dir, "cannot open the scene file " + dir + notPlain},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"tessivane"};
        for (const std::string& a : c.args) argv.push_back(a.c_str());
        const CommandLine got = readCommandLine(static_cast<int>(argv.size()), argv.data());
        const std::string label = c.args.empty() ? "(none)" : c.args.back();
        EXPECT_EQ(got.status, c.status) << label;
        EXPECT_EQ(got.message, c.message) << label;
        if (c.status != 2) {
            EXPECT_EQ(got.sceneFile, c.scene) << label;
        }
        EXPECT_EQ(got.sceneNamed, c.status != 2 && !c.args.empty()) << label;
    }
}
