#pragma once
// What the program makes of the arguments the window library leaves: at most one scene
// file to read in place of the default one.
#include <string>

struct CommandLine {
    std::string sceneFile = "test.scn";
    bool sceneNamed = false;
    // 0 to go on; otherwise the exit status, with one line to print first.
    int status = 0;
    std::string message;
};

// argv[1..argc) after the window library has taken its options out. A named scene must
// be a plain file that opens for reading; the default one is left to the scene's own
// start-up report.
CommandLine readCommandLine(int argc, const char* const* argv);
