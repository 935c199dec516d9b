#include "analyzers/tag_chain.h"

#include <functional>

#include "analyzers/asf/wmf_dlg_model.h"
#include "analyzers/cda/cda_dlg_model.h"
#include "analyzers/jpg/jpg_dlg_model.h"
#include "analyzers/mp3/mp3_dlg_model.h"
#include "analyzers/wav/wav_dlg_model.h"

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

// The chain in its order: a row runs when its bit is set in the kind at that moment; its analyzer's
// failure writes the kind that selects the next row.
struct ChainRow {
    uint16_t bit;
    TagAnalyzer analyzer;
    uint16_t kindOnFailure;
};
constexpr ChainRow kChain[] = {
    {KIND_CDA, TagAnalyzer::Cda, KIND_MP3},   {KIND_MP3, TagAnalyzer::Mp3, KIND_WMF},
    {KIND_WMF, TagAnalyzer::Wmf, KIND_WAV},   {KIND_WAV, TagAnalyzer::Wav, KIND_JPG},
    {KIND_JPG, TagAnalyzer::Jpg, KIND_OTHER},
};

// Runs the chain on `entry` with `accepts` standing for each row's analyzer.
TagAnalyzer RunChain(FileEntry* entry, const std::function<bool(TagAnalyzer)>& accepts) {
    if (!entry || entry->type != 'F')
        return TagAnalyzer::None;
    if (!(entry->kind & KIND_ACCEPTED))
        Iso_SetFileKind(entry);
    for (const ChainRow& row : kChain) {
        if (!(entry->kind & row.bit))
            continue;
        if (accepts(row.analyzer)) {
            entry->kind = KIND_ACCEPTED | row.bit;
            return row.analyzer;
        }
        entry->kind = row.kindOnFailure;
    }
    entry->kind = KIND_UNSUPPORTED;
    return TagAnalyzer::None;
}

// What one analysis found, seen through its dialog models.
struct FindingsView {
    TagAnalyzer analyzer;
    const CdaInfo& cda;
    const MpegInfo& mp3;
    const AsfInfo& asf;
    const WavInfo& wav;
    const JpgInfo& jpg;
};

void AddMp3Lines(std::vector<TagInfoLine>& out, const FindingsView& f, const FileEntry& entry, uint16_t style,
                 const std::vector<InfoField>& header) {
    CMp3DlgModel dlg(&entry, f.mp3);
    dlg.OnInitDialog(style);
    AddFields(out, header);
    // Each tag version the file has, as the dialog shows it when that version is chosen.
    const uint16_t present[2] = {MP3_TAG_ID3V1, MP3_TAG_ID3V2};
    for (int v = 0; v < 2; ++v) {
        if (!(f.mp3.tagFlags & present[v]))
            continue;
        dlg.OnSelchangeTagVersion(v);
        AddLine(out, "ID3 TagVersion", dlg.TagVersions()[size_t(v)]);
        for (int i = 0; i < CMp3DlgModel::kTagFields; ++i)
            AddLine(out, CMp3DlgModel::kTagLabels[size_t(i)], dlg.TagValues()[size_t(i)]);
    }
    AddFields(out, dlg.Mpeg());
}

template <class Model, class Info>
void AddModelLines(std::vector<TagInfoLine>& out, const Info& info, const FileEntry& entry, uint16_t style,
                   const std::vector<InfoField>& header) {
    Model dlg(&entry, info);
    dlg.OnInitDialog(style);
    AddFields(out, header);
    AddFields(out, dlg.Fields());
}

std::vector<TagInfoLine> LinesOf(const FindingsView& f, const FileEntry& entry, uint16_t style,
                                 const std::vector<InfoField>* given) {
    std::vector<TagInfoLine> out;
    const std::vector<InfoField> header = given ? *given : InfoDialogHeader(entry, style);
    if (f.analyzer == TagAnalyzer::Mp3)
        AddMp3Lines(out, f, entry, style, header);
    else if (f.analyzer == TagAnalyzer::Wmf)
        AddModelLines<CWmfDlgModel>(out, f.asf, entry, style, header);
    else if (f.analyzer == TagAnalyzer::Wav)
        AddModelLines<CWavDlgModel>(out, f.wav, entry, style, header);
    else if (f.analyzer == TagAnalyzer::Cda)
        AddModelLines<CCdaDlgModel>(out, f.cda, entry, style, header);
    else if (f.analyzer == TagAnalyzer::Jpg)
        AddModelLines<CJpgDlgModel>(out, f.jpg, entry, style, header);
    return out;
}

} // namespace

