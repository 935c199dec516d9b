// Alcohol images: the .mds descriptor holds the sessions and the track blocks of its lead-in, the .mdf
// beside it the tracks' sectors, back to back as the descriptor places them.
//
// Layout read (descriptor version 1.x, every number little-endian; offsets are from the start of the .mds),
// as the public reverse-engineering notes of the format (libmirage's image-mds description) give it:
//   header, 88 bytes:
//     0  16  "MEDIA DESCRIPTOR"
//    16   1  major version (1), 17 minor version
//    18   2  medium type: 0 CD-ROM, 1 CD-R, 2 CD-RW (0x10 DVD-ROM, 0x12 DVD-R are not read)
//    20   2  number of sessions
//    80   4  offset of the session blocks
//   session block, 24 bytes each:
//     0   4  session start (signed: -150 for the first session, whose first track has a 150-sector pregap)
//     4   4  session end: the first block of its lead-out
//     8   2  session number, 10 1 number of track blocks, 11 1 of them lead-in blocks (A0, A1, A2)
//    12   2  first track, 14 2 last track, 20 4 offset of the session's track blocks
//   track block, 80 bytes each: one full TOC point of the session's lead-in
//     0   1  mode, low three bits: 1 audio, 2 mode 1, 0/3/7 mode 2, 4 mode 2 form 1, 5 mode 2 form 2
//     1   1  subchannel: 0 none, 8 the 96 bytes of P-W after each 2352-byte sector
//     2   1  ADR (high nibble) and control, 3 TNO, 4 POINT (1-99, A0, A1, A2), 5-7 MSF, 8 zero, 9-11 PMSF
//    12   4  offset of the track's extra block: pregap sectors (4), track length in sectors (4)
//    16   2  stored bytes a sector (subchannel included)
//    36   4  start sector (LBA of INDEX 01), 40 8 offset of that sector in the data file
//    48   4  number of data files, 52 4 offset of the file blocks: 16 bytes each, the offset of the file's
//            name (4) and 1 when the name is UTF-16 (4); "*.mdf" names the descriptor's own stem
// The pregap is not stored: each track's sectors follow the previous track's, its INDEX 01 lies `pregap`
// blocks after the previous track's end (or after the session start), and the last track ends at the
// session end. A descriptor whose numbers do not agree with that layout is refused, not guessed at.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "images/disc_image.h"

namespace ckvd::images {

namespace {

constexpr uint64_t kHeaderBytes = 88, kSessionBytes = 24, kTrackBytes = 80, kExtraBytes = 8, kFileBytes = 16;
// A CD descriptor is a few kilobytes; one much larger is not read into memory.
constexpr uint64_t kMaxDescriptorBytes = 16u << 20;

struct Refusal {
    uint64_t at = 0;
    std::string what;
};
using Bad = std::optional<Refusal>;

std::string hex(unsigned v) {
    char b[8];
    std::snprintf(b, sizeof b, "0x%02X", v);
    return b;
}

// The descriptor's bytes, read only where they are.
class Bytes {
  public:
    explicit Bytes(std::string data) : d_(std::move(data)) {}
    uint64_t size() const { return d_.size(); }
    bool holds(uint64_t at, uint64_t len) const { return at <= d_.size() && len <= d_.size() - at; }
    uint64_t le(uint64_t at, int n) const { // caller checked holds(at, n)
        uint64_t v = 0;
        for (int i = n - 1; i >= 0; --i)
            v = (v << 8) | static_cast<uint8_t>(d_[at + static_cast<uint64_t>(i)]);
        return v;
    }
    uint8_t u8(uint64_t at) const { return static_cast<uint8_t>(le(at, 1)); }
    uint32_t u16(uint64_t at) const { return static_cast<uint32_t>(le(at, 2)); }
    uint32_t u32(uint64_t at) const { return static_cast<uint32_t>(le(at, 4)); }
    const std::string& str() const { return d_; }

