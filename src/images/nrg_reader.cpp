// Nero images: the track data first, then a chain of chunks (4-byte id, 32-bit big-endian payload size,
// payload) up to "END!", found through the footer in the file's last bytes: "NERO" and a 32-bit offset of
// the first chunk, or "NER5" and a 64-bit one. A disc-at-once session is a CUES/CUEX chunk (cue points:
// control/ADR, track, index, address) with its DAOI/DAOX chunk (per track: sector size, mode code and the
// file offsets of INDEX 00, INDEX 01 and the track's end); a track-at-once session is an ETNF/ETN2 chunk
// (per track: file offset, byte length, mode code). SINF chunks count the tracks of each session.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <span>

#include "images/disc_image.h"
#include "images/sheet_cdtext.h"

namespace ckvd::images {

namespace {

// Far more than 99 sessions of 99 tracks of cue points and a full CD-TEXT block need.
constexpr uint64_t kMaxChunkArea = uint64_t{4} << 20;
// No address on a CD reaches 100 minutes.
constexpr int64_t kMaxLba = 450000;
constexpr lba_t kTaoPregap = 150; // a track written at once is preceded by two seconds

struct Refusal {
    uint64_t at = 0; // byte offset in the image the refusal is about
    std::string what;
};
using Fail = std::optional<Refusal>;

uint32_t be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}
uint64_t be64(const uint8_t* p) {
    return (uint64_t{be32(p)} << 32) | be32(p + 4);
}

struct Chunk {
    std::string id;
    uint64_t at = 0; // file offset of the chunk's header
    std::span<const uint8_t> data;
};

// The id as text when it is printable, else as hex bytes.
std::string id_name(std::span<const uint8_t> id) {
    std::string s;
    for (uint8_t c : id)
        if (c < 0x20 || c > 0x7E) {
            static const char* hex = "0123456789ABCDEF";
            s = "0x";
            for (uint8_t h : id)
                s += {hex[h >> 4], hex[h & 15]};
            return s;
        }
    return std::string(id.begin(), id.end());
}

bool is_one_of(const std::string& id, std::initializer_list<const char*> ids) {
    for (const char* known : ids)
        if (id == known)
            return true;
    return false;
}

// The chunks of `area` (which starts at file offset `base`) before "END!", each inside the area.
Fail walk_chunks(std::span<const uint8_t> area, uint64_t base, std::vector<Chunk>& chunks) {
    size_t pos = 0;
    while (true) {
        if (area.size() - pos < 8)
            return Refusal{base + pos, "the chunks end without an END! chunk"};
        Chunk c;
        c.id = id_name(area.subspan(pos, 4));
        c.at = base + pos;
        const uint32_t size = be32(area.data() + pos + 4);
        if (size > area.size() - pos - 8)
            return Refusal{c.at, "chunk " + c.id + " of " + grouped(size) + " bytes runs past the footer"};
        if (c.id == "END!")
            return std::nullopt;
        if (!is_one_of(c.id, {"CUES", "CUEX", "DAOI", "DAOX", "ETNF", "ETN2", "SINF", "CDTX", "MTYP", "DINF",
                              "RELO", "TOCT"}))
            return Refusal{c.at, "unknown chunk " + c.id};
        c.data = area.subspan(pos + 8, size);
        chunks.push_back(c);
        pos += 8 + size_t{size};
    }
}

// How a mode code stores its sectors.
struct Stored {
    TrackMode mode;
    uint32_t sector_size;
    uint32_t user_offset;
};
std::optional<Stored> stored_as(uint32_t code) {
    switch (code) {
    case 0x00:
        return Stored{TrackMode::Mode1, 2048, 0}; // Mode 1, user data
    case 0x02:
        return Stored{TrackMode::Mode2, 2048, 0}; // Mode 2 Form 1, user data
    case 0x03:
        return Stored{TrackMode::Mode2, 2336, 8}; // Mode 2 without sync and header
    case 0x05:
        return Stored{TrackMode::Mode1, 2352, 16}; // raw Mode 1
    case 0x06:
        return Stored{TrackMode::Mode2, 2352, 24}; // raw Mode 2
    case 0x07:
        return Stored{TrackMode::Audio, 2352, 0};
    case 0x0F:
        return Stored{TrackMode::Mode1, 2448, 16}; // raw, 96 subchannel bytes after each sector
    case 0x10:
        return Stored{TrackMode::Audio, 2448, 0};
    case 0x11:
        return Stored{TrackMode::Mode2, 2448, 24};
    default:
        return std::nullopt;
    }
}

std::string hex2(uint32_t v) {
    char b[16];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

std::string track_name(int n) {
    return "track " + std::to_string(n);
}

// The chunks a session is made of: cue points and DAO track table, or a TAO track table.
struct SessionChunks {
    const Chunk* cue = nullptr;
    const Chunk* dao = nullptr;
    const Chunk* etn = nullptr;
};

struct CuePoint {
    uint8_t control = 0;
    int track = 0, index = 0; // track 170 is the lead-out
    lba_t lba = 0;
    uint64_t at = 0;
};

int from_bcd(uint8_t v) {
    return (v >> 4) > 9 || (v & 15) > 9 ? -1 : (v >> 4) * 10 + (v & 15);
}

Fail read_cue_points(const Chunk& c, std::vector<CuePoint>& points) {
    const bool lbaForm = c.id == "CUEX";
    if (c.data.size() % 8 != 0)
        return Refusal{c.at, c.id + " chunk of " + grouped(c.data.size()) +
                                 " bytes is not a whole number of 8-byte cue points"};
    if (c.data.size() / 8 > 2 + 99 * 100)
        return Refusal{c.at, "more cue points than 99 tracks of 100 indexes"};
    for (size_t i = 0; i < c.data.size(); i += 8) {
        const uint8_t* p = c.data.data() + i;
        CuePoint cp;
        cp.at = c.at + 8 + i;
        cp.control = p[0] >> 4;
        cp.track = p[1] == 0xAA ? 170 : from_bcd(p[1]);
        cp.index = from_bcd(p[2]);
        if (cp.track < 0 || cp.index < 0)
            return Refusal{cp.at, "cue point with a track or index that is not a BCD number"};
        if (lbaForm) {
            cp.lba = static_cast<lba_t>(be32(p + 4));
        } else {
            if (p[5] > 99 || p[6] > 59 || p[7] > 74)
                return Refusal{cp.at, "cue point with a bad MSF address"};
            cp.lba = msf_to_lba(p[5], p[6], p[7]);
        }
        if (cp.lba <= -kMaxLba || cp.lba >= kMaxLba)
            return Refusal{cp.at, "cue point beyond 100 minutes"};
        points.push_back(cp);
    }
    return std::nullopt;
}

// A track as its cue points give it: the address of its first point (INDEX 00 or 01) and of INDEX 01.
struct CueTrack {
    int number = 0;
    uint8_t control = 0;
    lba_t first = 0, index1 = 0;
    bool hasIndex1 = false;
    uint64_t at = 0;
};

// The cue points in order: lead-in points (track 0), each track's indexes from 0 or 1 on one by one, tracks
// one by one, addresses never going back, and the lead-out point last.
Fail cue_tracks(const Chunk& c, const std::vector<CuePoint>& points, int expectFirst,
                std::vector<CueTrack>& tracks, lba_t& leadout) {
    bool seenLeadout = false;
    int lastIndex = -1;
    lba_t lastLba = -kMaxLba;
    for (const CuePoint& cp : points) {
        if (seenLeadout)
            return Refusal{cp.at, "cue point after the lead-out"};
        if (cp.lba < lastLba)
            return Refusal{cp.at, "cue point before the one ahead of it"};
        lastLba = cp.lba;
        if (cp.track == 0) {
            if (!tracks.empty())
                return Refusal{cp.at, "lead-in cue point after a track"};
            continue;
        }
        if (cp.track == 170) {
            seenLeadout = true;
            leadout = cp.lba;
            continue;
        }
        if (cp.track > 99)
            return Refusal{cp.at, "cue point of track " + std::to_string(cp.track)};
        if (tracks.empty() || cp.track != tracks.back().number) {
            const int want = tracks.empty() ? expectFirst : tracks.back().number + 1;
            if ((want != 0 && cp.track != want) || cp.index > 1)
                return Refusal{cp.at, track_name(cp.track) + " index " + std::to_string(cp.index) +
                                          " where track " + std::to_string(want) + " index 0 or 1 belongs"};
            if (!tracks.empty() && !tracks.back().hasIndex1)
                return Refusal{tracks.back().at, track_name(tracks.back().number) + " has no INDEX 01"};
            tracks.push_back({cp.track, cp.control, cp.lba, cp.lba, false, cp.at});
            lastIndex = cp.index - 1;
        }
        CueTrack& t = tracks.back();
        if (cp.index != lastIndex + 1)
            return Refusal{cp.at, track_name(t.number) + " index " + std::to_string(cp.index) +
                                      " does not follow index " + std::to_string(lastIndex)};
        lastIndex = cp.index;
        if (cp.index == 1) {
            t.index1 = cp.lba;
            t.hasIndex1 = true;
            t.control = cp.control;
        }
    }
    if (tracks.empty())
        return Refusal{c.at, c.id + " chunk without a track"};
    if (!tracks.back().hasIndex1)
        return Refusal{tracks.back().at, track_name(tracks.back().number) + " has no INDEX 01"};
    if (!seenLeadout)
        return Refusal{c.at, c.id + " chunk without a lead-out cue point"};
    return std::nullopt;
}

// Where a track's sectors lie in the image: from `from` to `to`, after `prevEnd`, before the chunks.
Fail check_extent(int number, uint64_t from, uint64_t to, uint64_t prevEnd, uint64_t dataEnd, uint64_t at,
                  const std::string& path) {
    if (to > dataEnd)
        return Refusal{at, track_name(number) + " runs past the end of the track data in '" + path + "'"};
    if (from < prevEnd)
        return Refusal{at, track_name(number) + " overlaps the track before it in the file"};
    return std::nullopt;
}

// A disc-at-once session: the cue points give the addresses, the DAO table where each track's sectors lie
// (INDEX 00, INDEX 01 and the end); both must tell the same track.
Fail build_dao(const SessionChunks& g, const std::string& path, uint64_t dataEnd, int expectFirst,
               uint64_t& prevEnd, Session& s) {
    std::vector<CuePoint> points;
    if (Fail bad = read_cue_points(*g.cue, points))
        return bad;
    std::vector<CueTrack> cue;
    lba_t leadout = 0;
    if (Fail bad = cue_tracks(*g.cue, points, expectFirst, cue, leadout))
        return bad;

    const Chunk& d = *g.dao;
    const bool wide = d.id == "DAOX";
    const size_t entrySize = wide ? 42 : 30;
    if (d.data.size() < 22 || (d.data.size() - 22) % entrySize != 0)
        return Refusal{d.at, d.id + " chunk of " + grouped(d.data.size()) + " bytes is not a header and " +
                                 std::to_string(entrySize) + "-byte track entries"};
    const size_t count = (d.data.size() - 22) / entrySize;
    if (count != cue.size())
        return Refusal{d.at, d.id + " chunk lists " + std::to_string(count) + " tracks, its cue points " +
                                 std::to_string(cue.size())};
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = d.data.data() + 22 + i * entrySize;
        const uint64_t at = d.at + 8 + 22 + i * entrySize;
        const CueTrack& ct = cue[i];
        const uint32_t sectorSize = (uint32_t{e[12]} << 8) | e[13];
        const auto stored = stored_as(e[14]);
        if (!stored)
            return Refusal{at, track_name(ct.number) + ": unknown mode code " + hex2(e[14])};
        if (stored->sector_size != sectorSize)
            return Refusal{at, track_name(ct.number) + ": sector size " + std::to_string(sectorSize) +
                                   " does not fit mode code " + hex2(e[14])};
        if (((ct.control & 0x04) != 0) != (stored->mode != TrackMode::Audio))
            return Refusal{at, track_name(ct.number) + ": its cue point and its mode code disagree on " +
                                   "audio or data"};
        const uint64_t from = wide ? be64(e + 18) : be32(e + 18);
        const uint64_t index1 = wide ? be64(e + 26) : be32(e + 22);
        const uint64_t to = wide ? be64(e + 34) : be32(e + 26);
        if (from > index1 || index1 > to ||
            index1 - from != static_cast<uint64_t>(ct.index1 - ct.first) * sectorSize)
            return Refusal{at, track_name(ct.number) + ": its file offsets do not fit its cue points"};
        if (Fail bad = check_extent(ct.number, from, to, prevEnd, dataEnd, at, path))
            return bad;
        const lba_t next = i + 1 < count ? cue[i + 1].first : leadout;
        const uint64_t sectors = static_cast<uint64_t>(int64_t{next} - ct.first);
        if (to - from != sectors * sectorSize)
            return Refusal{at, track_name(ct.number) + ": " + grouped(to - from) +
                                   " bytes in the file where its cue points give " + grouped(sectors) +
                                   " sectors of " + std::to_string(sectorSize)};
        if (ct.index1 < 0 || ct.index1 >= next)
            return Refusal{ct.at, track_name(ct.number) + ": INDEX 01 outside the track"};
        Track t;
        t.number = static_cast<uint8_t>(ct.number);
        t.control = ct.control;
        t.mode = stored->mode;
        t.start = ct.index1;
        t.length = static_cast<uint32_t>(next - ct.index1);
        t.file = path;
        t.file_offset = index1;
        t.sector_size = sectorSize;
        t.user_offset = stored->user_offset;
        s.tracks.push_back(t);
        prevEnd = to;
    }
    s.leadout = leadout;
    return std::nullopt;
}

// A track-at-once session: the tracks one after another from `start`, each after a two-second pregap
// that the image does not store.
Fail build_tao(const Chunk& c, const std::string& path, uint64_t dataEnd, int firstNumber, lba_t start,
               uint64_t& prevEnd, Session& s) {
    const bool wide = c.id == "ETN2";
    const size_t entrySize = wide ? 32 : 20;
    if (c.data.empty() || c.data.size() % entrySize != 0)
        return Refusal{c.at, c.id + " chunk of " + grouped(c.data.size()) +
                                 " bytes is not a whole number of " + std::to_string(entrySize) +
                                 "-byte track entries"};
    const size_t count = c.data.size() / entrySize;
    if (firstNumber + count - 1 > 99)
        return Refusal{c.at, c.id + " chunk takes the disc past track 99"};
    int64_t lba = start;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* e = c.data.data() + i * entrySize;
        const uint64_t at = c.at + 8 + i * entrySize;
        const int number = firstNumber + static_cast<int>(i);
        const uint64_t offset = wide ? be64(e) : be32(e);
        const uint64_t length = wide ? be64(e + 8) : be32(e + 4);
        const uint32_t code = be32(e + (wide ? 16 : 8));
        const auto stored = stored_as(code);
        if (!stored)
            return Refusal{at, track_name(number) + ": unknown mode code " + hex2(code)};
        if (length == 0 || length % stored->sector_size != 0)
            return Refusal{at, track_name(number) + ": " + grouped(length) +
                                   " bytes are not whole sectors of " + std::to_string(stored->sector_size)};
        if (length > dataEnd || offset > dataEnd - length)
            return Refusal{at, track_name(number) + " runs past the end of the track data in '" + path + "'"};
        if (Fail bad = check_extent(number, offset, offset + length, prevEnd, dataEnd, at, path))
            return bad;
        const uint64_t sectors = length / stored->sector_size;
        if (i > 0)
            lba += kTaoPregap;
        if (lba + static_cast<int64_t>(sectors) >= kMaxLba)
            return Refusal{at, track_name(number) + " ends beyond 100 minutes"};
        Track t;
        t.number = static_cast<uint8_t>(number);
        t.control = stored->mode == TrackMode::Audio ? 0x00 : 0x04;
        t.mode = stored->mode;
        t.start = static_cast<lba_t>(lba);
        t.length = static_cast<uint32_t>(sectors);
        t.file = path;
        t.file_offset = offset;
        t.sector_size = stored->sector_size;
        t.user_offset = stored->user_offset;
        s.tracks.push_back(t);
        lba += static_cast<int64_t>(sectors);
        prevEnd = offset + length;
    }
    s.leadout = static_cast<lba_t>(lba);
    return std::nullopt;
}

