// CDRWIN cue sheets. INDEX times are relative to the start of their FILE. A sheet with "REM SESSION nn" lines
// holds several sessions; the first track of a later session lands where a recorder writes it: after the
// previous session's lead-out ("REM LEAD-OUT mm:ss:ff", else 6750 sectors after session 1 and 2250 after
// later ones), 4500 lead-in and 150 pregap sectors. Files hold only recorded sectors, never the gaps.
//
// The sheet is read in two steps: its lines into a plain description (files, their tracks with modes,
// indexes and pregaps, lead-out lengths), then that description onto disc addresses.
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "images/disc_image.h"
#include "images/sheet_cdtext.h"

namespace ckvd::images {

namespace {

struct PendingTrack {
    Track track;
    int line = 0;
    std::optional<lba_t> index0, index1; // file-relative sector numbers
    lba_t pregap = 0;
    int session = 1;
};

struct FileInfo {
    std::string path;
    uint64_t size = 0;
    int line = 0;
};

// A refusal of the sheet at a line (0 when not about a line).
struct SheetError {
    int line = 0;
    std::string what;
};
using Refusal = std::optional<SheetError>;

// What the sheet's lines say, before any address is given.
struct CueSheet {
    std::filesystem::path dir; // where relative FILE names are looked up
    std::vector<FileInfo> files;
    std::vector<std::vector<PendingTrack>> tracksPerFile; // one list per FILE
    std::vector<lba_t> leadoutLen;                        // per session, from REM LEAD-OUT (-1: none given)
    int session = 1;                                      // the session the lines are in
    int lastTrackNo = 0;
    DiscImage* disc = nullptr; // where the text commands go
    std::string cdTextFile;    // CDTEXTFILE's name, read once the sheet is
    int cdTextFileLine = 0;
};

std::optional<lba_t> parse_msf(const std::string& s) {
    unsigned m, sec, f;
    char c1, c2, extra;
    std::istringstream in(s);
    if (!(in >> m >> c1 >> sec >> c2 >> f) || c1 != ':' || c2 != ':' || (in >> extra))
        return std::nullopt;
    if (m > 99 || sec > 59 || f > 74)
        return std::nullopt;
    return msf_frames(uint8_t(m), uint8_t(sec), uint8_t(f));
}

std::string upper(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The rest of the line after the keyword, with surrounding quotes removed for a FILE name.
std::string quoted_name(const std::string& rest) {
    auto a = rest.find('"');
    if (a != std::string::npos) {
        auto b = rest.find('"', a + 1);
        if (b != std::string::npos)
            return rest.substr(a + 1, b - a - 1);
        return {};
    }
    std::istringstream in(rest);
    std::string w;
    in >> w;
    return w;
}

Refusal parse_rem(CueSheet& sheet, int lineNo, const std::string& rest) {
    std::istringstream rs(rest);
    std::string what, arg;
    rs >> what >> arg;
    what = upper(what);
    if (what == "SESSION") {
        int n = std::atoi(arg.c_str());
        if (n < 1 || n > 99 || (n != sheet.session && n != sheet.session + 1) ||
            (n == sheet.session + 1 && sheet.lastTrackNo == 0))
            return SheetError{lineNo, "inconsistent session number '" + arg + "'"};
        if (n == sheet.session + 1 && sheet.files.empty())
            return SheetError{lineNo, "session without tracks"};
        sheet.session = n;
    } else if (what == "LEAD-OUT") {
        auto t = parse_msf(arg);
        if (!t)
            return SheetError{lineNo, "bad lead-out time '" + arg + "'"};
        if (sheet.leadoutLen.size() < static_cast<size_t>(sheet.session))
            sheet.leadoutLen.resize(static_cast<size_t>(sheet.session), -1);
        sheet.leadoutLen[static_cast<size_t>(sheet.session) - 1] = *t;
    }
    return std::nullopt;
}

Refusal parse_file(CueSheet& sheet, int lineNo, const std::string& rest) {
    std::string name = quoted_name(rest);
    if (name.empty())
        return SheetError{lineNo, "FILE without a name"};
    // Each FILE holds a track and a disc has 99; this also bounds the directory scans below.
    if (sheet.files.size() >= 99)
        return SheetError{lineNo, "more FILEs than a disc has tracks"};
    std::filesystem::path p =
        std::filesystem::path(name).is_absolute() ? std::filesystem::path(name) : sheet.dir / name;
    const auto found = files_any_case(p.string());
    const std::string where = p.has_parent_path() ? p.parent_path().string() : ".";
    if (found.empty())
        return SheetError{lineNo, "missing file '" + p.string() +
                                      "' (no file of that name, in any case, in " + where + ")"};
    if (found.size() > 1) {
        std::string names;
        for (const auto& f : found)
            names += (names.empty() ? "" : ", ") + std::filesystem::path(f).filename().string();
        return SheetError{lineNo, "ambiguous file '" + p.string() + "': " + names + " in " + where +
                                      " differ only in case"};
    }
    struct stat st {};
    if (::stat(found.front().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return SheetError{lineNo, "cannot read file '" + found.front() + "'"};
    sheet.files.push_back({found.front(), static_cast<uint64_t>(st.st_size), lineNo});
    sheet.tracksPerFile.emplace_back();
    return std::nullopt;
}

// Mode, stored sector size and user data offset of a TRACK's mode word; false for a mode not read.
bool set_track_mode(const std::string& mode, Track& t) {
    if (mode == "MODE1/2048") {
        t.mode = TrackMode::Mode1;
        t.sector_size = 2048;
    } else if (mode == "MODE1/2352") {
        t.mode = TrackMode::Mode1;
        t.sector_size = 2352;
        t.user_offset = 16;
    } else if (mode == "MODE2/2336") { // subheader and user data of each sector, its form in the subheader
        t.mode = TrackMode::Mode2;
        t.sector_size = 2336;
        t.user_offset = 8;
    } else if (mode == "MODE2/2352") {
        t.mode = TrackMode::Mode2;
        t.sector_size = 2352;
        t.user_offset = 24;
    } else if (mode == "AUDIO") {
        t.mode = TrackMode::Audio;
        t.sector_size = 2352;
    } else {
        return false;
    }
    return true;
}

Refusal parse_track(CueSheet& sheet, int lineNo, const std::string& rest) {
    if (sheet.files.empty())
        return SheetError{lineNo, "TRACK before FILE"};
    std::istringstream rs(rest);
    int n = 0;
    std::string mode;
    rs >> n >> mode;
    mode = upper(mode);
    // The first track may be above 1 (a sheet of part of a disc); the rest follow it one by one.
    if (n < 1 || n > 99)
        return SheetError{lineNo, "bad track number"};
    if (sheet.lastTrackNo != 0 && n != sheet.lastTrackNo + 1)
        return SheetError{lineNo, "track " + std::to_string(n) + " does not follow track " +
                                      std::to_string(sheet.lastTrackNo)};
    PendingTrack t;
    t.line = lineNo;
    t.session = sheet.session;
    t.track.number = static_cast<uint8_t>(n);
    t.track.file = sheet.files.back().path;
    if (!set_track_mode(mode, t.track))
        return SheetError{lineNo, "unsupported track mode '" + mode + "'"};
    t.track.control = t.track.mode == TrackMode::Audio ? 0x00 : 0x04;
    sheet.lastTrackNo = n;
    sheet.tracksPerFile.back().push_back(t);
    return std::nullopt;
}

// INDEX, PREGAP, POSTGAP and FLAGS: details of the last TRACK.
Refusal parse_track_detail(CueSheet& sheet, int lineNo, const std::string& kw, const std::string& rest) {
    if (sheet.tracksPerFile.empty() || sheet.tracksPerFile.back().empty())
        return SheetError{lineNo, kw + " before TRACK"};
    PendingTrack& t = sheet.tracksPerFile.back().back();
    std::istringstream rs(rest);
    if (kw == "INDEX") {
        int idx = -1;
        std::string time;
        rs >> idx >> time;
        auto v = parse_msf(time);
        if (idx < 0 || idx > 99 || !v)
            return SheetError{lineNo, "bad INDEX line"};
        if (idx == 0)
            t.index0 = *v;
        else if (idx == 1)
            t.index1 = *v;
    } else if (kw == "PREGAP") {
        std::string time;
        rs >> time;
        auto v = parse_msf(time);
        if (!v)
            return SheetError{lineNo, "bad PREGAP time"};
        t.pregap = *v;
    } else if (kw == "FLAGS") {
        for (std::string f; rs >> f;) {
            f = upper(f);
            if (f == "DCP")
                t.track.control |= 0x02;
            else if (f == "PRE")
                t.track.control |= 0x01;
        }
    }
    return std::nullopt;
}

Refusal parse_command(CueSheet& sheet, int lineNo, const std::string& kw, const std::string& rest) {
    if (kw == "REM")
        return parse_rem(sheet, lineNo, rest);
    if (kw == "FILE")
        return parse_file(sheet, lineNo, rest);
    if (kw == "TRACK")
        return parse_track(sheet, lineNo, rest);
    if (kw == "INDEX" || kw == "PREGAP" || kw == "POSTGAP" || kw == "FLAGS")
        return parse_track_detail(sheet, lineNo, kw, rest);
    if (kw == "CDTEXTFILE") {
        sheet.cdTextFile = rest;
        sheet.cdTextFileLine = lineNo;
        return std::nullopt;
    }
    if (cue_text_command(*sheet.disc, static_cast<uint8_t>(sheet.lastTrackNo), kw, rest, lineNo))
        return std::nullopt;
    return SheetError{lineNo, "unknown command '" + kw + "'"};
}

// The sheet's lines into `sheet`: files, tracks, indexes, pregaps, sessions and lead-out lengths.
Refusal parse_cue(std::istream& in, CueSheet& sheet) {
    int lineNo = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++lineNo;
        if (lineNo > 100000)
            return SheetError{lineNo, "cue sheet too long"};
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream ls(line);
        std::string kw;
        if (!(ls >> kw))
            continue;
        std::string rest;
        std::getline(ls, rest);
        if (Refusal bad = parse_command(sheet, lineNo, upper(kw), rest))
            return bad;
    }
    if (sheet.lastTrackNo == 0)
        return SheetError{lineNo, "no tracks"};
    return std::nullopt;
}

// A track of a session other than the last one placed starts a session after the lead-out, lead-in and
// pregap of the previous one; `abs` becomes the address the track's file's sector 0 maps to.
Refusal enter_session(const CueSheet& sheet, DiscImage& disc, const PendingTrack& t, size_t ti, lba_t& abs) {
    if (!disc.sessions.empty() && disc.sessions.back().number == t.session)
        return std::nullopt;
    if (!disc.sessions.empty()) {
        size_t prev = disc.sessions.size() - 1;
        lba_t lo = prev < sheet.leadoutLen.size() && sheet.leadoutLen[prev] >= 0
                       ? sheet.leadoutLen[prev]
                       : (prev == 0 ? kFirstLeadoutSectors : kLaterLeadoutSectors);
        lba_t start = disc.sessions.back().leadout + lo + kLeadinSectors + kPregapSectors;
        if (ti != 0)
            return SheetError{t.line, "a session must start with a FILE"};
        abs = start - *t.index1;
    }
    Session s;
    s.number = static_cast<uint8_t>(t.session);
    disc.sessions.push_back(s);
    return std::nullopt;
}

// Track `ti` of FILE `fi` at its address, its sectors running to the next track's INDEX 00 (else INDEX 01)
// or to the end of the file.
Refusal place_track(const CueSheet& sheet, size_t fi, size_t ti, DiscImage& disc, lba_t& abs) {
    const std::vector<PendingTrack>& tracks = sheet.tracksPerFile[fi];
    const PendingTrack& t = tracks[ti];
    if (!t.index1)
        return SheetError{t.line, "track without INDEX 01"};
    if (Refusal bad = enter_session(sheet, disc, t, ti, abs))
        return bad;
    abs += t.pregap;
    const uint64_t fileSectors = sheet.files[fi].size / t.track.sector_size;
    uint64_t end = fileSectors;
    if (ti + 1 < tracks.size()) {
        const PendingTrack& n = tracks[ti + 1];
        if (!n.index1)
            return SheetError{n.line, "track without INDEX 01"};
        end = static_cast<uint64_t>(n.index0 ? *n.index0 : *n.index1);
        if (n.track.sector_size != t.track.sector_size)
            return SheetError{n.line, "tracks of one FILE must share a sector size"};
    }
    if (static_cast<uint64_t>(*t.index1) >= end || end > fileSectors)
        return SheetError{t.line, "track past the end of its file '" + sheet.files[fi].path + "'"};
    Track tr = t.track;
    tr.start = abs + *t.index1;
    tr.length = static_cast<uint32_t>(end - static_cast<uint64_t>(*t.index1));
    tr.file_offset = static_cast<uint64_t>(*t.index1) * tr.sector_size;
    if (static_cast<int64_t>(tr.start) + tr.length > static_cast<int64_t>(kMaxCdBlocks))
        return SheetError{t.line, "track runs past the end of a CD"};
    Session& s = disc.sessions.back();
    if (!s.tracks.empty() && tr.start < s.leadout)
        return SheetError{t.line, "tracks overlap"};
    // Track 1 of audio whose file holds sectors before its INDEX 01: audio hidden in its pregap.
    const lba_t before = t.index0 ? *t.index0 : 0;
    if (disc.sessions.size() == 1 && s.tracks.empty() && tr.number == 1 && tr.mode == TrackMode::Audio &&
        *t.index1 > before && abs + before >= 0) {
        disc.hidden_audio = tr;
        disc.hidden_audio.number = 0;
        disc.hidden_audio.start = abs + before;
        disc.hidden_audio.length = static_cast<uint32_t>(*t.index1 - before);
        disc.hidden_audio.file_offset = static_cast<uint64_t>(before) * tr.sector_size;
    }
    s.tracks.push_back(tr);
    s.leadout = tr.start + static_cast<lba_t>(tr.length);
    if (tr.mode == TrackMode::Mode2)
        s.disc_type = 0x20;
    return std::nullopt;
}

// The sheet's files and tracks at disc addresses: sessions, tracks and the file map of each track.
Refusal lay_out_cue(const CueSheet& sheet, DiscImage& disc) {
    lba_t abs = 0; // absolute LBA of the next sector a file's sector 0 maps to
    for (size_t fi = 0; fi < sheet.files.size(); ++fi) {
        if (sheet.tracksPerFile[fi].empty())
            return SheetError{sheet.files[fi].line, "FILE without tracks"};
        for (size_t ti = 0; ti < sheet.tracksPerFile[fi].size(); ++ti)
            if (Refusal bad = place_track(sheet, fi, ti, disc, abs))
                return bad;
        // The next FILE of the same session follows on from the end of this one.
        abs = disc.sessions.back().leadout;
    }
    return std::nullopt;
}

} // namespace

LoadResult load_cue(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return load_failure(path, 0, "cannot open the cue sheet");
    CueSheet sheet;
    sheet.dir = std::filesystem::path(path).parent_path();
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    sheet.disc = disc.get();
    Refusal bad = parse_cue(in, sheet);
    if (!bad)
        bad = lay_out_cue(sheet, *disc);
    if (bad)
        return load_failure(path, bad->line, bad->what);
    if (!sheet.cdTextFile.empty())
        cue_text_file(*disc, sheet.dir, sheet.cdTextFile, sheet.cdTextFileLine);
    // A multi-session sheet is left appendable, as the recorder left the disc; a single session is closed.
    disc->closed = disc->sessions.size() == 1 && sheet.leadoutLen.empty();
    disc->full_toc = make_full_toc(disc->sessions, disc->closed);
    LoadResult r;
    r.disc = std::move(disc);
    return r;
}

} // namespace ckvd::images
