// Tessivane: an interactive 3-D physics and terrain sandbox.
#include <cstdio>
#include <cstdlib>

#include "app/shell.h"

int main(int argc, char** argv)
{
    // Without a display the window library would stop with its own error; say it plainly.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::printf("Tessivane needs a display: none is set (DISPLAY is empty), so start it under Xvfb as the README shows.\n");
        return 1;
    }
    return runTessivane(argc, argv);
}
