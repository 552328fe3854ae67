#pragma once
// What the program makes of the arguments the window library leaves: at most one scene
// file to read in place of the default one.
#include <string>

struct CommandLine {
    std::string sceneFile = "test.scn";
    bool sceneNamed = false;
    std::string recordFile;  // --record FILE: an input log of the session from its start
    std::string replayFile;  // --replay FILE: the world driven by a log
    // 0 to go on; otherwise the exit status, with one line to print first.
    int status = 0;
    std::string message;
};

// argv[1..argc) after the window library has taken its options out. A named scene must
// be a plain file that opens for reading; the default one is left to the scene's own
// start-up report. A named scene counts from the current folder even when the shipped
// files are read from elsewhere.
CommandLine readCommandLine(int argc, const char* const* argv);

// The folder of the running executable, or "" when it cannot be told.
std::string executableFolder();

// Where a program in `binDir` finds its shipped files: `binDir` itself when it holds data/
// (a build's run folder), else the folder an install puts them in beside bin/ when that
// holds data/, else `binDir` still, so that failures name where they looked.
std::string shippedFolder(const std::string& binDir);

// Reads relative paths from `shipped` unless it is the current folder, where they already
// count from: started from its run folder the program reads exactly the names it always did.
void readShippedFilesFrom(const std::string& shipped);

// What --help or --version (the first of them, anywhere but as a window option's value)
// asks to print before exiting with 0, without a display; empty when neither is there.
std::string informationRequested(int argc, const char* const* argv, const std::string& shipped);
