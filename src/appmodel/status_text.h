// The status bar's words: the entries of the folder shown and what the last Save to Disc or report did.
#pragma once

#include <cstdint>
#include <string>

#include "appmodel/save_to_disc.h"
#include "appmodel/tree_copy.h"

// "1 entry", "1,234 entries".
std::string Status_Entries(int count);
// "512 bytes", "1.5 kB", "34.5 MB", "1.2 GB" (powers of 1,000, as a file manager counts).
std::string Status_Size(uint64_t bytes);
// One file saved to `path`: "Saved A.MP3 (4.1 MB) to /home/u/Music", or what went wrong; empty when no file
// was chosen.
std::string Status_SavedFile(const std::string& path, const SaveOutcome& outcome);
// Several entries saved into `folder`: "Saved 12 files (34.5 MB) to /home/u/Music", with what was left out or
// cancelled; empty when no folder was chosen.
std::string Status_SavedFiles(const std::string& folder, const TreeCopyTotals& done, uint32_t files,
                              const TreeCopyResult& result);
// "Report 000012 saved to /home/u/MA000012.csv", or that it was not.
std::string Status_Report(int number, const std::string& path, bool saved);