TagAnalyzer Tag_Examine(FileEntry* entry, TagFindings& f) {
    f.analyzer = RunChain(entry, [&](TagAnalyzer a) {
        switch (a) {
        case TagAnalyzer::Cda:
            return Cda_AnalyzeEntry(*entry, f.cda) == 1;
        case TagAnalyzer::Mp3:
            return Mp3_AnalyzeEntry(*entry, f.mp3) == 1;
        case TagAnalyzer::Wmf:
            return Wmf_AnalyzeEntry(*entry, f.asf) == 1;
        case TagAnalyzer::Wav:
            return Wav_AnalyzeEntry(*entry, f.wav) == 1;
        case TagAnalyzer::Jpg:
            return Jpg_AnalyzeEntry(*entry, f.jpg) == 1;
        case TagAnalyzer::None:
            break;
        }
        return false;
    });
    return f.analyzer;
}

TagAnalyzer Tag_ExamineSource(ByteSource& source, FileEntry& entry, TagFindings& f) {
    f.analyzer = RunChain(&entry, [&](TagAnalyzer a) {
        switch (a) {
        case TagAnalyzer::Mp3:
            return Mp3_Read(source, f.mp3) == 1;
        case TagAnalyzer::Wmf:
            return Wmf_Read(source, f.asf) == 1;
        case TagAnalyzer::Wav:
            return Wav_Read(source, f.wav) == 1;
        case TagAnalyzer::Jpg:
            return Jpg_Read(source, f.jpg) == 1;
        case TagAnalyzer::Cda:
        case TagAnalyzer::None:
            break;
        }
        return false;
    });
    return f.analyzer;
}

TagAnalyzer Tag_Analyze(FileEntry* entry) {
    return RunChain(entry, [entry](TagAnalyzer a) {
        switch (a) {
        case TagAnalyzer::Cda:
            return Cda_Analyze(entry) == 1;
        case TagAnalyzer::Mp3:
            return Mp3_Analyze(entry) == 1;
        case TagAnalyzer::Wmf:
            return Wmf_Analyze(entry) == 1;
        case TagAnalyzer::Wav:
            return Wav_Analyze(entry) == 1;
        case TagAnalyzer::Jpg:
            return Jpg_Analyze(entry) == 1;
        case TagAnalyzer::None:
            break;
        }
        return false;
    });
}

std::vector<TagInfoLine> Tag_FindingLines(const TagFindings& f, const FileEntry& entry, uint16_t style,
                                          const std::vector<InfoField>* header) {
    return LinesOf({f.analyzer, f.cda, f.mp3, f.asf.info, f.wav, f.jpg}, entry, style, header);
}

std::vector<TagInfoLine> Tag_InfoLines(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style) {
    const CdaInfo cda = Cda_LastInfo();
    const MpegInfo mp3 = Mp3_LastInfo();
    const AsfInfo asf = Wmf_LastInfo();
    const WavInfo wav = Wav_LastInfo();
    return LinesOf({analyzer, cda, mp3, asf, wav, Jpg_LastInfo()}, entry, style, nullptr);
}

std::string Tag_LinesText(const std::vector<TagInfoLine>& lines, std::string (*convert)(std::string_view)) {
    std::string out;
    for (const TagInfoLine& line : lines) {
        const std::string value = convert ? convert(line.value) : line.value;
        out += (convert ? convert(line.label) : line.label) + (value.empty() ? ":\n" : ": " + value + "\n");
    }
    return out;
}

std::string Tag_InfoText(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style,
                         std::string (*convert)(std::string_view)) {
    return Tag_LinesText(Tag_InfoLines(analyzer, entry, style), convert);
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