  private:
    std::string d_;
};

// A block of `len` bytes at the offset stored at `field`, or why not.
Bad block_within(const Bytes& b, uint64_t field, uint64_t at, uint64_t len, const std::string& what) {
    if (!b.holds(at, len))
        return Refusal{field, what + " at byte " + grouped(at) + ": past the end of the descriptor (" +
                                  grouped(b.size()) + " bytes)"};
    return std::nullopt;
}

void append_utf8(std::string& out, uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The data file's name at `at`: bytes up to a NUL, or UTF-16LE units up to a zero unit, within the file.
Bad read_name(const Bytes& b, uint64_t field, uint64_t at, bool wide, std::string& name) {
    if (at >= b.size())
        return Refusal{field, "file name at byte " + grouped(at) + " lies past the end of the descriptor"};
    if (!wide) {
        const size_t end = b.str().find('\0', at);
        if (end == std::string::npos)
            return Refusal{at, "file name without an end"};
        name = b.str().substr(at, end - at);
        return std::nullopt;
    }
    for (uint64_t p = at;; p += 2) {
        if (!b.holds(p, 2))
            return Refusal{at, "file name without an end"};
        uint32_t c = b.u16(p);
        if (c == 0)
            return std::nullopt;
        if (c >= 0xD800 && c <= 0xDBFF && b.holds(p + 2, 2) && b.u16(p + 2) >= 0xDC00 &&
            b.u16(p + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (b.u16(p + 2) - 0xDC00);
            p += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            return Refusal{p, "file name is not valid UTF-16"};
        }
        append_utf8(name, c);
    }
}

// Mode, stored sector layout and user data offset of a track block; false for one not read.
bool set_mode(uint8_t mode, uint8_t subchannel, uint32_t sectorSize, Track& t) {
    if (subchannel != 0 && subchannel != 8)
        return false;
    // The subchannel's 96 bytes follow a whole 2352-byte sector; only such sectors carry them.
    const uint32_t main = subchannel == 8 ? sectorSize - 96 : sectorSize;
    if (subchannel == 8 && main != 2352)
        return false;
    t.sector_size = sectorSize;
    switch (mode & 0x07) {
    case 1: // audio: whole sectors only
        t.mode = TrackMode::Audio;
        t.user_offset = 0;
        return main == 2352;
    case 2: // mode 1: cooked 2048 or raw behind sync and header
        t.mode = TrackMode::Mode1;
        t.user_offset = main == 2352 ? 16 : 0;
        return main == 2048 || main == 2352;
    case 0:
    case 3:
    case 4:
    case 5:
    case 7: // mode 2: behind the subheader (2336) or sync, header and subheader (2352); form 1 also cooked
        t.mode = TrackMode::Mode2;
        t.user_offset = main == 2352 ? 24 : (main == 2336 ? 8 : 0);
        return main == 2352 || main == 2336 || (main == 2048 && (mode & 0x07) == 4);
    default:
        return false;
    }
}

// The points of one session's lead-in as the track blocks give them.
struct SessionPoints {
    std::optional<uint8_t> a0_first, a0_type, a1_last;
    std::optional<lba_t> a2_leadout;
    uint64_t a0_at = 0, a1_at = 0, a2_at = 0;
};

struct Reader {
    std::string path;
    Bytes b;
    DiscImage& disc;
    std::map<std::string, uint64_t> fileSizes; // data files already found: their sizes

    // The data file a file block names, found beside the descriptor in any case.
    Bad data_file(uint64_t fileBlock, std::string& file, uint64_t& size) {
        const uint32_t nameAt = b.u32(fileBlock);
        std::string name;
        if (Bad bad = read_name(b, fileBlock, nameAt, b.u32(fileBlock + 4) != 0, name))
            return bad;
        if (name.size() > 1 && name[0] == '*' && name[1] == '.')
            name = std::filesystem::path(path).stem().string() + name.substr(1);
        if (name.empty() || name.find_first_of("/\\") != std::string::npos)
            return Refusal{nameAt, "data file name '" + name + "' is not a file name beside the descriptor"};
        const std::filesystem::path dir = std::filesystem::path(path).parent_path();
        const std::filesystem::path p = dir / name;
        const std::string where = dir.empty() ? "." : dir.string();
        const auto found = files_any_case(p.string());
        if (found.empty())
            return Refusal{nameAt, "missing data file '" + p.string() +
                                       "' (no file of that name, in any case, in " + where + ")"};
        if (found.size() > 1)
            return Refusal{nameAt, "ambiguous data file '" + p.string() + "': files in " + where +
                                       " differ only in case"};
        file = found.front();
        auto it = fileSizes.find(file);
        if (it == fileSizes.end()) {
            struct stat st {};
            if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                return Refusal{nameAt, "cannot read data file '" + file + "'"};
            it = fileSizes.emplace(file, static_cast<uint64_t>(st.st_size)).first;
        }
        size = it->second;
        return std::nullopt;
    }

    // A track point's block into a track of `s` at `next` (where its pregap begins); `next` moves to its end.
    Bad track(uint64_t at, Session& s, int64_t& next) {
        const uint8_t point = b.u8(at + 4), adr = b.u8(at + 2) >> 4, control = b.u8(at + 2) & 0x0F;
        const std::string name = "track " + std::to_string(point);
        Track t;
        t.number = point;
        t.control = control;
        const uint32_t sectorSize = b.u16(at + 16);
        if (!set_mode(b.u8(at), b.u8(at + 1), sectorSize, t))
            return Refusal{at, name + ": mode " + hex(b.u8(at)) + " with subchannel " + hex(b.u8(at + 1)) +
                                   " and " + std::to_string(sectorSize) + "-byte sectors is not read"};
        if (adr != 1)
            return Refusal{at + 2, name + ": ADR " + std::to_string(adr) + " (1 expected)"};
        if (((control & 0x04) != 0) != (t.mode != TrackMode::Audio))
            return Refusal{at + 2, name + ": control " + hex(control) + " disagrees with its " +
                                       (t.mode == TrackMode::Audio ? "audio" : "data") + " mode"};
        const uint8_t pm = b.u8(at + 9), ps = b.u8(at + 10), pf = b.u8(at + 11);
        if (ps > 59 || pf > 74)
            return Refusal{at + 9, name + ": bad address " + std::to_string(pm) + ":" + std::to_string(ps) +
                                       ":" + std::to_string(pf)};
        const uint32_t start = b.u32(at + 36);
        if (static_cast<int64_t>(start) != msf_to_lba(pm, ps, pf))
            return Refusal{at + 36, name + ": start sector " + grouped(start) +
                                        " disagrees with its address (sector " +
                                        std::to_string(msf_to_lba(pm, ps, pf)) + ")"};
        const uint32_t extraAt = b.u32(at + 12);
        if (Bad bad = block_within(b, at + 12, extraAt, kExtraBytes, name + ": extra block"))
            return bad;
        const uint32_t pregap = b.u32(extraAt), length = b.u32(extraAt + 4);
        if (length == 0)
            return Refusal{extraAt + 4, name + " has no sectors"};
        if (next + pregap != start)
            return Refusal{extraAt, name + " starts at sector " + grouped(start) + ", not " +
                                        std::to_string(next + pregap) +
                                        " where the previous track and its pregap end"};
        next = static_cast<int64_t>(start) + length;
        t.start = static_cast<lba_t>(start);
        t.length = length;
        const uint32_t files = b.u32(at + 48), fileBlock = b.u32(at + 52);
        if (files != 1)
            return Refusal{at + 48, name + " is stored in " + grouped(files) + " data files (one is read)"};
        if (Bad bad = block_within(b, at + 52, fileBlock, kFileBytes, name + ": file block"))
            return bad;
        uint64_t fileSize = 0;
        if (Bad bad = data_file(fileBlock, t.file, fileSize))
            return bad;
        t.file_offset = b.le(at + 40, 8);
        // length < 2^32 and sectors < 2^16: the product fits, and the offset is checked before the sum.
        const uint64_t bytes = uint64_t{length} * sectorSize;
        if (t.file_offset > fileSize || bytes > fileSize - t.file_offset)
            return Refusal{at + 40, name + " runs past the end of '" + t.file + "'"};
        s.tracks.push_back(std::move(t));
        return std::nullopt;
    }

    // The lead-in points A0, A1, A2 of a session.
    Bad lead_in_point(uint64_t at, SessionPoints& pts) {
        const uint8_t point = b.u8(at + 4), pm = b.u8(at + 9), ps = b.u8(at + 10), pf = b.u8(at + 11);
        if (point == 0xA0) {
            if (ps != 0x00 && ps != 0x10 && ps != 0x20)
                return Refusal{at + 10, "point A0: unknown disc type " + hex(ps)};
            pts.a0_first = pm;
            pts.a0_type = ps;
            pts.a0_at = at;
        } else if (point == 0xA1) {
            pts.a1_last = pm;
            pts.a1_at = at;
        } else if (point == 0xA2) {
            if (ps > 59 || pf > 74)
                return Refusal{at + 9, "point A2: bad address"};
            pts.a2_leadout = msf_to_lba(pm, ps, pf);
            pts.a2_at = at;
        }
        return std::nullopt;
    }

    Bad session(uint64_t at, int index, int64_t prevEnd, uint8_t& nextTrack) {
        Session s;
        s.number = static_cast<uint8_t>(index + 1);
        if (b.u16(at + 8) != s.number)
            return Refusal{at + 8, "session block " + std::to_string(index + 1) + " is numbered " +
                                       std::to_string(b.u16(at + 8))};
        const std::string name = "session " + std::to_string(s.number);
        const int64_t start = static_cast<int32_t>(b.u32(at)), end = static_cast<int32_t>(b.u32(at + 4));
        if (start < (index == 0 ? -kPregapSectors : prevEnd) || end <= start || end > msf_to_lba(99, 59, 74))
            return Refusal{at, name + ": start " + std::to_string(start) + " and end " + std::to_string(end) +
                                   " are out of order"};
        const uint32_t count = b.u8(at + 10), tracksAt = b.u32(at + 20);
        if (Bad bad =
                block_within(b, at + 20, tracksAt, uint64_t{count} * kTrackBytes, name + ": track blocks"))
            return bad;
        SessionPoints pts;
        int64_t next = start;
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t tb = tracksAt + uint64_t{i} * kTrackBytes;
            const uint8_t point = b.u8(tb + 4);
            if (point >= 1 && point <= 99) {
                if (point != nextTrack)
                    return Refusal{tb + 4, "track " + std::to_string(point) + " where track " +
                                               std::to_string(nextTrack) + " should follow"};
                if (Bad bad = track(tb, s, next))
                    return bad;
                ++nextTrack;
            } else if (point == 0xA0 || point == 0xA1 || point == 0xA2) {
                if (Bad bad = lead_in_point(tb, pts))
                    return bad;
            } else if (point != 0xB0 && point != 0xC0 && point != 0xC1) {
                // B0/C0/C1 describe the recordable disc's free space, not a track: the full TOC is rebuilt.
                return Refusal{tb + 4, name + ": unknown point " + hex(point) + " (tracks are 1 to 99)"};
            }
        }
        if (s.tracks.empty())
            return Refusal{at + 10, name + " has no tracks"};
        if (b.u16(at + 12) != s.tracks.front().number || b.u16(at + 14) != s.tracks.back().number)
            return Refusal{at + 12, name + ": first and last track " + std::to_string(b.u16(at + 12)) + "-" +
                                        std::to_string(b.u16(at + 14)) + " disagree with its track blocks"};
        if (next != end)
            return Refusal{at + 4, name + ": its last track ends at sector " + std::to_string(next) +
                                       ", not at its end " + std::to_string(end)};
        s.leadout = static_cast<lba_t>(end);
        if (pts.a0_first && *pts.a0_first != s.tracks.front().number)
            return Refusal{pts.a0_at + 9,
                           name + ": point A0 names first track " + std::to_string(*pts.a0_first)};
        if (pts.a1_last && *pts.a1_last != s.tracks.back().number)
            return Refusal{pts.a1_at + 9,
                           name + ": point A1 names last track " + std::to_string(*pts.a1_last)};
        if (pts.a2_leadout && *pts.a2_leadout != s.leadout)
            return Refusal{pts.a2_at + 9, name + ": point A2 puts the lead-out at " +
                                              std::to_string(*pts.a2_leadout) + ", not " +
                                              std::to_string(end)};
        bool mode2 = false;
        for (const Track& t : s.tracks)
            mode2 = mode2 || t.mode == TrackMode::Mode2;
        s.disc_type = pts.a0_type ? *pts.a0_type : (mode2 ? 0x20 : 0x00);
        disc.sessions.push_back(std::move(s));
        return std::nullopt;
    }

    Bad read() {
        static const char kSignature[] = "MEDIA DESCRIPTOR";
        if (!b.holds(0, 16) || std::memcmp(b.str().data(), kSignature, 16) != 0)
            return Refusal{0, "not an Alcohol descriptor (no \"MEDIA DESCRIPTOR\" signature)"};
        if (!b.holds(0, kHeaderBytes))
            return Refusal{b.size(),
                           "the header ends early (" + std::to_string(kHeaderBytes) + " bytes wanted)"};
        if (b.u8(16) != 1)
            return Refusal{16, "descriptor version " + std::to_string(b.u8(16)) + "." +
                                   std::to_string(b.u8(17)) + " is not read (only 1.x)"};
        const uint32_t medium = b.u16(18);
        if (medium == 0x10 || medium == 0x12)
            return Refusal{18, "a DVD image (medium type " + hex(medium) + "): only CD images are read"};
        if (medium > 2)
            return Refusal{18, "unknown medium type " + hex(medium)};
        const uint32_t sessions = b.u16(20);
        if (sessions < 1 || sessions > 99)
            return Refusal{20, grouped(sessions) + " sessions (a CD holds 1 to 99)"};
        const uint32_t sessionsAt = b.u32(80);
        if (Bad bad = block_within(b, 80, sessionsAt, uint64_t{sessions} * kSessionBytes, "session blocks"))
            return bad;
        int64_t prevEnd = -kPregapSectors;
        uint8_t nextTrack = 0;
        for (uint32_t i = 0; i < sessions; ++i) {
            const uint64_t at = sessionsAt + uint64_t{i} * kSessionBytes;
            if (i == 0) {
                // As on a disc, the first track may be above 1 and the rest follow it one by one.
                const uint32_t first = b.u16(at + 12);
                if (first < 1 || first > 99)
                    return Refusal{at + 12,
                                   "first track " + std::to_string(first) + " (1 to 99 are possible)"};
                nextTrack = static_cast<uint8_t>(first);
            }
            if (nextTrack > 99)
                return Refusal{at, "session " + std::to_string(i + 1) + " after track 99"};
            if (Bad bad = session(at, static_cast<int>(i), prevEnd, nextTrack))
                return bad;
            prevEnd = disc.sessions.back().leadout;
        }
        return std::nullopt;
    }
};

} // namespace

LoadResult load_mds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return load_failure(path, 0, "cannot open the Alcohol descriptor");
    std::string data;
    char chunk[65536];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        data.append(chunk, static_cast<size_t>(in.gcount()));
        if (data.size() > kMaxDescriptorBytes)
            return load_failure_at(path, kMaxDescriptorBytes,
                                   "larger than a CD descriptor can be (" + grouped(kMaxDescriptorBytes) +
                                       " bytes)");
    }
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    Reader reader{path, Bytes(std::move(data)), *disc, {}};
    if (Bad bad = reader.read())
        return load_failure_at(path, bad->at, bad->what);
    return closed_disc(std::move(disc));
}

} // namespace ckvd::images
