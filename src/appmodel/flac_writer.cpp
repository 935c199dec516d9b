#include "appmodel/flac_writer.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <vector>

namespace {

constexpr unsigned kCompressionLevel = 5;
constexpr unsigned kSampleRate = 44100;
// A seek point every ten seconds: a player finds any place of a track within a few frames.
constexpr unsigned kSeekSpacing = 10 * kSampleRate;

FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[], size_t bytes,
                                          uint32_t, uint32_t, void* data) {
    auto* w = static_cast<FlacTrackWriter*>(data);
    if (w->abandoned || !w->Writer()->Write(buffer, bytes)) {
        w->writeFailed = true;
        return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    w->position += bytes;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
}

FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* data) {
    auto* w = static_cast<FlacTrackWriter*>(data);
    if (w->abandoned || !w->Writer()->Seek(offset))
        return FLAC__STREAM_ENCODER_SEEK_STATUS_UNSUPPORTED;
    w->position = offset;
    return FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* data) {
    *offset = static_cast<FlacTrackWriter*>(data)->position;
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

bool AddTag(FLAC__StreamMetadata* block, const char* name, const std::string& value) {
    if (value.empty())
        return true;
    FLAC__StreamMetadata_VorbisComment_Entry entry;
    return FLAC__metadata_object_vorbiscomment_entry_from_name_value_pair(&entry, name, value.c_str()) &&
           FLAC__metadata_object_vorbiscomment_append_comment(block, entry, false);
}

} // namespace

FlacTrackWriter::~FlacTrackWriter() {
    abandoned = true;
    if (m_encoder)
        FLAC__stream_encoder_delete(m_encoder);
    for (FLAC__StreamMetadata* block : m_blocks)
        if (block)
            FLAC__metadata_object_delete(block);
}

bool FlacTrackWriter::Open(SaveWriter& out, uint64_t samples, const AudioTags& tags) {
    m_out = &out;
    m_encoder = FLAC__stream_encoder_new();
    m_blocks[0] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_SEEKTABLE);
    m_blocks[1] = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
    if (!m_encoder || !m_blocks[0] || !m_blocks[1]) {
        m_error = "out of memory";
        return false;
    }
    bool ok = FLAC__stream_encoder_set_channels(m_encoder, 2) &&
              FLAC__stream_encoder_set_bits_per_sample(m_encoder, 16) &&
              FLAC__stream_encoder_set_sample_rate(m_encoder, kSampleRate) &&
              FLAC__stream_encoder_set_compression_level(m_encoder, kCompressionLevel) &&
              FLAC__stream_encoder_set_verify(m_encoder, false) &&
              FLAC__stream_encoder_set_total_samples_estimate(m_encoder, samples);
    if (samples > 0)
        ok = ok &&
             FLAC__metadata_object_seektable_template_append_spaced_points_by_samples(
                 m_blocks[0], kSeekSpacing, samples) &&
             FLAC__metadata_object_seektable_template_sort(m_blocks[0], true);
    const std::string track = tags.track > 0 ? std::to_string(tags.track) : std::string();
    ok = ok && AddTag(m_blocks[1], "TITLE", tags.title) && AddTag(m_blocks[1], "ARTIST", tags.artist) &&
         AddTag(m_blocks[1], "ALBUM", tags.album) && AddTag(m_blocks[1], "TRACKNUMBER", track) &&
         AddTag(m_blocks[1], "ISRC", tags.isrc);
    ok = ok && FLAC__stream_encoder_set_metadata(m_encoder, m_blocks, 2);
    if (!ok) {
        m_error = "the encoder refused its settings";
        return false;
    }
    const FLAC__StreamEncoderInitStatus init =
        FLAC__stream_encoder_init_stream(m_encoder, WriteBytes, SeekTo, Tell, nullptr, this);
    if (init != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        m_error = writeFailed ? "write failed" : FLAC__StreamEncoderInitStatusString[init];
        return false;
    }
    return true;
}

bool FlacTrackWriter::Write(const uint8_t* data, size_t length) {
    const size_t frames = length / 4;
    std::vector<FLAC__int32> samples(frames * 2);
    for (size_t i = 0; i < frames * 2; ++i)
        samples[i] = static_cast<int16_t>(uint16_t(data[2 * i]) | uint16_t(data[2 * i + 1]) << 8);
    return FLAC__stream_encoder_process_interleaved(m_encoder, samples.data(),
                                                    static_cast<uint32_t>(frames)) &&
           !writeFailed;
}

bool FlacTrackWriter::Finish() {
    const bool finished = m_encoder && FLAC__stream_encoder_finish(m_encoder);
    return finished && !writeFailed;
}
