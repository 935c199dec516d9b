// The navigation files of a tree of media: playlists, CONTENTS.LMX, MENU.LMX, TEXT.LMX and LSN.LMX (every
// sector 0 until the tree is mastered), for ckvd-mknav's local folder and the disc ckvd make writes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "navigation/nav_writer.h"

// The language code the files are written with where none is asked for.
constexpr uint32_t NAV_LCID_JAPANESE = 0x0411;

struct NavTreeMedia {
    std::string path; // from the tree's root, "/"-separated, UTF-8
    uint64_t size = 0;
    uint32_t cid = 0; // given by Nav_Build
    NavMediaFile info;
};

struct NavTreeDirectory {
    std::string path; // "" for the root
    std::string name;
    uint32_t number = 0; // from 1, the root; a parent before its subdirectories
    uint32_t parent = 0;
    std::vector<size_t> children;              // indexes of subdirectories
    std::vector<size_t> audio, images, videos; // indexes into the tree's lists, in playlist order
    int playlist = -1;                         // given by Nav_Build
    size_t playlistsBelow = 0;                 // its own and its subdirectories'
};

struct NavTree {
    std::vector<NavTreeDirectory> dirs; // the root first, each directory after its parent
    std::vector<NavTreeMedia> audio, menuImages, images, videos;
};

struct NavSet {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files; // name in the root, bytes
    std::vector<std::string> cidPaths;                               // path from the root of CID n+1's file
    std::vector<uint64_t> cidSizes;
};

// The navigation files of `tree` (numbered here: playlists, then CIDs) with the path and size of every CID's
// file; false with the reason in `error`.
bool Nav_Build(NavTree& tree, const std::string& discName, uint32_t lcid, NavSet& set, std::string& error);
// The name of the playlist file of playlist `index` (from 0): PLAY0001.LMX...
std::string Nav_PlaylistName(size_t index);
// LSN.LMX again with `sectors` (one per CID, in CID order) and the sizes of `set`.
NavBytes Nav_LsnWithSectors(const NavSet& set, const std::vector<uint32_t>& sectors);
