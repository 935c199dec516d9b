#include "analyzers/mp3/mp3_dlg_model.h"

#include <cstdio>

#include "analyzers/mp3/mp3_module.h"
#include "analyzers/tag_text.h"

namespace {

// Mode extension by [layer index][mode-extension bits].
constexpr int kModeExtension[3][4] = {{4, 8, 12, 16}, {4, 8, 12, 16}, {0, 4, 8, 16}};

std::string Number(long value) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", value);
    return text;
}

// A fixed-size text field of the ID3v1 record, up to its first zero, for display.
template <size_t N> std::string Field(const char (&text)[N]) {
    return Analyzer_TagText(reinterpret_cast<const uint8_t*>(text), N);
}

} // namespace

const std::array<const char*, CMp3DlgModel::kTagFields> CMp3DlgModel::kTagLabels = {
    "Track",   "Title",    "Artist",          "Album",     "Year", "Genre",
    "Comment", "Composer", "Original Artist", "Copyright", "URL",  "Encoder"};

void CMp3DlgModel::OnInitDialog(uint16_t style) {
    if (!m_given)
        m_info = Mp3_LastInfo();
    m_header = m_entry ? InfoDialogHeader(*m_entry, style) : std::vector<InfoField>{};
    m_versions = {(m_info.tagFlags & MP3_TAG_ID3V1_0)   ? "v1.0"
                  : (m_info.tagFlags & MP3_TAG_ID3V1_1) ? "v1.1"
                                                        : "v1.?",
                  (m_info.tagFlags & MP3_TAG_ID3V2_2)   ? "v2.2"
                  : (m_info.tagFlags & MP3_TAG_ID3V2_3) ? "v2.3"
                  : (m_info.tagFlags & MP3_TAG_ID3V2_4) ? "v2.4"
                                                        : "v2.?"};
    m_selected = 0;
    m_tags = {};
    // The dialog opens on a tag the file has: its ID3v1 tag where there is one, else its ID3v2 tag.
    if (!(m_info.tagFlags & MP3_TAG_ID3V1) && (m_info.tagFlags & MP3_TAG_ID3V2))
        OnSelchangeTagVersion(1);
    else
        ShowId3v1Tag();
    ShowMpegHeader();
}

void CMp3DlgModel::OnSelchangeTagVersion(int index) {
    m_selected = index;
    ClearTagFields();
    if (index == 0)
        ShowId3v1Tag();
    else if (index == 1)
        ShowId3v2Tag();
}

void CMp3DlgModel::ClearTagFields() {
    m_tags.fill(" ");
}

void CMp3DlgModel::ShowId3v1Tag() {
    const Id3v1Tag* t = &m_info.id3v1;
    if (!(m_info.tagFlags & MP3_TAG_ID3V1))
        return;
    m_tags[0] = Number(t->track);
    m_tags[1] = Field(t->title);
    m_tags[2] = Field(t->artist);
    m_tags[3] = Field(t->album);
    char year[8];
    std::snprintf(year, sizeof year, "%c%c%c%c", t->year[0], t->year[1], t->year[2], t->year[3]);
    m_tags[4] = year;
    m_tags[5] = Number(t->genre);
    m_tags[6] = Field(t->comment);
}

void CMp3DlgModel::ShowId3v2Tag() {
    const Id3v2Texts& t = m_info.id3v2Text;
    if (!m_info.id3v2 || !(m_info.tagFlags & MP3_TAG_ID3V2))
        return;
    const std::optional<std::string>* texts[kTagFields] = {
        &t.track,   &t.title,    &t.artist,         &t.album,     &t.year, &t.genre,
        &t.comment, &t.composer, &t.originalArtist, &t.copyright, &t.url,  &t.encoder};
    for (int i = 0; i < kTagFields; ++i)
        if (*texts[i])
            m_tags[size_t(i)] = **texts[i];
}

void CMp3DlgModel::ShowMpegHeader() {
    m_mpeg.clear();
    const MpegHeaderInfo* h = &m_info.header;
    const uint8_t h1 = h->headerBytes[1], h2 = h->headerBytes[2], h3 = h->headerBytes[3];
    char header[24], crc[16];
    std::snprintf(header, sizeof header, "%02X %02X %02X %02X", h->headerBytes[0], h1, h2, h3);
    std::snprintf(crc, sizeof crc, "%02X %02X", h->headerBytes[4], h->headerBytes[5]);
    static const char* const kEmphasis[4] = {"None", "50/15ms", "Reserved", "CCITT j-17"};
    const unsigned layerIndex = Mp3_LayerIndex(h) < 3 ? Mp3_LayerIndex(h) : 0;
    m_mpeg = {
        {"HeaderPosition", Number(long(h->headerPosition)), "bytes", {}},
        {"Header", header, {}, {}},
        {"Length", Number(long(h->length)), "sec", {}},
        {"Frames", Number(long(h->frames)), {}, {}},
        {"PCM DataSize", Number(long(h->pcmSize)), "bytes", {}},
        {"Version", Mp3_VersionName(h), {}, {}},
        {"Layer", Mp3_LayerName(h), {}, {}},
        {"CRC", (h1 & 0x01) ? "None" : "Exist", {}, crc},
        {"Bitrate", Number(long(Mp3_Bitrate(h))), "kbps", {}},
        {"Sampling Freq.", Number(long(Mp3_SamplingRate(h))), "Hz", {}},
        {"Padding", (h2 & 0x02) ? "No Used bit Exist" : "AllData Used", {}, {}},
        {"Extension", (h2 & 0x01) ? "Private" : "None", {}, {}},
        {"Channel", Mp3_ChannelName(h), {}, {}},
        {"Mode Extension", Number(kModeExtension[layerIndex][(h3 & 0x30) >> 4]), {}, {}},
        {"Copyrighted", (h3 & 0x08) ? "Exist" : "None", {}, {}},
        {"Original", (h3 & 0x04) ? "Original" : "Copy", {}, {}},
        {"Emphasis", kEmphasis[h3 & 0x03], {}, {}},
    };
}
