// One media file's bytes held against the profile: sniffed by content (WAV, Windows Media, MPEG audio), its
// header's figures, its tags and codec.
#include "playercheck/player_media.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <optional>

#include "analyzers/asf/wmf_module.h"
#include "analyzers/byte_source.h"
#include "analyzers/mp3/mp3_info.h"
#include "analyzers/wav/wav_info.h"
#include "iso9660/iso9660.h"
#include "playercheck/player_text.h"

namespace {

using Severity = PlayerSeverity;

class MediaCheck {
  public:
    MediaCheck(const PlayerProfile& p, const PlayerMediaFinding& add) : m_profile(p), m_add(add) {}
    void Mpeg(const MpegInfo& info);
    void Wma(const AsfInfo& info);
    // The first tag text with a character the player cannot show.
    void Tags(std::initializer_list<const char*> texts);

  private:
    const PlayerProfile& m_profile;
    const PlayerMediaFinding& m_add;
};

void MediaCheck::Mpeg(const MpegInfo& info) {
    const MpegHeaderInfo* h = &info.header;
    const std::string version = (h->headerBytes[1] & 0x18) == 0x18   ? "1"
                                : (h->headerBytes[1] & 0x18) == 0x10 ? "2"
                                                                     : "2.5";
    const int layer = 4 - ((h->headerBytes[1] >> 1) & 3);
    const uint32_t bitrate = Mp3_Bitrate(h), sampling = Mp3_SamplingRate(h);
    if (!m_profile.mpegVersions.count(version))
        m_add(Severity::WillNotPlay, "mpeg_versions", "MPEG-" + version + " audio");
    if (!m_profile.mpegLayers.count(layer))
        m_add(Severity::WillNotPlay, "mpeg_layers", "Layer " + std::to_string(layer) + " audio");
    if ((h->headerBytes[2] >> 4) == 0)
        m_add(Severity::WillNotPlay, "bitrate", "free-format bit rate");
    else if (bitrate < m_profile.minBitrate || bitrate > m_profile.maxBitrate)
        m_add(Severity::WillNotPlay, "bitrate",
              std::to_string(bitrate) + " kbit/s, outside " + std::to_string(m_profile.minBitrate) + "-" +
                  std::to_string(m_profile.maxBitrate));
    if (sampling < m_profile.minSampling || sampling > m_profile.maxSampling)
        m_add(Severity::WillNotPlay, "sampling",
              std::to_string(sampling) + " Hz, outside " + std::to_string(m_profile.minSampling) + "-" +
                  std::to_string(m_profile.maxSampling));
    static const std::pair<uint16_t, const char*> kTags[] = {
        {MP3_TAG_ID3V1, "1"}, {MP3_TAG_ID3V2_2, "2.2"}, {MP3_TAG_ID3V2_3, "2.3"}, {MP3_TAG_ID3V2_4, "2.4"}};
    bool shown = false;
    for (const auto& [bit, name] : kTags)
        if (info.tagFlags & bit) {
            if (m_profile.id3Versions.count(name))
                shown = true;
            else
                m_add(Severity::ShowsWrong, "id3_versions",
                      std::string("ID3v") + name + " tag, which the player does not show");
        }
    const Id3v2Texts& t = info.id3v2Text;
    auto text = [](const std::optional<std::string>& s) { return s ? s->c_str() : nullptr; };
    if (shown && info.id3v2 && (info.tagFlags & MP3_TAG_ID3V2))
        Tags({text(t.title), text(t.artist), text(t.album)});
}

void MediaCheck::Tags(std::initializer_list<const char*> texts) {
    for (const char* text : texts) {
        const std::string outside = text ? Player_Outside(text, m_profile.tagCharset) : std::string();
        if (!outside.empty()) {
            m_add(Severity::ShowsWrong, "tag_charset",
                  "a tag text holds " + outside + ", which the player cannot show (" +
                      Player_CharsetName(m_profile.tagCharset) + ")");
            return;
        }
    }
}

void MediaCheck::Wma(const AsfInfo& info) {
    if (info.encrypted && !m_profile.wmaDrm)
        m_add(Severity::WillNotPlay, "wma_drm", "protected by DRM (a Content Encryption object)");
    for (const AsfCodecEntry* c = info.codecEntries; c; c = c->next) {
        if (c->type != 2 || !c->nameText)
            continue;
        const std::string name = c->nameText;
        // The word of the codec's name, the profile's flag for it and the flag's key.
        const struct {
            const char* word;
            bool PlayerProfile::*allowed;
            const char* rule;
        } kinds[] = {{"Professional", &PlayerProfile::wmaPro, "wma_pro"},
                     {"Lossless", &PlayerProfile::wmaLossless, "wma_lossless"},
                     {"Voice", &PlayerProfile::wmaVoice, "wma_voice"}};
        for (const auto& k : kinds)
            if (name.find(k.word) != std::string::npos && !(m_profile.*k.allowed))
                m_add(Severity::WillNotPlay, k.rule, "codec " + name);
        const size_t at = name.find("Windows Media Audio");
        const size_t digit = at == std::string::npos ? at : name.find_first_of("0123456789", at);
        if (digit != std::string::npos && digit < at + 23) {
            int version = 0; // "V8", "9.2", "10 Professional"
            for (size_t i = digit; i < name.size() && i < digit + 3 && name[i] >= '0' && name[i] <= '9'; ++i)
                version = version * 10 + (name[i] - '0');
            if (!m_profile.wmaVersions.count(version))
                m_add(Severity::WillNotPlay, "wma_versions", "codec " + name);
        }
        break;
    }
    if (const AsfContentDescription* c = info.contentDescription)
        Tags({c->titleText, c->authorText});
}

} // namespace

