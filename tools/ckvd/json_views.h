// The JSON forms of ckvd's listings: the same fields as the text forms, numbers as numbers, plus what a
// script needs (session numbers, directory paths, kinds, ISO 8601 dates with their recorded GMT offset).
#pragma once

#include <string>
#include <vector>

#include "analyzers/tag_chain.h"
#include "iso9660/iso_model.h"
#include "json_writer.h"
#include "navigation/nav_text.h"
#include "playercheck/player_check.h"

// {"sessions": [{session, type, last_block, block_length, lead_in, lead_out, next_program_area, pvd_lbn,
// tracks: [{session, track, type, address, size, pvd_lbn}]}]} of the loaded disc.
void Json_Toc(JsonWriter& json);

// {"sessions": [{session, volume, entries: [{type, lbn, size, date, kind, name, directory, path}]}]} of one
// session (index from 0) or of every session (-1), entries depth first as `ckvd ls` lists them. The CD-TEXT
// the disc records: "cd_text": {title, performer, songwriter, catalog, notes} beside "sessions", and an audio
// track file's title, performer, songwriter and isrc in its entry (each key only where recorded).
// Below `folder` ("/DIR"), the sessions that hold it as a folder and the entries below it only.
void Json_Tree(JsonWriter& json, int sessionIndex, const std::string& folder = "/");

// One file's Tag Information as an object: path, session, directory, kind, analyzer, an audio track file's
// CD-TEXT as in Json_Tree, and the dialog's fields ({label, value, number where the value starts with one}).
void Json_Info(JsonWriter& json, const std::string& path, int session, const std::string& directory,
               const FileEntry& entry, TagAnalyzer analyzer, const std::vector<TagInfoLine>& lines);
// The same for a local file (ckvd info --file): no session or directory, which only a disc has.
void Json_LocalInfo(JsonWriter& json, const std::string& path, const FileEntry& entry, TagAnalyzer analyzer,
                    const std::vector<TagInfoLine>& lines);

// A navigation file's viewer content: {viewer, path, session, sections: [...]}; a value shown as
// "D(0xH)" also gives its raw value as "number" (a cell of a list becomes that number), an empty cell null.
void Json_Nav(JsonWriter& json, const std::string& path, int session, const NavDocument& document);

// "findings": [{severity, rule, path, folder, track, text}] of a Player Check or a plan's file.
void Json_PlayerFindings(JsonWriter& json, const std::vector<PlayerFinding>& findings);
