#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/commandline.h"
#include "core/readfile.h"
#include "support/testutil.h"

// What is left after the window library took its options: nothing, one scene, or a mistake.
TEST(CommandLine, OneSceneByNameOrAOneLineRefusal)
{
    const std::string dir = scratchDir("commandline");
    const std::string mine = dir + "/mine.scn";
    std::ofstream(mine) << "start\n";
    const std::string missing = dir + "/missing.scn";
    const std::string usage = "; usage: tessivane [window options] [--record FILE] [scene file] | --replay FILE";
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
        // A log is checked against its files later; a replay's scene is the log's.
        {{"--record", "a.tvlog", mine}, 0, mine, ""},
        {{"--replay"}, 2, "test.scn", "tessivane: --replay needs a file" + usage},
        {{"--replay", "a.tvlog", mine}, 2, "test.scn", "tessivane: a replay names its own scene and records nothing" + usage},
        {{"--record", "a", "--record", "b"}, 2, "test.scn", "tessivane: one --record at most" + usage},
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

// Shipped files come from beside the program (a build's run folder) or from where an
// install puts them, wherever it starts; a scene the user names counts from where they are.
TEST(CommandLine, ShippedFilesBesideTheProgramTheUsersSceneFromHere)
{
    const std::string dir = std::filesystem::canonical(scratchDir("shipped")).string();
    for (const char* sub : {"/run/data", "/prefix/bin", "/prefix/share/tessivane/data", "/lone"})
        std::filesystem::create_directories(dir + sub);
    const struct {
        std::string bin, shipped;
    } folders[] = {
        {dir + "/run", dir + "/run"},
        {dir + "/prefix/bin", dir + "/prefix/share/tessivane"},
        // Nothing anywhere: failures then name the program's own folder.
        {dir + "/lone", dir + "/lone"},
        {"", ""},
    };
    for (const auto& f : folders) EXPECT_EQ(shippedFolder(f.bin), f.shipped) << f.bin;

    std::ofstream(dir + "/mine.scn") << "start\n";
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    const struct {
        std::string shipped, named;
        int status;
        std::string scene, message;
    } cases[] = {
        // From elsewhere: the name counts from here, and a refusal repeats it as given.
        {dir + "/run", "mine.scn", 0, dir + "/mine.scn", ""},
        {dir + "/run", "missing.scn", 1, dir + "/missing.scn", "cannot open the scene file missing.scn"},
        {dir + "/run", dir + "/mine.scn", 0, dir + "/mine.scn", ""},
        // From the shipped folder itself, names are read as given, as they always were.
        {dir, "mine.scn", 0, "mine.scn", ""},
    };
    for (const auto& c : cases) {
        readShippedFilesFrom(c.shipped);
        EXPECT_EQ(readFolder(), c.shipped == dir ? "" : c.shipped) << c.shipped;
        const char* argv[] = {"tessivane", c.named.c_str()};
        const CommandLine got = readCommandLine(2, argv);
        EXPECT_EQ(got.status, c.status) << c.named;
        EXPECT_EQ(got.sceneFile, c.scene) << c.named;
        EXPECT_EQ(got.message, c.message) << c.named;
    }
    setReadFolder("");
    ASSERT_EQ(chdir(cwd), 0);
}
