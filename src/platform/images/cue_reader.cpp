// CDRWIN cue sheets. INDEX times are relative to the start of their FILE. A sheet with "REM SESSION nn" lines
// holds several sessions; the first track of a later session lands where a recorder writes it: after the
// previous session's lead-out ("REM LEAD-OUT mm:ss:ff", else 6750 sectors after session 1 and 2250 after
// later ones), 4500 lead-in and 150 pregap sectors. Files hold only recorded sectors, never the gaps.
#include <sys/stat.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/images/disc_image.h"

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

std::optional<lba_t> parse_msf(const std::string& s) {
    unsigned m, sec, f;
    char c1, c2, extra;
    std::istringstream in(s);
    if (!(in >> m >> c1 >> sec >> c2 >> f) || c1 != ':' || c2 != ':' || (in >> extra))
        return std::nullopt;
    if (m > 99 || sec > 59 || f > 74)
        return std::nullopt;
    return static_cast<lba_t>((m * 60 + sec) * 75 + f);
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

} // namespace

LoadResult load_cue(const std::string& path) {
    LoadResult r;
    auto err = [&](int line, const std::string& what) { return load_failure(path, line, what); };
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return err(0, "cannot open the cue sheet");
    const std::filesystem::path dir = std::filesystem::path(path).parent_path();

    std::vector<FileInfo> files;
    std::vector<std::vector<PendingTrack>> tracksPerFile;
    std::vector<lba_t> leadoutLen; // per session, from REM LEAD-OUT
    int session = 1;
    int lineNo = 0;
    int lastTrackNo = 0;
    std::string line;
    while (std::getline(in, line)) {
        ++lineNo;
        if (lineNo > 100000)
            return err(lineNo, "cue sheet too long");
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream ls(line);
        std::string kw;
        if (!(ls >> kw))
            continue;
        kw = upper(kw);
        std::string rest;
        std::getline(ls, rest);
        std::istringstream rs(rest);
        if (kw == "REM") {
            std::string what, arg;
            rs >> what >> arg;
            what = upper(what);
            if (what == "SESSION") {
                int n = std::atoi(arg.c_str());
                if (n < 1 || n > 99 || (n != session && n != session + 1) ||
                    (n == session + 1 && lastTrackNo == 0))
                    return err(lineNo, "inconsistent session number '" + arg + "'");
                if (n == session + 1 && files.empty())
                    return err(lineNo, "session without tracks");
                session = n;
            } else if (what == "LEAD-OUT") {
                auto t = parse_msf(arg);
                if (!t)
                    return err(lineNo, "bad lead-out time '" + arg + "'");
                if (leadoutLen.size() < static_cast<size_t>(session))
                    leadoutLen.resize(static_cast<size_t>(session), -1);
                leadoutLen[static_cast<size_t>(session) - 1] = *t;
            }
            continue;
        }
        if (kw == "FILE") {
            std::string name = quoted_name(rest);
            if (name.empty())
                return err(lineNo, "FILE without a name");
            // Each FILE holds a track and a disc has 99; this also bounds the directory scans below.
            if (files.size() >= 99)
                return err(lineNo, "more FILEs than a disc has tracks");
            std::filesystem::path p =
                std::filesystem::path(name).is_absolute() ? std::filesystem::path(name) : dir / name;
            const auto found = files_any_case(p.string());
            const std::string where = p.has_parent_path() ? p.parent_path().string() : ".";
            if (found.empty())
                return err(lineNo, "missing file '" + p.string() +
                                       "' (no file of that name, in any case, in " + where + ")");
            if (found.size() > 1) {
                std::string names;
                for (const auto& f : found)
                    names += (names.empty() ? "" : ", ") + std::filesystem::path(f).filename().string();
                return err(lineNo, "ambiguous file '" + p.string() + "': " + names + " in " + where +
                                       " differ only in case");
            }
            struct stat st {};
            if (::stat(found.front().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                return err(lineNo, "cannot read file '" + found.front() + "'");
            files.push_back({found.front(), static_cast<uint64_t>(st.st_size), lineNo});
            tracksPerFile.emplace_back();
            continue;
        }
        if (kw == "TRACK") {
            if (files.empty())
                return err(lineNo, "TRACK before FILE");
            int n = 0;
            std::string mode;
            rs >> n >> mode;
            mode = upper(mode);
            // The first track may be above 1 (a sheet of part of a disc); the rest follow it one by one.
            if (n < 1 || n > 99)
                return err(lineNo, "bad track number");
            if (lastTrackNo != 0 && n != lastTrackNo + 1)
                return err(lineNo, "track " + std::to_string(n) + " does not follow track " +
                                       std::to_string(lastTrackNo));
            PendingTrack t;
            t.line = lineNo;
            t.session = session;
            t.track.number = static_cast<uint8_t>(n);
            t.track.file = files.back().path;
            if (mode == "MODE1/2048") {
                t.track.mode = TrackMode::Mode1;
                t.track.sector_size = 2048;
            } else if (mode == "MODE1/2352") {
                t.track.mode = TrackMode::Mode1;
                t.track.sector_size = 2352;
                t.track.user_offset = 16;
            } else if (mode == "MODE2/2352") {
                t.track.mode = TrackMode::Mode2;
                t.track.sector_size = 2352;
                t.track.user_offset = 24;
            } else if (mode == "AUDIO") {
                t.track.mode = TrackMode::Audio;
                t.track.sector_size = 2352;
            } else {
                return err(lineNo, "unsupported track mode '" + mode + "'");
            }
            t.track.control = t.track.mode == TrackMode::Audio ? 0x00 : 0x04;
            lastTrackNo = n;
            tracksPerFile.back().push_back(t);
            continue;
        }
        if (kw == "INDEX" || kw == "PREGAP" || kw == "POSTGAP" || kw == "FLAGS") {
            if (tracksPerFile.empty() || tracksPerFile.back().empty())
                return err(lineNo, kw + " before TRACK");
            PendingTrack& t = tracksPerFile.back().back();
            if (kw == "INDEX") {
                int idx = -1;
                std::string time;
                rs >> idx >> time;
                auto v = parse_msf(time);
                if (idx < 0 || idx > 99 || !v)
                    return err(lineNo, "bad INDEX line");
                if (idx == 0)
                    t.index0 = *v;
                else if (idx == 1)
                    t.index1 = *v;
            } else if (kw == "PREGAP") {
                std::string time;
                rs >> time;
                auto v = parse_msf(time);
                if (!v)
                    return err(lineNo, "bad PREGAP time");
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
            continue;
        }
        if (kw == "CATALOG" || kw == "PERFORMER" || kw == "TITLE" || kw == "SONGWRITER" || kw == "ISRC" ||
            kw == "CDTEXTFILE")
            continue;
        return err(lineNo, "unknown command '" + kw + "'");
    }
    if (lastTrackNo == 0)
        return err(lineNo, "no tracks");

    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    lba_t abs = 0; // absolute LBA of the next sector a file's sector 0 maps to
    for (size_t fi = 0; fi < files.size(); ++fi) {
        auto& tracks = tracksPerFile[fi];
        if (tracks.empty())
            return err(files[fi].line, "FILE without tracks");
        for (size_t ti = 0; ti < tracks.size(); ++ti) {
            PendingTrack& t = tracks[ti];
            if (!t.index1)
                return err(t.line, "track without INDEX 01");
            // A new session starts after the lead-out, lead-in and pregap of the previous one.
            if (disc->sessions.empty() || disc->sessions.back().number != t.session) {
                if (!disc->sessions.empty()) {
                    size_t prev = disc->sessions.size() - 1;
                    lba_t lo = prev < leadoutLen.size() && leadoutLen[prev] >= 0
                                   ? leadoutLen[prev]
                                   : (prev == 0 ? kFirstLeadoutSectors : kLaterLeadoutSectors);
                    lba_t start = disc->sessions.back().leadout + lo + kLeadinSectors + kPregapSectors;
                    if (ti != 0)
                        return err(t.line, "a session must start with a FILE");
                    abs = start - *t.index1;
                }
                Session s;
                s.number = static_cast<uint8_t>(t.session);
                disc->sessions.push_back(s);
            }
            abs += t.pregap;
            const uint64_t fileSectors = files[fi].size / t.track.sector_size;
            uint64_t end = fileSectors;
            if (ti + 1 < tracks.size()) {
                const PendingTrack& n = tracks[ti + 1];
                if (!n.index1)
                    return err(n.line, "track without INDEX 01");
                end = static_cast<uint64_t>(n.index0 ? *n.index0 : *n.index1);
                if (n.track.sector_size != t.track.sector_size)
                    return err(n.line, "tracks of one FILE must share a sector size");
            }
            if (static_cast<uint64_t>(*t.index1) >= end || end > fileSectors)
                return err(t.line, "track past the end of its file '" + files[fi].path + "'");
            Track tr = t.track;
            tr.start = abs + *t.index1;
            tr.length = static_cast<uint32_t>(end - static_cast<uint64_t>(*t.index1));
            tr.file_offset = static_cast<uint64_t>(*t.index1) * tr.sector_size;
            if (static_cast<int64_t>(tr.start) + tr.length > 449850)
                return err(t.line, "track runs past the end of a CD");
            Session& s = disc->sessions.back();
            if (!s.tracks.empty() && tr.start < s.leadout)
                return err(t.line, "tracks overlap");
            s.tracks.push_back(tr);
            s.leadout = tr.start + static_cast<lba_t>(tr.length);
            if (tr.mode == TrackMode::Mode2)
                s.disc_type = 0x20;
        }
        // The next FILE of the same session follows on from the end of this one.
        abs = disc->sessions.back().leadout;
    }
    // A multi-session sheet is left appendable, as the recorder left the disc; a single session is closed.
    disc->closed = disc->sessions.size() == 1 && leadoutLen.empty();
    disc->full_toc = make_full_toc(disc->sessions, disc->closed);
    r.disc = std::move(disc);
    return r;
}

} // namespace ckvd::images
