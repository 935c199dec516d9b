// A disc image as the image drive sees it: sessions of tracks at absolute
// addresses, the full TOC a recorder would leave, and a sector reader.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cdtext/cd_text.h"
#include "platform/cd/cd_time.h"
#include "platform/text/grouped_number.h"

namespace ckvd::images {

// The images are CD addresses through and through: their times and block counts by their plain names.
using namespace ckvd::cd;

enum class TrackMode : uint8_t { Audio, Mode1, Mode2 };

// A part of a track's sectors from INDEX 01 on: `bytes` of `file` from `offset` on, or zeros where `file` is
// empty, beginning `start` bytes into the track's first sector.
struct TrackPiece {
    std::string file;
    uint64_t offset = 0, bytes = 0, start = 0;
    bool swap = false; // samples stored most significant byte first
};

struct Track {
    uint8_t number = 0;  // 1..99
    uint8_t control = 0; // Q CONTROL nibble: 0x04 data, 0x00 audio (0x02 copy, 0x01 pre-emphasis)
    TrackMode mode = TrackMode::Mode1;
    lba_t start = 0;     // absolute LBA of INDEX 01
    uint32_t length = 0; // sectors
    // Where the sectors live: file, byte offset of sector `start`, bytes per stored sector, and the offset
    // of the 2048 bytes of user data inside a stored sector (0 cooked, 16 MODE1/2352, 24 MODE2/2352).
    std::string file;
    uint64_t file_offset = 0;
    uint32_t sector_size = 2048;
    uint32_t user_offset = 0;
    // Bytes of the track's sectors, from `file_offset` on, that the file holds; the sectors' bytes after them
    // are zeros (a cdrdao sheet's ZERO and SILENCE, a last block the file fills only in part).
    uint64_t file_bytes = UINT64_MAX;
    // Audio samples stored most significant byte first (cdrdao's raw audio files): read in the CD's order.
    bool swap_samples = false;
    // Every sector Mode 2 Form 2, stored as its 2,324 bytes of user data (cdrdao's MODE2_FORM2). A Mode 2
    // track stored with subheaders (2336 or 2352 bytes) says each sector's form in its submode.
    bool form2 = false;
    // A track joined from several files (a cdrdao sheet's): its pieces one after another in place of `file`,
    // `file_offset`, `file_bytes` and `swap_samples`, each `start` where the one before ends; zeros after the
    // last.
    std::vector<TrackPiece> pieces;
};

struct Session {
    uint8_t number = 0;    // 1..
    uint8_t disc_type = 0; // A0 PSEC: 0x00 CD-DA/CD-ROM, 0x10 CD-I, 0x20 CD-ROM XA
    std::vector<Track> tracks;
    lba_t leadout = 0; // first block after the last track (A2)
};

// One 11-byte descriptor of READ TOC format 2 (binary MSF).
struct FullTocEntry {
    uint8_t session = 0, adr_control = 0, tno = 0, point = 0;
    uint8_t min = 0, sec = 0, frame = 0, zero = 0, pmin = 0, psec = 0, pframe = 0;
};

struct DiscImage {
    std::string path; // the image file as given
    std::vector<Session> sessions;
    bool closed = true;                 // no B0 in the last session when the disc is closed
    std::vector<FullTocEntry> full_toc; // what READ TOC format 2 answers, in order
    // Audio the file holds before track 1's INDEX 01 (its pregap, from INDEX 00 or the file's start): track
    // number 0, readable as a drive reads it though no TOC entry names it; length 0 when there is none.
    Track hidden_audio;
    // CD-TEXT: the text of the sheet's commands, or read from the packs the image carries (`text_packs`,
    // which READ TOC format 5 then answers as they are); what was passed over in `text.notes`.
    cdtext::DiscText text;
    std::vector<uint8_t> text_packs;
    // The Q sub-channel's codes READ SUB-CHANNEL gives: the media catalogue number and each track's ISRC.
    std::string mcn;
    std::map<uint8_t, std::string> isrc;

