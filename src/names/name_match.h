// Names typed on a command line (or picked in a dialog) matched against the names the disc records.
#pragma once

#include <string>
#include <string_view>

#include "iso9660/iso_model.h"

// UTF-8 text in Unicode Normalization Form C, so that "é" typed as one character or as "e" and a combining
// accent names the same entry; text that is no UTF-8 is given back as it stands.
std::string Report_NfcText(std::string_view utf8);

// The child of `directory` named `part` (NFC already): the one whose Unicode name is `part` in NFC; failing
// that, the one child whose Shift-JIS form (as the report writes it, read back as UTF-8) is `part`, so that
// names typed as earlier versions printed them still reach their entries, or whose name without its ISO 9660
// version (";1") is `part`, or, in a session `tree` shown in Rock Ridge names, whose recorded identifier or
// Joliet name is `part`. nullptr when none answers, or when two children answer only in those looser ways.
FileEntry* Report_FindChild(FileEntry* directory, const std::string& part, SessionTree* tree = nullptr);
