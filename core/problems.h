#pragma once
// Problems in plain words (a file that cannot be opened or loaded, an unknown command, a
// number that is not finite, a force out of bounds) go to the console and are kept, the
// last one, for the window to show as well: a user may not be watching the console.
// One record for the process, as there is one console.
#include <string>

namespace tv {

struct ProblemLine {
    std::string text;     // without its line end
    unsigned serial = 0;  // grows with every problem kept; 0 before the first
};

// Prints like printf and keeps the last line printed as the problem to show.
[[gnu::format(printf, 1, 2)]] void problem(const char* format, ...);
// Keeps the last line of `text`, already printed or meant for the window only.
void noteProblem(const std::string& text);
ProblemLine lastProblem();

}  // namespace tv
