// The desktop program's command line.
#pragma once

#include <string>
#include <vector>

struct AppOptions {
    std::vector<std::string> images; // --image PATH (repeatable), then --demo's discs
    bool demo = false;
    std::string screenshot; // --screenshot PATH
    bool verbose = false;   // --verbose: counts of the loaded tree and list on standard output
    bool help = false;
    std::string error; // a usage error
    // With images, the demo or a screenshot the first drive is loaded at start.
    bool LoadAtStart() const { return !images.empty() || demo || !screenshot.empty(); }
};

AppOptions App_ParseOptions(int argc, char** argv);
// True when no display can be reached: no DISPLAY, no WAYLAND_DISPLAY and no QT_QPA_PLATFORM chosen.
bool App_NoDisplay();
