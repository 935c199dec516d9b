// ckvd-mknav's parts: the media of the local tree (tree_walk; the navigation files describing them are
// navigation/nav_build's), their writing (nav_write), the sectors from a mastered image (image_sectors) and
// the command line (args).
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "navigation/nav_build.h"

namespace mknav {

namespace fs = std::filesystem;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// ---- The command line (args.cpp) ----------------------------------------------------------------------

struct Args {
    std::string name; // --name
    bool haveName = false;
    std::string image; // --lsn
    bool lsn = false;
    unsigned long lcid = 0;
    unsigned long session = 0; // --session, 0 without
    std::string dir;
};

// Reads the command line into `args`; -1 to go on, else the exit status (--help: 0 after the usage on
// stdout; a wrong usage: 2 after it on stderr).
int ParseArgs(int argc, char** argv, Args& args);
// "ckvd-mknav: WHY" on stderr; returns kExitFailure.
int Fail(const std::string& why);

// ---- The tree (tree_walk.cpp) ------------------------------------------------------------------------

// Walks `abs` (directory `index` of the tree): files first, then subdirectories, each in name order.
bool Walk(NavTree& tree, const fs::path& abs, size_t index, std::string& error);
// The navigation files of the tree at `root`, with the paths and sizes of the files of every CID.
bool Build(const fs::path& root, const std::string& discName, uint32_t lcid, NavSet& set, std::string& error);

// ---- Writing (nav_write.cpp) -------------------------------------------------------------------------

// Writes every file to a temporary name first and renames them only when all were written, so that a failure
// leaves the directory's navigation files as they were.
bool WriteAll(const fs::path& dir, const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files,
              std::string& error);
// Playlist files of an earlier run that this one does not write again would be taken for playlists.
bool RemoveStalePlaylists(const fs::path& dir, const NavSet& set, std::string& error);

// ---- Sectors from a mastered image (image_sectors.cpp) -----------------------------------------------

// --lsn: rewrites DIR/LSN.LMX with the sectors and sizes the files have in `image` (session `session`, 0
// for the last); the exit status.
int Lsn(const fs::path& dir, const std::string& image, int session, uint32_t lcid);

} // namespace mknav
