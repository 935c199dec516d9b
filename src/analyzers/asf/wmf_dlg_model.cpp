#include "analyzers/asf/wmf_dlg_model.h"

#include <cstdio>
#include <cstring>

#include "analyzers/asf/wmf_module.h"

namespace {

constexpr const char* kLabels[] = {"Duration",     "Bitrate",       "Seekable",         "Broadcast",
                                   "Protected",    "Trusted",       "SignatureName",    "Title",
                                   "Auther",       "Description",   "Rating",           "Copyright",
                                   "WM/Genre",     "WM/AlbumTitle", "WM/Track",         "WMFSDKVersion",
                                   "WMFSDKNeeded", "Codec Name",    "Codec Description"};
constexpr const char* kAttributes[] = {"WM/Genre", "WM/AlbumTitle", "WM/Track", "WMFSDKVersion",
                                       "WMFSDKNeeded"};

} // namespace

bool CWmfDlgModel::FieldEnabled(const std::string& label) {
    return label != "Protected" && label != "Trusted" && label != "SignatureName";
}

void CWmfDlgModel::Set(const char* label, std::string value) {
    for (InfoField& f : m_fields)
        if (f.label == label)
            f.value = std::move(value);
}

void CWmfDlgModel::OnInitDialog(uint16_t style) {
    Reset(style);
    for (const char* label : kLabels)
        m_fields.push_back({label, {}, std::strcmp(label, "Bitrate") == 0 ? "bps" : "", {}});
    ShowFileProperties();
    ShowContentDescription();
    ShowAttributes();
    ShowAudioCodec();
}

void CWmfDlgModel::ShowFileProperties() {
    const AsfFileProperties* p = m_info.fileProperties;
    if (!p)
        return;
    // The play duration counts the preroll too, which is not played.
    const uint64_t seconds = Wmf_Duration(p) / 10000000u;
    char text[48];
    std::snprintf(text, sizeof text, "%2llu:%02llu", static_cast<unsigned long long>(seconds / 60),
                  static_cast<unsigned long long>(seconds % 60));
    Set("Duration", text);
    const uint32_t flags = Wmf_Flags(p);
    Set("Broadcast", (flags & 1) ? "TRUE" : "FALSE");
    Set("Seekable", (flags & 2) ? "TRUE" : "FALSE");
    std::snprintf(text, sizeof text, "%u", Wmf_MaximumBitrate(p));
    Set("Bitrate", text);
}

void CWmfDlgModel::ShowContentDescription() {
    const AsfContentDescription* c = m_info.contentDescription;
    if (!c)
        return;
    auto put = [this](const char* label, const char* text) {
        if (text)
            Set(label, text);
    };
    put("Title", c->titleText);
    put("Auther", c->authorText);
    put("Description", c->descriptionText);
    put("Rating", c->ratingText);
    put("Copyright", c->copyrightText);
}

void CWmfDlgModel::ShowAttributes() {
    const AsfExtendedContent* x = m_info.extendedContent;
    if (!x)
        return;
    // At most the descriptor count of the object; only an exact name matches, and a later one wins.
    const unsigned count = unsigned(x->head[24]) | unsigned(x->head[25]) << 8;
    unsigned i = 0;
    for (const AsfDescriptor* d = m_info.descriptors; d && i < count; d = d->next, ++i) {
        if (!d->nameText)
            continue;
        for (const char* attribute : kAttributes)
            if (std::strcmp(d->nameText, attribute) == 0)
                Set(attribute, Wmf_AttributeDisplayText(d));
    }
}

void CWmfDlgModel::ShowAudioCodec() {
    for (const AsfCodecEntry* e = m_info.codecEntries; e; e = e->next) {
        if (e->type != 2)
            continue;
        if (e->nameText)
            Set("Codec Name", e->nameText);
        if (e->descriptionText)
            Set("Codec Description", e->descriptionText);
        return;
    }
}
