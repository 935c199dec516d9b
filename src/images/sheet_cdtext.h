// The CD-TEXT and sub-channel codes of image sheets (cue TITLE/PERFORMER/SONGWRITER/ISRC/CATALOG and
// CDTEXTFILE, cdrdao CD_TEXT blocks, CloneCD [CDText]). Text that cannot be read is passed over with a note
// in the disc's text; it never refuses the sheet.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "images/disc_image.h"

namespace ckvd::images {

// A word of a cdrdao sheet: a bare word, a quoted string or a brace.
struct SheetWord {
    std::string text;
    int line = 0;
    bool quoted = false;
};

// A cue sheet's TITLE, PERFORMER, SONGWRITER (of the disc when `track` is 0), ISRC or CATALOG; false when
// `kw` is none of them.
bool cue_text_command(DiscImage& disc, uint8_t track, const std::string& kw, const std::string& rest,
                      int line);
// CDTEXTFILE: the packs of the file it names, relative to `dir`.
void cue_text_file(DiscImage& disc, const std::filesystem::path& dir, const std::string& rest, int line);

// The words inside a cdrdao CD_TEXT block's braces, of the disc when `track` is 0: TITLE, PERFORMER,
// SONGWRITER, UPC_EAN and ISRC of language `language`, or where it is -1 of the language the disc's
// LANGUAGE_MAP names English, else of the first block, which `language` then becomes.
void toc_text_block(DiscImage& disc, uint8_t track, const std::vector<SheetWord>& words, int& language);
// A cdrdao ISRC or CATALOG statement's code.
void toc_code(DiscImage& disc, uint8_t track, const SheetWord& code);

// CloneCD's [CDText] section: "Entries=N" and "Entry k=" 18 hex bytes each.
using SectionValues = std::map<std::string, std::pair<std::string, int>>;
void ccd_text_section(DiscImage& disc, const SectionValues& values, int line);

// Raw packs an image carries (CloneCD, Nero, a cue sheet's CDTEXTFILE): kept for READ TOC format 5 and read
// into `disc.text` (over what the sheet's commands said, when they hold text).
void take_text_packs(DiscImage& disc, std::vector<uint8_t> packs, const std::string& where);

} // namespace ckvd::images
