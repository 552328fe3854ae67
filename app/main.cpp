// Tessivane: an interactive 3-D physics and terrain sandbox.
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "app/shell.h"

int main(int argc, char** argv)
{
    // The console is the program's log: keep it line by line even when piped to a file.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // Without a display the window library would stop with its own error; say it plainly.
    const char* name = std::getenv("DISPLAY");
    Display* display = (name && *name) ? XOpenDisplay(name) : nullptr;
    if (!display) {
        std::printf("Tessivane needs a display and none could be opened (DISPLAY is \"%s\"); on a machine without one, "
                    "run it under Xvfb as the README shows.\n",
                    name ? name : "");
        return 1;
    }
    XCloseDisplay(display);
    return runTessivane(argc, argv);
}
