// An audio track saved as a WAV or FLAC file: its sectors read with READ CD, 32 at a time; every block that
// cannot be read is named, and none is ever written as silence.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "appmodel/flac_writer.h"
#include "appmodel/save_to_disc.h"
#include "aspi/aspi_manager.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "platform/text/grouped_number.h"

namespace {

constexpr uint32_t kChunkSectors = 32;

void PutLe(uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// RIFF WAVE: PCM, 2 channels, 44,100 Hz, 16 bits, the data as READ CD gives it (little-endian samples).
bool WriteWavHeader(SaveWriter& out, uint64_t data) {
    uint8_t header[kWavHeaderBytes] = {};
    std::memcpy(header, "RIFF", 4);
    PutLe(header + 4, static_cast<uint32_t>(data + kWavHeaderBytes - 8), 4);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    PutLe(header + 16, 16, 4);
    PutLe(header + 20, 1, 2);
    PutLe(header + 22, 2, 2);
    PutLe(header + 24, 44100, 4);
    PutLe(header + 28, 44100 * 4, 4);
    PutLe(header + 32, 4, 2);
    PutLe(header + 34, 16, 2);
    std::memcpy(header + 36, "data", 4);
    PutLe(header + 40, static_cast<uint32_t>(data), 4);
    return out.Write(header, sizeof header);
}

// Where the samples go, WAV or FLAC; after the first block that cannot be read, nowhere.
class TrackOutput {
  public:
    TrackOutput(SaveWriter& out, SaveOutcome& o, bool flac) : m_out(out), m_o(o), m_flac(flac) {}

    bool Open(uint64_t data, const AudioTags& tags) {
        if (m_flac ? !m_encoder.Open(m_out, data / 4, tags) : !WriteWavHeader(m_out, data)) {
            m_o.result = SaveResult::WriteError;
            return false;
        }
        m_o.written = m_flac ? m_encoder.position : kWavHeaderBytes;
        return true;
    }
    void Put(const uint8_t* samples, size_t length) {
        if (m_o.result != SaveResult::Ok || !m_o.unreadable.empty())
            return;
        if (!(m_flac ? m_encoder.Write(samples, length) : m_out.Write(samples, length)))
            m_o.result = SaveResult::WriteError;
        m_o.written = m_flac ? m_encoder.position : m_o.written + length;
    }
    // Block `lba` could not be read (result code `rc`, the drive's `sense`): it joins the ranges, and nothing
    // more is written.
    void Unreadable(uint32_t lba, int rc, const AspiSense& sense) {
        std::vector<BlockRange>& ranges = m_o.unreadable;
        if (ranges.empty()) {
            m_o.failedLba = lba;
            m_o.code = rc;
            m_o.sense[0] = sense.key;
            m_o.sense[1] = sense.asc;
            m_o.sense[2] = sense.ascq;
        }
        if (!ranges.empty() && ranges.back().last + 1 == lba)
            ranges.back().last = lba;
        else
            ranges.push_back({lba, lba});
    }
    void Finish() {
        if (m_o.result == SaveResult::Ok && !m_o.unreadable.empty())
            m_o.result = SaveResult::ReadError;
        else if (m_o.result == SaveResult::Ok && m_flac && !m_encoder.Finish())
            m_o.result = SaveResult::WriteError;
        if (m_flac)
            m_o.written = m_encoder.position;
    }

  private:
    SaveWriter& m_out;
    SaveOutcome& m_o;
    bool m_flac;
    FlacTrackWriter m_encoder;
};

} // namespace

AudioFormat SaveToDisc_FormatOf(const std::string& path) {
    std::string tail = path.size() >= 5 ? path.substr(path.size() - 5) : std::string();
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".flac" ? AudioFormat::Flac : AudioFormat::Wav;
}

AudioTags SaveToDisc_TrackTags(const Disc& from, const FileEntry& entry) {
    AudioTags tags;
    int number = 0;
    if (!Iso_AudioTrackSession(from, &entry, &number))
        return tags;
    tags.track = number;
    const ckvd::cdtext::DiscText* disc = Iso_DiscText(from);
    const ckvd::cdtext::TrackText* text = Iso_TrackText(from, static_cast<uint8_t>(number));
    if (text) {
        tags.title = text->title;
        tags.artist = text->performer;
        tags.isrc = text->isrc;
    }
    if (disc) {
        tags.album = disc->title;
        if (tags.artist.empty())
            tags.artist = disc->performer;
    }
    return tags;
}

AudioTags SaveToDisc_TrackTags(const FileEntry& entry) {
    return SaveToDisc_TrackTags(Iso_CurrentDisc(), entry);
}

SaveOutcome SaveToDisc_SaveAudio(const SaveSource& from, const FileEntry& entry, SaveWriter& out,
                                 const SaveHooks& hooks) {
    SaveOutcome o;
    const uint64_t data = SaveToDisc_AudioBytes(from.disc, entry);
    if (data == 0 && entry.size != 0) {
        o.result = SaveResult::ReadError;
        o.failedLba = entry.lbn;
        o.code = ISO_ERR_EXTENT;
        return o;
    }
    TrackOutput output(out, o, hooks.audio == AudioFormat::Flac);
    if (!output.Open(data, hooks.tags))
        return o;
    std::vector<uint8_t> buffer;
    try {
        buffer.assign(size_t(kChunkSectors) * ASPI_AUDIO_BLOCK_LENGTH, 0);
    } catch (const std::bad_alloc&) {
        o.result = SaveResult::NoMemory;
        return o;
    }
    const uint64_t sectors = data / ASPI_AUDIO_BLOCK_LENGTH; // before the lead-out: no LBA wraps
    for (uint64_t done = 0; done < sectors && o.result == SaveResult::Ok; done += kChunkSectors) {
        if (hooks.stop && hooks.stop()) {
            o.result = SaveResult::Cancelled;
            return o;
        }
        const auto count = static_cast<uint16_t>(std::min<uint64_t>(kChunkSectors, sectors - done));
        const auto lba = static_cast<uint32_t>(entry.lbn + done);
        if (Aspi_ReadCd(from.device, lba, count, buffer.data()) == ASPI_OK) {
            output.Put(buffer.data(), size_t(count) * ASPI_AUDIO_BLOCK_LENGTH);
        } else {
            // Block by block: the good ones before the first bad one are written, every bad one is named.
            for (uint32_t k = 0; k < count; ++k) {
                AspiOutcome read;
                const int rc = Aspi_ReadCd(from.device, lba + k, 1, buffer.data(), &read);
                if (rc == ASPI_OK)
                    output.Put(buffer.data(), ASPI_AUDIO_BLOCK_LENGTH);
                else
                    output.Unreadable(lba + k, rc, read.sense);
            }
        }
        if (hooks.progress)
            hooks.progress(kWavHeaderBytes + (done + count) * ASPI_AUDIO_BLOCK_LENGTH);
    }
    output.Finish();
    return o;
}

std::string SaveToDisc_UnreadableText(const Disc& disc, const FileEntry& entry, const SaveOutcome& o) {
    using ckvd::text::grouped;
    const AudioTags tags = SaveToDisc_TrackTags(disc, entry);
    std::string text = Iso_EntryName(disc, &entry);
    if (entry.size > 0)
        text += " (track " + std::to_string(tags.track) + ", sectors " + grouped(entry.lbn) + "-" +
                grouped(uint64_t(entry.lbn) + entry.size - 1) + ")";
    if (o.unreadable.empty()) {
        char code[48];
        std::snprintf(code, sizeof code, "at block %u Code %04X", o.failedLba, unsigned(o.code));
        return text + ": could not be read " + code;
    }
    uint64_t blocks = 0;
    for (const BlockRange& r : o.unreadable)
        blocks += uint64_t(r.last) - r.first + 1;
    text += blocks == 1 ? ": sector " : ": sectors ";
    for (size_t i = 0; i < o.unreadable.size() && i < kListedRanges; ++i) {
        const BlockRange& r = o.unreadable[i];
        text += (i ? ", " : "") + grouped(r.first) + (r.last > r.first ? "-" + grouped(r.last) : "");
    }
    if (o.unreadable.size() > kListedRanges)
        text += " and " + std::to_string(o.unreadable.size() - kListedRanges) + " more ranges (" +
                grouped(blocks) + " sectors in all)";
    char why[64];
    std::snprintf(why, sizeof why, " could not be read (Code %04X, sense %02X/%02X/%02X)", unsigned(o.code),
                  o.sense[0], o.sense[1], o.sense[2]);
    return text + why;
}
