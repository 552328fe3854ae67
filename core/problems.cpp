#include "core/problems.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace tv {
namespace {
std::mutex guard;
ProblemLine last;
}  // namespace

void problem(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    // The console gets the whole line even when the kept copy is cut short.
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    noteProblem(text);
}

void noteProblem(const std::string& text)
{
    std::string line = text;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    const size_t lastEnd = line.rfind('\n');
    if (lastEnd != std::string::npos) line.erase(0, lastEnd + 1);
    if (line.empty()) return;
    const std::lock_guard<std::mutex> lock(guard);
    last.text = std::move(line);
    ++last.serial;
}

ProblemLine lastProblem()
{
    const std::lock_guard<std::mutex> lock(guard);
    return last;
}

}  // namespace tv