    // Last recorded LBA (end of the last track of the last session), -1 for an empty disc.
    lba_t last_lba() const;
    // Track holding `lba`, or nullptr when the block is in no recorded area (gaps included).
    const Track* track_at(lba_t lba) const;
    // Whether every address of the disc can be written as a time of the full TOC (its lead-out at or before
    // 99:59:74); a larger medium (a DVD image) has no full TOC, as a drive gives none for a DVD.
    bool has_full_toc() const;
};

// First track start of the session that would follow `sessions` (what msinfo prints second).
lba_t next_session_start(const std::vector<Session>& sessions);

// Builds the full TOC a recorder writes for `disc.sessions`: A0/A1/A2 and the track points per session,
// B0 in each session when the disc is appendable or in every session but the last when closed,
// C0 in session 1 of a multi-session disc.
std::vector<FullTocEntry> make_full_toc(const std::vector<Session>& sessions, bool closed);

// Result of loading an image: either a disc or a message naming the file and line.
struct LoadResult {
    std::unique_ptr<DiscImage> disc;
    std::string error; // "FILE:LINE: what", or "FILE: what" when it is not about a line
    explicit operator bool() const { return disc != nullptr; }
};

// A refusal of `path` at `line`: no disc, the message "FILE:LINE: what" ("FILE: what" for line 0).
LoadResult load_failure(const std::string& path, int line, const std::string& what);
// `disc` as a closed disc (the images record no appendable state) with the full TOC a recorder leaves (none
// for a disc larger than the full TOC can address).
LoadResult closed_disc(std::unique_ptr<DiscImage> disc);
using ckvd::text::grouped;
// The same for a binary image or descriptor: "FILE: byte OFFSET: what" (OFFSET grouped as 1,234,567).
LoadResult load_failure_at(const std::string& path, uint64_t offset, const std::string& what);

// The regular files `path` may mean: itself when it exists as written, else the files of its directory
// whose names equal its last part in any ASCII case, sorted (Windows sheets name "CDDA.BIN" for cdda.bin).
std::vector<std::string> files_any_case(const std::string& path);

LoadResult load_iso(const std::string& path);
LoadResult load_cue(const std::string& path);
LoadResult load_ccd(const std::string& path);
LoadResult load_nrg(const std::string& path); // Nero: the chunks of the image's footer
LoadResult load_toc(const std::string& path); // cdrdao: the .toc sheet and the files it names
LoadResult load_mds(const std::string& path); // Alcohol: the .mds descriptor and its .mdf
// A sheetless image of raw 2352-byte Mode 1 or Mode 2 Form 1 sectors, known by their sync and header.
LoadResult load_raw(const std::string& path);
bool is_raw_image(const std::string& path);
// Picks the reader from the extension: .cue, .ccd, .nrg, .toc, .mds, else .iso. A raw track file (.bin,
// .img) beside its sheet is refused with the sheet to open instead, since only the sheet knows its
// tracks; an .mdf beside its .mds is read through the descriptor. A file that cannot be opened is refused
// with the system's reason ("No such file or directory").
LoadResult load_image(const std::string& path);

// Reads the 2048 user bytes of `lba` into `out`. False when the block is not recorded, not a data
// track (or a Form 2 sector), or the file is short or unreadable.
class SectorReader {
  public:
    explicit SectorReader(const DiscImage& disc);
    ~SectorReader();
    SectorReader(const SectorReader&) = delete;
    SectorReader& operator=(const SectorReader&) = delete;
    bool read_user_data(lba_t lba, std::span<uint8_t, 2048> out);
    // The same for `count` blocks from `first` on, into `out` (2048 bytes a block; no more blocks than it
    // holds): how many were read, from the first on, before one could not be.
    uint32_t read_user_data(lba_t first, uint32_t count, std::span<uint8_t> out);
    // The 2352 bytes of `count` audio blocks from `first` on (the samples as the image stores them), into
    // `out`: how many were read before a block that is not audio, not recorded or not in the file.
    uint32_t read_audio(lba_t first, uint32_t count, std::span<uint8_t> out);
    // The whole 2352-byte sectors (sync, header, data, EDC, ECC) of `count` data blocks from `first` on, for
    // tracks stored with them: how many were read before a block that is not such a sector.
    uint32_t read_raw(lba_t first, uint32_t count, std::span<uint8_t> out);
    // The 2,324 bytes of user data of `count` Mode 2 Form 2 blocks from `first` on: how many were read before
    // a block that is not Form 2 (read_user_data gives the 2048 bytes of Form 1 blocks only).
    uint32_t read_form2(lba_t first, uint32_t count, std::span<uint8_t> out);
    // Whether block `lba` is a Mode 2 Form 2 sector that can be read.
    bool is_form2(lba_t lba);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace ckvd::images
