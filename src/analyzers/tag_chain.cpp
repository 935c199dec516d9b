#include "analyzers/tag_chain.h"

#include "analyzers/asf/wmf_dlg_model.h"
#include "analyzers/asf/wmf_module.h"
#include "analyzers/cda/cda_dlg_model.h"
#include "analyzers/cda/cda_module.h"
#include "analyzers/jpg/jpg_module.h"
#include "analyzers/mp3/mp3_dlg_model.h"
#include "analyzers/mp3/mp3_module.h"
#include "analyzers/wav/wav_dlg_model.h"
#include "analyzers/wav/wav_module.h"

namespace {

void AddLine(std::vector<TagInfoLine>& out, const std::string& label, std::string value,
             const std::string& unit = {}, const std::string& beside = {}) {
    if (!beside.empty())
        value += " " + beside;
    if (!unit.empty() && !value.empty())
        value += " " + unit;
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    out.push_back({label, value});
}

void AddFields(std::vector<TagInfoLine>& out, const std::vector<InfoField>& fields) {
    for (const InfoField& f : fields)
        AddLine(out, f.label, f.value, f.unit, f.beside);
}

void AddHeaderAndFields(std::vector<TagInfoLine>& out, const InfoFieldsModel& dlg) {
    AddFields(out, dlg.Header());
    AddFields(out, dlg.Fields());
}

// The chain in its order: a row runs when its bit is set in the kind at that moment; its analyzer's
// failure writes the kind that selects the next row.
struct ChainRow {
    uint16_t bit;
    TagAnalyzer analyzer;
    int (*analyze)(FileEntry*);
    uint16_t kindOnSuccess;
    uint16_t kindOnFailure;
};
const ChainRow kChain[] = {
    {KIND_CDA, TagAnalyzer::Cda, [](FileEntry* e) { return Cda_Analyze(e); }, KIND_ACCEPTED | KIND_CDA,
     KIND_MP3},
    {KIND_MP3, TagAnalyzer::Mp3, [](FileEntry* e) { return Mp3_Analyze(e); }, KIND_ACCEPTED | KIND_MP3,
     KIND_WMF},
    {KIND_WMF, TagAnalyzer::Wmf, [](FileEntry* e) { return Wmf_Analyze(e); }, KIND_ACCEPTED | KIND_WMF,
     KIND_WAV},
    {KIND_WAV, TagAnalyzer::Wav, [](FileEntry* e) { return Wav_Analyze(e); }, KIND_ACCEPTED | KIND_WAV,
     KIND_JPG},
    {KIND_JPG, TagAnalyzer::Jpg, [](FileEntry* e) { return Jpg_Analyze(e); }, KIND_ACCEPTED | KIND_JPG,
     KIND_OTHER},
};

} // namespace

TagAnalyzer Tag_Analyze(FileEntry* entry) {
    if (!entry || entry->type != 'F')
        return TagAnalyzer::None;
    if (!(entry->kind & KIND_ACCEPTED))
        Iso_SetFileKind(entry);
    for (const ChainRow& row : kChain) {
        if (!(entry->kind & row.bit))
            continue;
        if (row.analyze(entry) == 1) {
            entry->kind = row.kindOnSuccess;
            return row.analyzer;
        }
        entry->kind = row.kindOnFailure;
    }
    entry->kind = KIND_UNSUPPORTED;
    return TagAnalyzer::None;
}

std::vector<TagInfoLine> Tag_InfoLines(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style) {
    std::vector<TagInfoLine> out;
    if (analyzer == TagAnalyzer::Mp3) {
        CMp3DlgModel dlg(&entry);
        dlg.OnInitDialog(style);
        AddFields(out, dlg.Header());
        // Each tag version the file has, as the dialog shows it when that version is chosen.
        const uint16_t present[2] = {MP3_TAG_ID3V1, MP3_TAG_ID3V2};
        for (int v = 0; v < 2; ++v) {
            if (!(g_Mp3TagFlags & present[v]))
                continue;
            dlg.OnSelchangeTagVersion(v);
            AddLine(out, "ID3 TagVersion", dlg.TagVersions()[size_t(v)]);
            for (int i = 0; i < CMp3DlgModel::kTagFields; ++i)
                AddLine(out, CMp3DlgModel::kTagLabels[size_t(i)], dlg.TagValues()[size_t(i)]);
        }
        AddFields(out, dlg.Mpeg());
    } else if (analyzer == TagAnalyzer::Wmf) {
        CWmfDlgModel dlg(&entry);
        dlg.OnInitDialog(style);
        AddHeaderAndFields(out, dlg);
    } else if (analyzer == TagAnalyzer::Wav) {
        CWavDlgModel dlg(&entry);
        dlg.OnInitDialog(style);
        AddHeaderAndFields(out, dlg);
    } else if (analyzer == TagAnalyzer::Cda) {
        CCdaDlgModel dlg(&entry);
        dlg.OnInitDialog(style);
        AddHeaderAndFields(out, dlg);
    } else if (analyzer == TagAnalyzer::Jpg) {
        AddFields(out, InfoDialogHeader(entry, style));
    }
    return out;
}

std::string Tag_InfoText(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style,
                         std::string (*convert)(std::string_view)) {
    std::string out;
    for (const TagInfoLine& line : Tag_InfoLines(analyzer, entry, style)) {
        const std::string value = convert ? convert(line.value) : line.value;
        out += (convert ? convert(line.label) : line.label) + (value.empty() ? ":\n" : ": " + value + "\n");
    }
    return out;
}

const char* Tag_AnalyzerName(TagAnalyzer analyzer) {
    switch (analyzer) {
    case TagAnalyzer::Cda:
        return "CDA";
    case TagAnalyzer::Mp3:
        return "MP3";
    case TagAnalyzer::Wmf:
        return "WMF";
    case TagAnalyzer::Wav:
        return "WAV";
    case TagAnalyzer::Jpg:
        return "JPG";
    case TagAnalyzer::None:
        break;
    }
    return "";
}