// The sessions the chunks describe, in the order of their chunks; SINF counts checked against them.
Fail build_sessions(const std::vector<Chunk>& chunks, const std::string& path, uint64_t dataEnd,
                    DiscImage& disc) {
    std::vector<SessionChunks> groups;
    std::vector<std::pair<uint32_t, uint64_t>> sinf; // tracks of a session, chunk offset
    for (const Chunk& c : chunks) {
        if (c.id == "CUES" || c.id == "CUEX") {
            groups.push_back({&c, nullptr, nullptr});
        } else if (c.id == "DAOI" || c.id == "DAOX") {
            SessionChunks* open = nullptr;
            for (auto& g : groups)
                if (g.cue && !g.dao) {
                    open = &g;
                    break;
                }
            if (!open)
                return Refusal{c.at, c.id + " chunk without a cue point chunk before it"};
            open->dao = &c;
        } else if (c.id == "ETNF" || c.id == "ETN2") {
            groups.push_back({nullptr, nullptr, &c});
        } else if (c.id == "SINF") {
            if (c.data.size() != 4)
                return Refusal{c.at, "SINF chunk of " + grouped(c.data.size()) + " bytes, not 4"};
            sinf.emplace_back(be32(c.data.data()), c.at);
        }
    }
    if (groups.empty())
        return Refusal{dataEnd, "no session: neither cue points (CUES/CUEX) nor a track list (ETNF/ETN2)"};
    if (groups.size() > 99)
        return Refusal{dataEnd, "more than 99 sessions"};
    uint64_t prevEnd = 0;
    for (const auto& g : groups) {
        if (g.cue && !g.dao)
            return Refusal{g.cue->at, g.cue->id + " chunk without its DAOI/DAOX chunk"};
        Session s;
        s.number = static_cast<uint8_t>(disc.sessions.size() + 1);
        const int nextNumber = disc.sessions.empty() ? 0 : disc.sessions.back().tracks.back().number + 1;
        if (nextNumber > 99)
            return Refusal{(g.cue ? g.cue : g.etn)->at,
                           "session " + std::to_string(s.number) + " after track 99"};
        if (g.cue) {
            if (Fail bad = build_dao(g, path, dataEnd, nextNumber, prevEnd, s))
                return bad;
            if (!disc.sessions.empty() && s.tracks.front().start <= disc.sessions.back().leadout)
                return Refusal{g.cue->at, "session " + std::to_string(s.number) +
                                              " starts before the lead-out of the session ahead of it"};
        } else {
            const lba_t start = next_session_start(disc.sessions);
            if (Fail bad = build_tao(*g.etn, path, dataEnd, std::max(nextNumber, 1), start, prevEnd, s))
                return bad;
        }
        for (const Track& t : s.tracks)
            if (t.mode == TrackMode::Mode2)
                s.disc_type = 0x20;
        disc.sessions.push_back(std::move(s));
    }
    if (!sinf.empty()) {
        if (sinf.size() != disc.sessions.size())
            return Refusal{sinf.front().second, std::to_string(sinf.size()) + " SINF chunks for " +
                                                    std::to_string(disc.sessions.size()) + " sessions"};
        for (size_t i = 0; i < sinf.size(); ++i)
            if (sinf[i].first != disc.sessions[i].tracks.size())
                return Refusal{sinf[i].second, "SINF counts " + grouped(sinf[i].first) +
                                                   " tracks in session " + std::to_string(i + 1) +
                                                   ", its chunks hold " +
                                                   std::to_string(disc.sessions[i].tracks.size())};
    }
    return std::nullopt;
}

