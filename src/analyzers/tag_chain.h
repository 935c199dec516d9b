// Tag Information's choice of analyzer, shared by the desktop program and `ckvd info`: the analyzer of the
// file's kind first, then each later one of the chain (CDA, MP3, Windows Media, WAV, JPG) until one accepts
// the file, and the text of the dialog that analyzer's findings fill.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analyzers/asf/wmf_module.h"
#include "analyzers/cda/cda_info.h"
#include "analyzers/info_dialog_header.h"
#include "analyzers/jpg/jpg_module.h"
#include "analyzers/mp3/mp3_info.h"
#include "analyzers/wav/wav_info.h"
#include "iso9660/iso_model.h"

class ByteSource;

enum class TagAnalyzer { None, Cda, Mp3, Wmf, Wav, Jpg };

// What the accepting analyzer found (only its own member is filled).
struct TagFindings {
    TagAnalyzer analyzer = TagAnalyzer::None;
    CdaInfo cda;
    MpegInfo mp3;
    AsfRecords asf;
    WavInfo wav;
    JpgInfo jpg;
};

// Classifies the entry by its name unless its kind is settled, then runs the analyzers its kind selects on
// the current session. The kind is left settled: the accepting analyzer's bit with 0x8000, or 0x8800 when
// none accepted (None is returned; the caller shows "This format isn't being supported.").
TagAnalyzer Tag_Examine(FileEntry* entry, TagFindings& findings);
// The same over the bytes of a local file, `entry` standing for it (its name chooses the kind; no track file
// stands behind it, so CDA accepts none).
TagAnalyzer Tag_ExamineSource(ByteSource& source, FileEntry& entry, TagFindings& findings);
// Tag_Examine with the findings kept in the analyzers' records, for the desktop's dialogs.
TagAnalyzer Tag_Analyze(FileEntry* entry);

// The content of that analyzer's dialog, one label and value a line (UTF-8, blanks at a value's end
// dropped, a unit after its value): the header block (`header`, else the entry's InfoDialogHeader), then the
// analyzer's fields (for MP3 both ID3 versions where present, each after its "ID3 TagVersion" line, then the
// frame header).
struct TagInfoLine {
    std::string label;
    std::string value;
};
std::vector<TagInfoLine> Tag_FindingLines(const TagFindings& findings, const FileEntry& entry, uint16_t style,
                                          const std::vector<InfoField>* header = nullptr);
// The same as "Label: value" lines ("Label:" for an empty value). `style` is the LBN/Size style. With
// `convert`, each label and value goes through it on its own (so that no value takes in the line break after
// it).
std::string Tag_LinesText(const std::vector<TagInfoLine>& lines, std::string (*convert)(std::string_view));
// Both over the records of the last Tag_Analyze.
std::vector<TagInfoLine> Tag_InfoLines(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style);
std::string Tag_InfoText(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style,
                         std::string (*convert)(std::string_view) = nullptr);

// "CDA", "MP3", "WMF", "WAV", "JPG"; empty for None.
const char* Tag_AnalyzerName(TagAnalyzer analyzer);
