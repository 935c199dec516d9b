// The desktop program's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "appmodel/list_sort.h"

struct AppOptions {
    std::vector<std::string> images; // --image PATH (repeatable), then --demo's discs
    // Plain arguments that are disc images (.iso, .cue, .ccd, .nrg, .toc, .mds, .mdf, .bin, .img): opened as
    // from the window, the first loaded.
    std::vector<std::string> openImages;
    // A plain argument that is not a disc image: opened as the (empty) document, its name the title.
    std::string documentFile;
    bool demo = false;
    std::string screenshot; // --screenshot PATH
    std::string select;     // --select PATH: the directory, or the file's directory and row, to show
    std::string dialog;     // --dialog NAME: the dialog to save instead of the main window
    int lbnSizeStyle = 0;   // --lbn-size 10|16|msf: the number style of the list and dialogs at start
    int viewCommand = 0;    // --view large|small|list|details: the list's view style command, 0 for details
    // --sort name|lbn|size|date[:desc]|disc: the list's order at start (kept in the profile, as a click
    // would)
    std::optional<ListSort> sort;
    // --player-profile FILE: with --dialog player-check, the profile file chosen after the first check
    std::string playerProfile;
    // --music DIR: with --dialog new-disc, the music folder planned
    std::string music;
    bool verbose = false; // --verbose: counts of the loaded tree and list on standard output
    bool help = false;
    bool version = false; // --version
    std::string error;    // a usage error
    // With images, the demo or a screenshot the first drive is loaded at start.
    bool LoadAtStart() const { return !images.empty() || !openImages.empty() || demo || !screenshot.empty(); }
};

AppOptions App_ParseOptions(int argc, char** argv);
// "ckvd-explorer (CKVD Explorer) VERSION", what --version prints.
const char* App_VersionText();
// True when no display can be reached: no DISPLAY, no WAYLAND_DISPLAY and no QT_QPA_PLATFORM chosen.
bool App_NoDisplay();
