// An audio track as a FLAC file (libFLAC): 16-bit stereo 44.1 kHz samples as READ CD gives them, encoded into
// a SaveWriter, with a Vorbis comment block of the track's tags.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <FLAC/stream_encoder.h>

#include "appmodel/save_to_disc.h"

class FlacTrackWriter {
  public:
    FlacTrackWriter() = default;
    ~FlacTrackWriter();
    FlacTrackWriter(const FlacTrackWriter&) = delete;
    FlacTrackWriter& operator=(const FlacTrackWriter&) = delete;

    // Starts the stream into `out`: STREAMINFO for `samples` stereo frames, a seek table, the tags that are
    // known (TRACKNUMBER when `tags.track` is above 0). False, with the reason in Error(), when libFLAC
    // refuses or the first bytes cannot be written.
    bool Open(SaveWriter& out, uint64_t samples, const AudioTags& tags);
    // Samples of whole CD-DA sectors (`length` a multiple of 4 bytes: left and right, little-endian).
    bool Write(const uint8_t* data, size_t length);
    // Ends the stream: the last frame, then STREAMINFO's sizes and MD5 and the seek table written again at
    // the start where the writer can seek. False when a write failed.
    bool Finish();
    const std::string& Error() const { return m_error; }

    // What the encoder's callbacks reach.
    SaveWriter* Writer() const { return m_out; }
    uint64_t position = 0; // where the next bytes go
    bool writeFailed = false;
    bool abandoned = false; // a stream not finished writes nothing more as the encoder goes

  private:
    FLAC__StreamEncoder* m_encoder = nullptr;
    FLAC__StreamMetadata* m_blocks[2] = {nullptr, nullptr}; // seek table, tags: the encoder's until the end
    SaveWriter* m_out = nullptr;
    std::string m_error;
};
