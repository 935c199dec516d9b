// Which analyzer takes a file for Tag Information, and the text of the dialog it would open, shared by the
// desktop program and `ckvd info`. Until every analyzer is built, MP3 and Windows Media files are analysed.
#pragma once

#include <cstdint>
#include <string>

#include "iso9660/iso_model.h"

enum class TagAnalyzer { None, Mp3, Wmf };

// Classifies the entry by its name where it is not yet and runs the analyzer of its kind on the current
// session; the analyzer that accepted the file, or None.
TagAnalyzer Tag_Analyze(FileEntry* entry);

// The content of that analyzer's dialog as "Label: value" lines (Shift-JIS, blanks at a value's end dropped,
// a unit after its value): the header block, both ID3 versions where present, then the frame header; or the
// Windows Media fields. `style` is the LBN/Size style.
std::string Tag_InfoText(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style);
