// CloneCD: the .ccd's [Entry] blocks are the full TOC; the .img beside it holds 2352-byte raw sectors of
// every session's tracks in order, without the lead-out, lead-in and pregap between sessions.
//
// The control file is read in two steps: its sections into plain values (track modes, full TOC entries),
// then those onto sessions, tracks and the places of their sectors in the .img.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "images/disc_image.h"
#include "images/sheet_cdtext.h"

namespace ckvd::images {

namespace {

// A refusal of the control file at a line (0 when not about a line).
struct SheetError {
    int line = 0;
    std::string what;
};
using Refusal = std::optional<SheetError>;

struct Section {
    std::string name;
    int line;
    std::map<std::string, std::pair<std::string, int>> values;
};

// One [Entry] block: the full TOC descriptor and the fields the layout reads as numbers.
struct CcdEntry {
    FullTocEntry toc;
    long adr = 0, control = 0, point = 0;
};

bool parse_int(const std::string& v, long& out) {
    if (v.empty() || v.size() > 12)
        return false;
    char* end = nullptr;
    out = std::strtol(v.c_str(), &end, 0);
    return end && *end == 0;
}

// The control file's "[name]" sections and their "key=value" lines; `lineNo` ends as the last line read.
Refusal parse_sections(std::istream& in, std::vector<Section>& sections, int& lineNo) {
    std::string line;
    while (std::getline(in, line)) {
        if (++lineNo > 100000)
            return SheetError{lineNo, "control file too long"};
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            auto close = line.find(']');
            if (close == std::string::npos)
                return SheetError{lineNo, "bad section header"};
            sections.push_back({line.substr(1, close - 1), lineNo, {}});
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos || sections.empty())
            return SheetError{lineNo, "bad line"};
        sections.back().values[line.substr(0, eq)] = {line.substr(eq + 1), lineNo};
    }
    return std::nullopt;
}

// The MODE of each [TRACK n] section.
Refusal parse_track_modes(const std::vector<Section>& sections, std::map<int, TrackMode>& modes) {
    for (const auto& sec : sections) {
        if (sec.name.rfind("TRACK ", 0) != 0)
            continue;
        long n = 0, mode = 0;
        auto it = sec.values.find("MODE");
        if (!parse_int(sec.name.substr(6), n) || n < 1 || n > 99 || it == sec.values.end() ||
            !parse_int(it->second.first, mode) || mode < 0 || mode > 2)
            return SheetError{sec.line, "bad track section"};
        modes[static_cast<int>(n)] = mode == 0   ? TrackMode::Audio
                                     : mode == 1 ? TrackMode::Mode1
                                                 : TrackMode::Mode2;
    }
    return std::nullopt;
}

// The fields of an [Entry] section, each in its range; TrackNo and Zero may be left out.
Refusal parse_entry(const Section& sec, CcdEntry& entry) {
    auto get = [&](const char* key, long lo, long hi, long& out) {
        auto it = sec.values.find(key);
        return it != sec.values.end() && parse_int(it->second.first, out) && out >= lo && out <= hi;
    };
    long session, point, adr, control, trackNo = 0, amin, asec, aframe, zero = 0, pmin, psec, pframe;
    if (!get("Session", 1, 99, session) || !get("Point", 0, 255, point) || !get("ADR", 0, 15, adr) ||
        !get("Control", 0, 15, control) || !get("AMin", 0, 255, amin) || !get("ASec", 0, 255, asec) ||
        !get("AFrame", 0, 255, aframe) || !get("PMin", 0, 255, pmin) || !get("PSec", 0, 255, psec) ||
        !get("PFrame", 0, 255, pframe))
        return SheetError{sec.line, "bad or missing field in [" + sec.name + "]"};
    get("TrackNo", 0, 255, trackNo);
    get("Zero", 0, 255, zero);
    FullTocEntry& e = entry.toc;
    e.session = static_cast<uint8_t>(session);
    e.adr_control = static_cast<uint8_t>((adr << 4) | control);
    e.tno = static_cast<uint8_t>(trackNo);
    e.point = static_cast<uint8_t>(point);
    e.min = static_cast<uint8_t>(amin);
    e.sec = static_cast<uint8_t>(asec);
    e.frame = static_cast<uint8_t>(aframe);
    e.zero = static_cast<uint8_t>(zero);
    e.pmin = static_cast<uint8_t>(pmin);
    e.psec = static_cast<uint8_t>(psec);
    e.pframe = static_cast<uint8_t>(pframe);
    entry.adr = adr;
    entry.control = control;
    entry.point = point;
    return std::nullopt;
}

// Sessions follow one another from session 1; an entry of a new session opens it.
Refusal enter_session(DiscImage& disc, const FullTocEntry& e, int line) {
    if (!disc.full_toc.empty() && e.session < disc.full_toc.back().session)
        return SheetError{line, "sessions out of order"};
    disc.full_toc.push_back(e);
    if (disc.sessions.empty() || disc.sessions.back().number != e.session) {
        if (!disc.sessions.empty() && e.session != disc.sessions.back().number + 1)
            return SheetError{line, "inconsistent session number"};
        if (disc.sessions.empty() && e.session != 1)
            return SheetError{line, "the first session must be session 1"};
        Session s;
        s.number = e.session;
        disc.sessions.push_back(s);
    }
    return std::nullopt;
}

// An entry into the full TOC and, for an A0, A2 or track point, into its session.
Refusal place_entry(DiscImage& disc, const CcdEntry& entry, const std::map<int, TrackMode>& modes,
                    long& lastTrackNo, int line) {
    const FullTocEntry& e = entry.toc;
    if (Refusal bad = enter_session(disc, e, line))
        return bad;
    Session& s = disc.sessions.back();
    const long point = entry.point;
    if (entry.adr != 1)
        return std::nullopt;
    if (point == 0xA0) {
        s.disc_type = e.psec;
    } else if (point == 0xA2) {
        s.leadout = msf_to_lba(e.pmin, e.psec, e.pframe);
    } else if (point >= 1 && point <= 99) {
        // As on a disc, the first track may be above 1 and the rest follow it one by one.
        if (lastTrackNo != 0 && point != lastTrackNo + 1)
            return SheetError{line, "track " + std::to_string(point) + " does not follow track " +
                                        std::to_string(lastTrackNo)};
        lastTrackNo = point;
        Track t;
        t.number = static_cast<uint8_t>(point);
        t.control = static_cast<uint8_t>(entry.control);
        t.start = msf_to_lba(e.pmin, e.psec, e.pframe);
        auto m = modes.find(static_cast<int>(point));
        t.mode =
            m != modes.end() ? m->second : ((entry.control & 0x04) ? TrackMode::Mode1 : TrackMode::Audio);
        t.sector_size = 2352;
        t.user_offset = t.mode == TrackMode::Mode2 ? 24 : (t.mode == TrackMode::Mode1 ? 16 : 0);
        if (!s.tracks.empty() && t.start <= s.tracks.back().start)
            return SheetError{line, "tracks out of order"};
        s.tracks.push_back(t);
    }
    return std::nullopt;
}

// Every session's tracks, in order, as consecutive 2352-byte sectors of the .img: lengths and file offsets.
Refusal map_img(const std::string& path, DiscImage& disc) {
    std::filesystem::path img = std::filesystem::path(path).replace_extension(".img");
    struct stat st {};
    if (::stat(img.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return SheetError{0, "missing file '" + img.string() + "'"};
    const uint64_t imgSectors = static_cast<uint64_t>(st.st_size) / 2352;
    uint64_t stored = 0; // sectors of the .img used so far
    lba_t prevLeadout = 0;
    for (auto& s : disc.sessions) {
        if (s.tracks.empty())
            return SheetError{0, "session " + std::to_string(s.number) + " has no tracks"};
        if (s.leadout <= s.tracks.back().start || s.tracks.front().start < prevLeadout)
            return SheetError{0, "inconsistent lead-out of session " + std::to_string(s.number)};
        for (size_t i = 0; i < s.tracks.size(); ++i) {
            Track& t = s.tracks[i];
            lba_t end = i + 1 < s.tracks.size() ? s.tracks[i + 1].start : s.leadout;
            t.length = static_cast<uint32_t>(end - t.start);
            t.file = img.string();
            t.file_offset = stored * 2352;
            stored += t.length;
            if (stored > imgSectors)
                return SheetError{0, "track " + std::to_string(t.number) + " runs past the end of '" +
                                         img.string() + "'"};
        }
        prevLeadout = s.leadout;
    }
    return std::nullopt;
}

// The disc's CD-TEXT ([CDText]) and Q codes ([Disc] CATALOG, [TRACK n] ISRC).
void read_ccd_codes(const std::vector<Section>& sections, DiscImage& disc) {
    for (const auto& sec : sections) {
        if (sec.name == "CDText") {
            ccd_text_section(disc, sec.values, sec.line);
            continue;
        }
        const bool track = sec.name.rfind("TRACK ", 0) == 0;
        auto code = sec.values.find(track ? "ISRC" : "CATALOG");
        if ((track || sec.name == "Disc") && code != sec.values.end())
            toc_code(disc, track ? static_cast<uint8_t>(std::atoi(sec.name.c_str() + 6)) : 0,
                     SheetWord{code->second.first, code->second.second, true});
    }
}

// The control file into `disc`: sections, track modes and entries read, then laid out over the .img.
Refusal read_ccd(const std::string& path, std::istream& in, DiscImage& disc) {
    std::vector<Section> sections;
    int lineNo = 0;
    if (Refusal bad = parse_sections(in, sections, lineNo))
        return bad;
    std::map<int, TrackMode> modes;
    if (Refusal bad = parse_track_modes(sections, modes))
        return bad;
    long lastTrackNo = 0;
    for (const auto& sec : sections) {
        if (sec.name.rfind("Entry ", 0) != 0)
            continue;
        CcdEntry entry;
        if (Refusal bad = parse_entry(sec, entry))
            return bad;
        if (Refusal bad = place_entry(disc, entry, modes, lastTrackNo, sec.line))
            return bad;
    }
    if (disc.sessions.empty())
        return SheetError{lineNo, "no [Entry] blocks"};
    if (Refusal bad = map_img(path, disc))
        return bad;
    read_ccd_codes(sections, disc);
    return std::nullopt;
}

} // namespace

LoadResult load_ccd(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return load_failure(path, 0, "cannot open the CloneCD control file");
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    if (Refusal bad = read_ccd(path, in, *disc))
        return load_failure(path, bad->line, bad->what);
    bool closed = true;
    for (const auto& e : disc->full_toc)
        if (e.point == 0xB0 && e.session == disc->sessions.back().number)
            closed = false;
    disc->closed = closed;
    LoadResult r;
    r.disc = std::move(disc);
    return r;
}

} // namespace ckvd::images
