// A player profile: what a CD player reads and shows, each limit and accepted format a named key. Built in:
// "car-cd", "iso9660-level1", "iso9660-level2"; others are INI files of `key = value` lines.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// The characters a player can show.
enum class PlayerCharset : uint8_t { Ascii, Latin1, ShiftJis, Ucs2, Unicode };

// The directory tree a player reads: the Joliet names where the session records them, else the primary ones;
// the primary names alone; or, as Linux does, Rock Ridge names, else Joliet, else the primary ones.
enum class PlayerNames : uint8_t { Joliet, Iso9660, RockRidge };

// What a player does with a disc that holds CD audio tracks beside its data (a mixed-mode disc, a CD-Extra):
// most play the files and pass the audio over, some play the audio tracks as a CD player and never see the
// files, a few play both.
enum class PlayerAudio : uint8_t { PlaysData, PlaysAudio, PlaysBoth };

// The order a player plays a folder's files and subfolders in: where their data lies on the disc (the order
// the writing program recorded them), or their names' (the directory's order).
enum class PlayerOrder : uint8_t { Recording, Name };

// How `ckvd make` writes an ID3v2.4 tag into the image's copy of a file: as it is, or as ID3v2.3.
enum class PlayerId3Write : uint8_t { Keep, V23 };

struct PlayerProfile {
    std::string name;
    PlayerNames names = PlayerNames::Joliet;
    int isoLevel = 2;            // rules of the primary names the player expects: 1 (8.3) or 2 (31)
    uint32_t maxDepth = 8;       // directory levels, the root being level 1 (0: no limit)
    uint32_t maxFolders = 255;   // folders, the root counted (0: no limit)
    uint32_t maxFiles = 512;     // files of every kind (0: no limit)
    uint32_t maxNameLength = 64; // characters of a name, its extension included (0: no limit)
    PlayerCharset nameCharset = PlayerCharset::Ucs2;
    PlayerCharset tagCharset = PlayerCharset::Latin1;
    std::set<std::string> extensions = {"mp3", "wma"}; // files the player plays, by extension
    std::set<std::string> mpegVersions = {"1", "2", "2.5"};
    std::set<int> mpegLayers = {3};
    uint32_t minBitrate = 8, maxBitrate = 320;               // kbit/s
    uint32_t minSampling = 16000, maxSampling = 48000;       // Hz
    std::set<std::string> id3Versions = {"1", "2.2", "2.3"}; // tags the player shows
    std::set<int> wmaVersions = {7, 8, 9};
    bool wmaDrm = false, wmaPro = false, wmaLossless = false, wmaVoice = false;
    bool multisession = true; // reads the last session; else the first
    PlayerAudio audioBesideData = PlayerAudio::PlaysData;
    bool countEmptyFolders = false; // numbers folders without playable files
    bool tracksPerFolder = true;    // track numbers start at 1 in each folder, else run over the disc
    PlayerOrder order = PlayerOrder::Recording;
    // What `ckvd make` does for this player: "01 " before each name so that name, directory and recording
    // order agree; folders of more files than this split into "NAME (1)", "NAME (2)"... (0: never); tags.
    bool numberPrefix = true;
    uint32_t splitFolders = 255;
    PlayerId3Write id3Write = PlayerId3Write::V23;
    bool navigation = false; // the player reads the Lumaset navigation files, which ckvd make then writes
};

// ASCII letters lowered: keys, values and extensions are compared in any case.
std::string Player_Lower(std::string s);
// The names of the built-in profiles.
std::vector<std::string> Player_BuiltinNames();
// The built-in profile `name`; false when there is none.
bool Player_BuiltinProfile(const std::string& name, PlayerProfile& profile);
// Reads a profile file over the defaults of "car-cd" (its own `base = NAME` picks another built-in first).
// False with "FILE:LINE: key: what" in `error`.
bool Player_LoadProfile(const std::string& path, PlayerProfile& profile, std::string& error);
// A profile by name or path: a built-in name, NAME of ~/.config/ckvd-explorer/players/NAME.ini, or a file.
bool Player_FindProfile(const std::string& nameOrPath, PlayerProfile& profile, std::string& error);
// The names of the user's profiles (players/*.ini), sorted.
std::vector<std::string> Player_UserProfileNames();
// The profiles a window offers: the built-in ones, then the user's.
std::vector<std::string> Player_ProfileNames();
// The profile's keys with their values, as a file would give them (for `ckvd check --profile` listings and
// the README's table).
std::vector<std::pair<std::string, std::string>> Player_ProfileKeys(const PlayerProfile& profile);