namespace {

// Each PlayerContent's extension and name, in the enumeration's order.
constexpr struct {
    const char* extension;
    const char* name;
} kContents[] = {{"", "not an audio file"},
                 {"mp3", "an MPEG audio file"},
                 {"wma", "a Windows Media file"},
                 {"wav", "a WAV file"}};

} // namespace

const char* Player_ContentExtension(PlayerContent content) {
    return kContents[size_t(content)].extension;
}

const char* Player_ContentName(PlayerContent content) {
    return kContents[size_t(content)].name;
}

PlayerContent Player_CheckMedia(ByteSource* source, const std::string& ext, const PlayerProfile& profile,
                                const PlayerMediaFinding& add) {
    // What the file holds, whatever its name says: a RIFF WAVE, an ASF header, else MPEG audio frames.
    WavInfo wavInfo;
    AsfRecords asfRecords;
    MpegInfo mpegInfo;
    const bool wav = source && Wav_Read(*source, wavInfo) == 1;
    const bool asf = source && !wav && Wmf_Read(*source, asfRecords) == 1;
    const bool mpeg = source && !wav && !asf && Mp3_Read(*source, mpegInfo) == 1;
    const PlayerContent content = wav    ? PlayerContent::Wav
                                  : asf  ? PlayerContent::Wma
                                  : mpeg ? PlayerContent::Mpeg
                                         : PlayerContent::Unknown;
    // The content the name's extension stands for, where it stands for one.
    PlayerContent named = PlayerContent::Unknown;
    for (size_t i = 1; i < std::size(kContents); ++i)
        if (!ext.empty() && ext == kContents[i].extension)
            named = PlayerContent(i);
    if (named != PlayerContent::Unknown && content != named) {
        add(Severity::WillNotPlay, "extensions",
            std::string(Player_ContentName(content)) + ", named ." + ext +
                (ext == "mp3" ? ": the player plays it as noise, loud enough to harm the speakers" : ""));
        return content;
    }
    MediaCheck check(profile, add);
    if (mpeg)
        check.Mpeg(mpegInfo);
    else if (asf)
        check.Wma(asfRecords.info);
    return content;
}

void Player_EachCodePoint(std::string_view text, const std::function<bool(uint32_t)>& each) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.data());
    for (size_t at = 0; at < text.size();) {
        size_t n = 0;
        const uint32_t cp = Iso_DecodeUtf8(p + at, text.size() - at, &n);
        if (!each(n ? cp : 0xFFFD))
            return;
        at += n ? n : 1;
    }
}

bool Player_InCharset(uint32_t cp, PlayerCharset set) {
    switch (set) {
    case PlayerCharset::Ascii:
        return cp >= 0x20 && cp < 0x7F;
    case PlayerCharset::Latin1:
        return (cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF);
    case PlayerCharset::ShiftJis: {
        if (cp < 0x80 || cp == 0xA5 || cp == 0x203E)
            return cp >= 0x20;
        if (cp > 0xFFFF)
            return false;
        const uint8_t ucs[2] = {uint8_t(cp >> 8), uint8_t(cp)};
        char sjis[4] = {};
        Iso_UcsToSjis(sjis, sizeof sjis, ucs, 1, 1, 1);
        return std::strcmp(sjis, "?") != 0;
    }
    case PlayerCharset::Ucs2:
        return cp >= 0x20 && cp <= 0xFFFF && cp != 0xFFFD;
    default:
        return cp >= 0x20 && cp != 0xFFFD;
    }
}

std::string Player_Outside(std::string_view text, PlayerCharset set) {
    std::string found;
    Player_EachCodePoint(text, [&](uint32_t cp) {
        if (Player_InCharset(cp, set))
            return true;
        char u[16];
        std::snprintf(u, sizeof u, " (U+%04X)", cp);
        std::string shown;
        if (cp >= 0x20 && cp != 0x7F)
            Iso_AppendUtf8(shown, cp);
        found = (shown.empty() ? std::string() : "\"" + shown + "\"") + u;
        return false;
    });
    return found;
}
