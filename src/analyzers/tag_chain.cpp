#include "analyzers/tag_chain.h"

#include "analyzers/asf/wmf_dlg_model.h"
#include "analyzers/asf/wmf_module.h"
#include "analyzers/mp3/mp3_dlg_model.h"
#include "analyzers/mp3/mp3_module.h"

namespace {

void AddLine(std::string& out, const std::string& label, std::string value, const std::string& unit = {},
             const std::string& beside = {}) {
    if (!beside.empty())
        value += " " + beside;
    if (!unit.empty() && !value.empty())
        value += " " + unit;
    while (!value.empty() && value.back() == ' ')
        value.pop_back();
    out += label + (value.empty() ? ":\n" : ": " + value + "\n");
}

void AddFields(std::string& out, const std::vector<InfoField>& fields) {
    for (const InfoField& f : fields)
        AddLine(out, f.label, f.value, f.unit, f.beside);
}

} // namespace

TagAnalyzer Tag_Analyze(FileEntry* entry) {
    if (!entry || entry->type != 'F')
        return TagAnalyzer::None;
    if (!(entry->kind & KIND_ACCEPTED))
        Iso_SetFileKind(entry);
    if ((entry->kind & KIND_MP3) && Mp3_Analyze(entry) == MP3_OK)
        return TagAnalyzer::Mp3;
    if ((entry->kind & KIND_WMF) && Wmf_Analyze(entry) == WMF_OK)
        return TagAnalyzer::Wmf;
    return TagAnalyzer::None;
}

std::string Tag_InfoText(TagAnalyzer analyzer, const FileEntry& entry, uint16_t style) {
    std::string out;
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
        AddFields(out, dlg.Header());
        AddFields(out, dlg.Fields());
    }
    return out;
}