// The footer: where the chunks begin and end.
Fail read_nrg(const std::string& path, std::ifstream& in, uint64_t fileSize, DiscImage& disc) {
    if (fileSize < 8)
        return Refusal{0, "too short for a Nero image (" + grouped(fileSize) + " bytes)"};
    uint8_t tail[12] = {};
    const size_t tailSize = fileSize >= 12 ? 12 : 8;
    if (!in.seekg(static_cast<std::streamoff>(fileSize - tailSize))
             .read(reinterpret_cast<char*>(tail), static_cast<std::streamsize>(tailSize)))
        return Refusal{fileSize - tailSize, "cannot read the footer"};
    uint64_t first = 0, footer = 0;
    if (tailSize == 12 && std::equal(tail, tail + 4, "NER5")) {
        first = be64(tail + 4);
        footer = fileSize - 12;
    } else if (std::equal(tail + tailSize - 8, tail + tailSize - 4, "NERO")) {
        first = be32(tail + tailSize - 4);
        footer = fileSize - 8;
    } else {
        return Refusal{fileSize - tailSize, "no Nero footer (NERO or NER5) at the end of the file"};
    }
    if (first >= footer)
        return Refusal{footer, "the footer points at byte " + grouped(first) + ", not before it"};
    if (footer - first > kMaxChunkArea)
        return Refusal{footer, "the chunks the footer points at take " + grouped(footer - first) +
                                   " bytes, more than an image's chunks need"};
    std::vector<uint8_t> area(footer - first);
    if (!in.seekg(static_cast<std::streamoff>(first))
             .read(reinterpret_cast<char*>(area.data()), static_cast<std::streamsize>(area.size())))
        return Refusal{first, "cannot read the chunks"};
    std::vector<Chunk> chunks;
    if (Fail bad = walk_chunks(area, first, chunks))
        return bad;
    if (Fail bad = build_sessions(chunks, path, first, disc))
        return bad;
    for (const Chunk& c : chunks) // the CD-TEXT packs of the lead-in, as recorded
        if (c.id == "CDTX")
            take_text_packs(disc, std::vector<uint8_t>(c.data.begin(), c.data.end()), "CDTX chunk");
    return std::nullopt;
}

} // namespace

LoadResult load_nrg(const std::string& path) {
    struct stat st {};
    std::ifstream in(path, std::ios::binary);
    if (!in || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return load_failure(path, 0, "cannot open the Nero image");
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    if (Fail bad = read_nrg(path, in, static_cast<uint64_t>(st.st_size), *disc))
        return load_failure_at(path, bad->at, bad->what);
    return closed_disc(std::move(disc));
}

} // namespace ckvd::images
