// Tag Information's choice of analyzer, shared by the desktop program and `ckvd info`: the analyzer of the
// file's kind first, then each later one of the chain (CDA, MP3, Windows Media, WAV, JPG) until one accepts
// the file, and the text of the dialog that analyzer's findings fill.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "iso9660/iso_model.h"

enum class TagAnalyzer { None, Cda, Mp3, Wmf, Wav, Jpg };

// Classifies the entry by its name unless its kind is settled, then runs the analyzers its kind selects on
// the current session. The kind is left settled: the accepting analyzer's bit with 0x8000, or 0x8800 when
// none accepted (None is returned; the caller shows "This format isn't being supported.").
TagAnalyzer Tag_Analyze(FileEntry* entry);

// The content of that analyzer's dialog, one label and value a line (UTF-8, blanks at a value's end
// dropped, a unit after its value): the header block, then the analyzer's fields (for MP3 both ID3 versions
// where present, each after its "ID3 TagVersion" line, then the frame header).
struct TagInfoLine {
    std::string label;
    std::string value;
};
std::vector<TagInfoLine> Tag_InfoLines(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style);
// The same as "Label: value" lines ("Label:" for an empty value). `style` is the LBN/Size style. With
// `convert`, each label and value goes through it on its own (so that no value takes in the line break after
// it).
std::string Tag_InfoText(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style,
                         std::string (*convert)(std::string_view) = nullptr);

// "CDA", "MP3", "WMF", "WAV", "JPG"; empty for None.
const char* Tag_AnalyzerName(TagAnalyzer analyzer);
