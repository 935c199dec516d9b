// The Player Check: one pass over the session a player would read (the last data session, or the first for
// a player of single sessions), each media file's headers read once through the analyzers: the playback
// order as the player numbers folders and tracks, and what will not play or plays but shows wrong.
#pragma once

#include <string>
#include <vector>

#include "playercheck/player_profile.h"

class Disc;
struct FileEntry;

enum class PlayerSeverity : uint8_t { WillNotPlay, ShowsWrong, Note };

struct PlayerFinding {
    PlayerSeverity severity = PlayerSeverity::Note;
    std::string rule; // the profile key the finding is about ("max_depth", "extensions", "bitrate"...)
    std::string path; // as ckvd ls prints it; empty for the disc
    int folder = 0;   // the folder's number as the player shows it; 0 where it has none
    int track = 0;    // the track's number; 0 for what is no track
    std::string text; // what is wrong, in words
};

struct PlayerTrack {
    int folder = 0, track = 0;
    std::string path;
    const FileEntry* entry = nullptr;
    bool plays = true; // false for a track the player numbers but will not play (a finding says why)
};

struct PlayerCheck {
    int session = 0;                     // 1.., the session the player reads; 0 when there is none
    uint32_t folders = 0;                // of that session, the root counted
    uint32_t files = 0;                  // of every kind
    std::vector<PlayerTrack> order;      // every track the player numbers, in its order
    size_t Plays() const;                // the tracks of the order that play
    std::vector<PlayerFinding> findings; // in the order of the walk, the disc's own first
    size_t Count(PlayerSeverity severity) const;
};

// The names a disc is best read in for `profile` (ISO_NAMES_*; 0: as it is shown), where its sessions record
// them.
uint8_t Player_ReadNames(const PlayerProfile& profile);
// Checks `disc` against `profile`; the analyzers must be up. The tree of the names the player reads is read
// into `disc` where it was not yet, so a check on a worker takes a Disc of its own.
PlayerCheck Player_Check(Disc& disc, const PlayerProfile& profile);
// The CD audio tracks of a disc with data, as the profile's player treats them (audio_beside_data): a note,
// and the tracks at the head of the order where it plays them. False when it plays them alone: no file plays.
bool Player_AudioBesideData(const Disc& disc, const PlayerProfile& profile, PlayerCheck& result);
