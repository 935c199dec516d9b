// A media file held against a player's profile by what it holds, whatever its name says: the rules of the
// Player Check for one file's bytes, wherever they are (a disc's entry, a local file for a disc to be made).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "playercheck/player_check.h"

class ByteSource;

// What a file holds, read by its content.
enum class PlayerContent : uint8_t { Unknown, Mpeg, Wma, Wav };

// A finding about the file: its severity, the profile key and the words.
using PlayerMediaFinding = std::function<void(PlayerSeverity, const char* rule, const std::string& text)>;

// Reads `source` (nullptr: a file that cannot be read) as a WAV file, a Windows Media file, else MPEG audio,
// and holds it against `profile`: its name's extension `extension` (lower case) against its content, the
// MPEG version, layer, bit rate and sampling rate, the tags shown and their characters, the Windows Media
// codec and DRM. What it holds is returned.
PlayerContent Player_CheckMedia(ByteSource* source, const std::string& extension,
                                const PlayerProfile& profile, const PlayerMediaFinding& add);
// The extension a player knows a file of `content` by ("mp3", "wma", "wav"; empty for Unknown).
const char* Player_ContentExtension(PlayerContent content);
// What a file of `content` is, in words: "a WAV file"; "not an audio file" for Unknown.
const char* Player_ContentName(PlayerContent content);

// Whether the player shows the code point.
bool Player_InCharset(uint32_t cp, PlayerCharset set);
// The first character of `text` outside `set`, as "\"さ\" (U+3055)", or empty.
std::string Player_Outside(std::string_view text, PlayerCharset set);
// Calls `each` with every code point of a UTF-8 text (a malformed byte as U+FFFD) until it returns false.
void Player_EachCodePoint(std::string_view text, const std::function<bool(uint32_t)>& each);
