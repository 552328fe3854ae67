// Tessivane: an interactive 3-D physics and terrain sandbox.
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include "app/commandline.h"
#include "app/shell.h"

namespace {
// A server started just before the program (a virtual one in a script) may not take
// clients yet, so a named display is asked again for a while before giving up.
Display* openDisplay(const char* name)
{
    if (!name || !*name) return nullptr;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (;;) {
        if (Display* display = XOpenDisplay(name)) return display;
        if (std::chrono::steady_clock::now() >= deadline) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
}  // namespace

int main(int argc, char** argv)
{
    // The console is the program's log: keep it line by line even when piped to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // The shipped files are read from beside the executable, whatever folder it started in.
    const std::string shipped = shippedFolder(executableFolder());
    const std::string answer = informationRequested(argc, argv, shipped);
    if (!answer.empty()) {
        std::fputs(answer.c_str(), stdout);
        return 0;
    }
    readShippedFilesFrom(shipped);
    // Without a display the window library would stop with its own error; say it plainly.
    // Probe the display the window library will use: a "-display NAME" argument (the last
    // one, as the library reads them) over DISPLAY.
    const char* source = "DISPLAY";
    const char* name = std::getenv("DISPLAY");
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "-display") == 0) {
            source = "-display";
            name = argv[++i];
        }
    Display* probe = openDisplay(name);
    if (!probe) {
        std::printf("Tessivane needs a display and none could be opened (%s is \"%s\"); on a machine without one, "
                    "run it under Xvfb as the README shows.\n",
                    source, name ? name : "");
        return 1;
    }
    // The probe stays connected for the whole run: a fresh server whose only client leaves
    // resets, and the window library's connection made during the reset is refused.
    // The one application: the world, its views and the shell's state, for this run.
    auto app = std::make_unique<Application>();
    const int status = runTessivane(*app, argc, argv);
    app.reset();
    XCloseDisplay(probe);
    return status;
}
