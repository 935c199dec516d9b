// A file's or folder's name as the player will read and show it: only characters of its set (a letter with
// an accent the set lacks becomes its plain letter, what has no such form "_"), no longer than it shows or
// the tree it reads holds (the extension kept), d-characters in 8.3 or 31 for a player of primary names.
#pragma once

#include <string>

#include "playercheck/player_profile.h"

// `name` fitted for `profile`; `variant` above 0 tells it from a name it would equal: " (2)" (or "_2")
// before the extension, inside the length.
std::string Make_FitName(const std::string& name, bool directory, const PlayerProfile& profile,
                         int variant = 0);
// The most characters a name may have on the disc for `profile` (the tree's own limit and the player's).
size_t Make_NameLimit(bool directory, const PlayerProfile& profile);
// What orders `name` among its directory's records in the tree the player reads, as bytes to compare: the
// Joliet name's UTF-16 code units, else the name's own bytes.
std::string Make_DirectoryKey(const std::string& name, const PlayerProfile& profile);
// Characters (code points) of a UTF-8 text.
size_t Make_Length(const std::string& utf8);
