// The plan of a disc for a player: a folder of music read file by file (by content), laid out as the
// profile's player reads and numbers it, every change to a name and every file left out said with its
// reason, before anything is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "playercheck/player_check.h"
#include "playercheck/player_media.h"
#include "playercheck/player_profile.h"

struct MakeFile {
    std::string source; // the file on the local disk
    std::string name;   // its name on the disc
    uint64_t size = 0;
    PlayerContent content = PlayerContent::Unknown;
    int folder = 0, track = 0;           // as the player numbers them
    std::vector<std::string> changes;    // each change made, in words
    std::vector<PlayerFinding> findings; // what the player will still show wrong
    bool id3To23 = false;                // the image's copy has its ID3v2.4 tag written as ID3v2.3
};

struct MakeFolder {
    std::string source; // the local folder its files come from
    std::string path;   // on the disc: "" for the root, else "/NAME/NAME"
    int number = 0;     // as the player numbers it
    std::vector<std::string> changes;
    std::vector<MakeFile> files; // in playback order
};

struct MakeLeftOut {
    std::string source;
    std::string rule; // the profile key, or "content" for what no player plays
    std::string why;
};

struct MakePlan {
    std::string volume;                  // the volume name, from the folder's
    std::vector<MakeFolder> folders;     // in the order the player walks them; the root first
    std::vector<MakeLeftOut> leftOut;    // in the order met
    std::vector<std::string> navigation; // the navigation files written into the root, where the profile asks
    size_t Tracks() const;
    uint64_t Bytes() const; // of the files written
};

// Plans the disc of the music under `folder` for `profile`; false with the reason in `error` (a folder that
// cannot be read, nothing to play).
bool Make_Plan(const std::string& folder, const PlayerProfile& profile, MakePlan& plan, std::string& error);
