// Addresses, session layout and the full TOC a recorder leaves on a CD-R.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "images/disc_image.h"

namespace ckvd::images {

lba_t DiscImage::last_lba() const {
    if (sessions.empty())
        return -1;
    return sessions.back().leadout - 1;
}

const Track* DiscImage::track_at(lba_t lba) const {
    for (const auto& s : sessions)
        for (const auto& t : s.tracks)
            if (lba >= t.start && static_cast<int64_t>(lba) < static_cast<int64_t>(t.start) + t.length)
                return &t;
    const Track& h = hidden_audio;
    if (h.length && lba >= h.start && static_cast<int64_t>(lba) < static_cast<int64_t>(h.start) + h.length)
        return &h;
    return nullptr;
}

bool DiscImage::has_full_toc() const {
    // The lead-out's time too must be one: 99:59:74 is the last, block 449,849.
    return sessions.empty() || uint64_t(std::max<lba_t>(sessions.back().leadout, 0)) < kMaxCdBlocks;
}

lba_t next_session_start(const std::vector<Session>& sessions) {
    if (sessions.empty())
        return 0;
    lba_t leadoutLen = sessions.size() == 1 ? kFirstLeadoutSectors : kLaterLeadoutSectors;
    return sessions.back().leadout + leadoutLen + kLeadinSectors + kPregapSectors;
}

namespace {

FullTocEntry entry(uint8_t session, uint8_t adr, uint8_t control, uint8_t point) {
    FullTocEntry e;
    e.session = session;
    e.adr_control = static_cast<uint8_t>((adr << 4) | (control & 0x0F));
    e.point = point;
    return e;
}

void set_p(FullTocEntry& e, lba_t lba) {
    Msf m = lba_to_msf(lba);
    e.pmin = m.m;
    e.psec = m.s;
    e.pframe = m.f;
}

void set_a(FullTocEntry& e, lba_t lba) {
    Msf m = lba_to_msf(lba);
    e.min = m.m;
    e.sec = m.s;
    e.frame = m.f;
}

} // namespace

std::vector<FullTocEntry> make_full_toc(const std::vector<Session>& sessions, bool closed) {
    std::vector<FullTocEntry> toc;
    const bool multi = sessions.size() > 1;
    for (size_t i = 0; i < sessions.size(); ++i) {
        const Session& s = sessions[i];
        if (s.tracks.empty())
            continue;
        const uint8_t control = s.tracks.front().control;
        FullTocEntry a0 = entry(s.number, 1, control, 0xA0);
        a0.pmin = s.tracks.front().number;
        a0.psec = s.disc_type;
        toc.push_back(a0);
        FullTocEntry a1 = entry(s.number, 1, s.tracks.back().control, 0xA1);
        a1.pmin = s.tracks.back().number;
        toc.push_back(a1);
        FullTocEntry a2 = entry(s.number, 1, s.tracks.back().control, 0xA2);
        set_p(a2, s.leadout);
        toc.push_back(a2);
        for (const Track& t : s.tracks) {
            FullTocEntry p = entry(s.number, 1, t.control, t.number);
            set_p(p, t.start);
            toc.push_back(p);
        }
        const bool last = i + 1 == sessions.size();
        if (!closed || !last) {
            // B0: where the next session's program area begins and the last possible lead-out.
            std::vector<Session> upTo(sessions.begin(), sessions.begin() + static_cast<long>(i) + 1);
            FullTocEntry b0 = entry(s.number, 5, control, 0xB0);
            set_a(b0, next_session_start(upTo) - kPregapSectors);
            b0.zero = (i == 0 && multi) ? 2 : 1;
            b0.pmin = 79;
            b0.psec = 59;
            b0.pframe = 74;
            toc.push_back(b0);
        }
        if (i == 0 && multi) {
            // C0: recording power from the ATIP and the start of the first lead-in.
            FullTocEntry c0 = entry(s.number, 5, control, 0xC0);
            c0.min = 0xA0;
            c0.pmin = 97;
            c0.psec = 26;
            c0.pframe = 66;
            toc.push_back(c0);
        }
    }
    return toc;
}

LoadResult load_failure(const std::string& path, int line, const std::string& what) {
    LoadResult r;
    r.error = line > 0 ? path + ":" + std::to_string(line) + ": " + what : path + ": " + what;
    return r;
}

LoadResult closed_disc(std::unique_ptr<DiscImage> disc) {
    disc->closed = true;
    if (disc->has_full_toc())
        disc->full_toc = make_full_toc(disc->sessions, true);
    LoadResult r;
    r.disc = std::move(disc);
    return r;
}

LoadResult load_failure_at(const std::string& path, uint64_t offset, const std::string& what) {
    LoadResult r;
    r.error = path + ": byte " + grouped(offset) + ": " + what;
    return r;
}

namespace {

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

namespace {

// "CD001" where a 2048-byte-sector image keeps its first volume descriptor (ECMA-119 8.1).
bool has_iso_descriptor(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char id[5] = {};
    const bool found = std::fseek(f, 16 * 2048 + 1, SEEK_SET) == 0 && std::fread(id, 1, 5, f) == 5 &&
                       std::memcmp(id, "CD001", 5) == 0;
    std::fclose(f);
    return found;
}

// Why `path` cannot be read as an image file (the system's words), or empty. Opened without blocking, so
// that a FIFO named as an image never waits for a writer.
std::string unreadable_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    struct stat st {};
    const int err = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    const bool regular = err == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (err)
        return std::strerror(err);
    return regular ? std::string() : "not a regular file";
}

} // namespace

std::vector<std::string> files_any_case(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (fs::is_regular_file(path, ec))
        return {path};
    const fs::path p(path);
    const std::string want = lower(p.filename().string());
    std::vector<std::string> found;
    if (want.empty())
        return found;
    fs::directory_iterator it(p.has_parent_path() ? p.parent_path() : fs::path("."), ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code fileEc;
        if (lower(it->path().filename().string()) == want && it->is_regular_file(fileEc))
            found.push_back((p.parent_path() / it->path().filename()).string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

LoadResult load_image(const std::string& path) {
    // A file that cannot be read says why (missing, no permission, a folder), whatever its kind.
    if (const std::string why = unreadable_file(path); !why.empty())
        return load_failure(path, 0, "cannot open the image file: " + why);
    const std::filesystem::path p(path);
    const std::string ext = lower(p.extension().string());
    if (ext == ".cue")
        return load_cue(path);
    if (ext == ".ccd")
        return load_ccd(path);
    if (ext == ".nrg")
        return load_nrg(path);
    if (ext == ".toc")
        return load_toc(path);
    if (ext == ".mds")
        return load_mds(path);
    if (ext == ".mdf") {
        // Only the descriptor knows the data file's tracks: an .mdf beside one is read through it.
        std::filesystem::path d = p;
        auto found = files_any_case(d.replace_extension(".mds").string());
        if (found.size() == 1)
            return load_mds(found.front());
        if (found.size() > 1)
            return load_failure(path, 0,
                                "several descriptors beside it differ only in case; open one of them");
    }
    if (ext == ".bin" || ext == ".img") {
        // Name the sheet of the same stem beside it; CloneCD writes .img, CDRWIN and cdrdao .bin.
        const char* sheets[3] = {".cue", ".ccd", ".toc"};
        if (ext == ".img")
            std::swap(sheets[0], sheets[1]);
        for (const char* sheet : sheets) {
            std::filesystem::path s = p;
            auto found = files_any_case(s.replace_extension(sheet).string());
            if (!found.empty())
                return load_failure(path, 0,
                                    "a raw track file; open the sheet " + found.front() + " instead");
        }
    }
    if (ext == ".bin" || ext == ".img" || ext == ".mdf") {
        // Without a sheet, a file of 2048-byte sectors with a volume descriptor at block 16 is a plain ISO
        // image that was named .img or .bin (as dd users name them); raw sectors say what they are.
        if (has_iso_descriptor(path))
            return load_iso(path);
        if (is_raw_image(path))
            return load_raw(path);
        return load_failure(
            path, 0,
            "neither an ISO image nor raw data sectors (no sync and header at blocks 0 and 16); open its "
            ".cue, .ccd, .toc or .mds sheet instead");
    }
    // An .iso (or any other name) of raw sectors is read as such; a cooked image's system area never starts
    // with a sync pattern.
    if (!has_iso_descriptor(path) && is_raw_image(path))
        return load_raw(path);
    return load_iso(path);
}

} // namespace ckvd::images
