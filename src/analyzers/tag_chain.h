// Tag Information's choice of analyzer, shared by the desktop program and `ckvd info`: the analyzer of the
// file's kind first, then each later one of the chain (CDA, MP3, Windows Media, WAV, JPG) until one accepts
// the file, and the text of the dialog that analyzer's findings fill.
#pragma once

#include <cstdint>
#include <string>

#include "iso9660/iso_model.h"

enum class TagAnalyzer { None, Cda, Mp3, Wmf, Wav, Jpg };

// Classifies the entry by its name unless its kind is settled, then runs the analyzers its kind selects on
// the current session. The kind is left settled: the accepting analyzer's bit with 0x8000, or 0x8800 when
// none accepted (None is returned; the caller shows "This format isn't being supported.").
TagAnalyzer Tag_Analyze(FileEntry* entry);

// The content of that analyzer's dialog as "Label: value" lines (Shift-JIS, blanks at a value's end dropped,
// a unit after its value): the header block, then the analyzer's fields (for MP3 both ID3 versions where
// present, then the frame header). `style` is the LBN/Size style.
std::string Tag_InfoText(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style);
