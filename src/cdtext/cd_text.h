// CD-TEXT: the titles, performers, songwriters and codes of a disc and its tracks, as the lead-in's packs
// record them (18 bytes a pack: type, track, sequence, block and character position, 12 text bytes, CRC),
// and the same text made into packs again. Every text is UTF-8 here; the packs' character codes (ISO 8859-1,
// ASCII, MS-JIS) are converted when read; Latin-1 is written, or MS-JIS where a text needs more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace ckvd::cdtext {

struct TrackText {
    std::string title, performer, songwriter, isrc;
    bool empty() const { return title.empty() && performer.empty() && songwriter.empty() && isrc.empty(); }
};

struct DiscText {
    std::string title, performer, songwriter;
    std::string catalog;                 // the disc's MCN (UPC/EAN)
    std::map<uint8_t, TrackText> tracks; // by track number, only tracks with text
    // What was passed over while reading: "CD-TEXT pack 12: CRC mismatch, passed over".
    std::vector<std::string> notes;

    bool empty() const;
    // The text of track `number`, nullptr where none is recorded.
    const TrackText* track(uint8_t number) const;
};

constexpr size_t kPackSize = 18;
// Packs a disc can hold: 8 blocks of 256 (a sequence number is one byte).
constexpr size_t kMaxPacks = 8 * 256;

// CRC-16 of a pack's first 16 bytes (polynomial x^16 + x^12 + x^5 + 1, initial 0), stored inverted in bytes
// 16-17, most significant byte first.
uint16_t PackCrc(std::span<const uint8_t, 16> pack);

// Reads the packs in `bytes` (whole packs; a part after the last one is noted): those of the English block,
// else of the first block present. A pack with a wrong CRC or type is passed over and noted; a text one of
// them would have continued is then dropped, never joined to the next.
DiscText ReadPacks(std::span<const uint8_t> bytes);

// `text` as one block of packs in ISO 8859-1 (language English) for tracks `first` to `last`: title,
// performer, songwriter and ISRC/MCN packs where any is recorded, then the three size information packs.
// Empty when nothing is recorded. Where a text holds a character beyond Latin-1 the block is MS-JIS (language
// Japanese, double-byte terminators); a character neither code holds is written as '?'.
std::vector<uint8_t> MakePacks(const DiscText& text, uint8_t first, uint8_t last);

// Pack bytes 4-15 of character code `code` (0x00 ISO 8859-1, 0x01 ASCII, 0x80 MS-JIS) as UTF-8; a byte that
// is no character of the code becomes U+FFFD.
std::string DecodeText(std::string_view bytes, uint8_t code);
// UTF-8 as MS-JIS bytes, at most `limit` of them and never half a character; a character without a code
// (or a control character) becomes '?'.
std::string EncodeMsJis(std::string_view utf8, size_t limit);

// The name Save to Disc proposes for track `number`: "NN Performer - Title.wav" (the track's performer, else
// the disc's; "NN Title.wav" without either), or "TrackNN.wav" when the track has no title. A '/' or a
// control character in a text becomes '_'.
std::string TrackFileName(const DiscText* text, uint8_t number, std::string_view extension = ".wav");

} // namespace ckvd::cdtext
