// The Player Check in words: the severities, the findings and the playback order as `ckvd check` prints
// them (text and CSV) and the window lists them.
#pragma once

#include <string>

#include "playercheck/player_check.h"

const char* Player_CharsetName(PlayerCharset set);
// "will not play", "plays but shows wrong", "note".
const char* Player_SeverityName(PlayerSeverity severity);
// "folder 3, track 12" / "folder 3" / "" where there is no number.
std::string Player_Position(int folder, int track);
// One finding as a line: "will not play: /MUSIC/NOISE.MP3 (folder 2, track 1): a WAV file named .mp3
// [extensions]".
std::string Player_FindingLine(const PlayerFinding& finding);
// The summary line: "car-cd: session 2, 12 folders, 40 files, 38 tracks play; 2 will not play, 1 play but
// show wrong, 0 notes" ("car-cd: no files to play; ..." for a disc without a readable data session).
std::string Player_Summary(const PlayerProfile& profile, const PlayerCheck& check);
// The CSV of the findings (UTF-8, a header line, CRLF).
std::string Player_FindingsCsv(const PlayerCheck& check);
