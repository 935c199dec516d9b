// ckvd-mkdisc: composes disc images the way a recorder writes a CD-R.
//   create DISC.cue|DISC.ccd SESSION.iso   a disc with a first data session (left appendable)
//   msinfo DISC                           last_session_start,next_session_start (as cdrecord -msinfo)
//   append DISC SESSION.iso               adds a session made at next_session_start (genisoimage -C/-M)
//   audio DISC.cue TRACK.wav...           an audio CD from 44.1 kHz 16-bit stereo WAV files (closed)
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "images/disc_image.h"
#include "platform/bytes/byte_order.h"
#include "res/version.h"
#include "verify/sector_check.h"

namespace fs = std::filesystem;
using namespace ckvd::images;

namespace {

constexpr int kUsage = 2;
constexpr int kFail = 1;

constexpr const char* kUsageText = "usage: ckvd-mkdisc create DISC.cue|DISC.ccd SESSION.iso\n"
                                   "       ckvd-mkdisc msinfo DISC\n"
                                   "       ckvd-mkdisc append DISC SESSION.iso\n"
                                   "       ckvd-mkdisc audio DISC.cue TRACK.wav...\n";

int usage() {
    std::fputs(kUsageText, stderr);
    return kUsage;
}

int fail(const std::string& msg) {
    std::fprintf(stderr, "ckvd-mkdisc: %s\n", msg.c_str());
    return kFail;
}

bool is_ccd(const std::string& p) {
    return fs::path(p).extension() == ".ccd";
}

std::string msf_text(lba_t frames) {
    char b[16];
    std::snprintf(b, sizeof b, "%02d:%02d:%02d", frames / kFramesPerMinute, (frames / kFramesPerSecond) % 60,
                  frames % kFramesPerSecond);
    return b;
}

using bytes::Le32;

// A session image made for `start`: its primary descriptor at block 16 must place the root directory at or
// after `start` (genisoimage -C writes absolute block numbers).
bool check_session_image(const std::string& iso, lba_t start, uint64_t& blocks, std::string& why) {
    std::error_code ec;
    uint64_t size = fs::file_size(iso, ec);
    if (ec || size < 17 * 2048 || size % 2048) {
        why = iso + ": not an ISO9660 session image (size " + std::to_string(ec ? 0 : size) + ")";
        return false;
    }
    blocks = size / 2048;
    std::ifstream in(iso, std::ios::binary);
    uint8_t pvd[2048];
    in.seekg(16 * 2048);
    if (!in.read(reinterpret_cast<char*>(pvd), sizeof pvd) || pvd[0] != 1 ||
        std::memcmp(pvd + 1, "CD001", 5)) {
        why = iso + ": no primary volume descriptor at block 16";
        return false;
    }
    uint32_t root = Le32(pvd + 158);
    if (root < static_cast<uint32_t>(start) || root >= static_cast<uint32_t>(start) + blocks) {
        why = iso + ": made for another address (root directory at block " + std::to_string(root) +
              ", session starts at " + std::to_string(start) + "; use -C " + "with ckvd-mkdisc msinfo)";
        return false;
    }
    return true;
}

bool copy_file(const std::string& from, const std::string& to, std::string& why) {
    std::error_code ec;
    fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
    if (ec)
        why = "cannot copy " + from + " to " + to + ": " + ec.message();
    return !ec;
}

// The .cue of a data disc: one FILE per session, each followed by the lead-out a recorder leaves.
bool write_cue(const std::string& cue, const DiscImage& disc, bool appendable, std::string& why) {
    std::string tmp = cue + ".tmp";
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    std::string lastFile;
    for (size_t i = 0; i < disc.sessions.size(); ++i) {
        const Session& s = disc.sessions[i];
        if (disc.sessions.size() > 1 || appendable)
            out << "REM SESSION " << (s.number < 10 ? "0" : "") << int(s.number) << "\r\n";
        lba_t fileBase = 0;
        for (const Track& t : s.tracks) {
            if (t.file != lastFile) {
                out << "FILE \"" << fs::path(t.file).filename().string() << "\" BINARY\r\n";
                lastFile = t.file;
                fileBase = t.start - static_cast<lba_t>(t.file_offset / t.sector_size);
            }
            const char* mode = t.mode == TrackMode::Audio   ? "AUDIO"
                               : t.mode == TrackMode::Mode2 ? "MODE2/2352"
                               : t.sector_size == 2352      ? "MODE1/2352"
                                                            : "MODE1/2048";
            char num[4];
            std::snprintf(num, sizeof num, "%02d", t.number);
            out << "  TRACK " << num << " " << mode << "\r\n";
            out << "    INDEX 01 " << msf_text(t.start - fileBase) << "\r\n";
        }
        if (disc.sessions.size() > 1 || appendable)
            out << "REM LEAD-OUT " << msf_text(i == 0 ? kFirstLeadoutSectors : kLaterLeadoutSectors)
                << "\r\n";
    }
    out.close();
    std::error_code ec;
    fs::rename(tmp, cue, ec);
    if (!out || ec) {
        why = "cannot write " + cue;
        return false;
    }
    return true;
}

// Appends `blocks` 2048-byte blocks of `iso` to `img` as raw Mode 1 sectors (sync, header, data, EDC and
// the P and Q parity), as a drive reads them whole.
bool append_raw(const std::string& iso, const std::string& img, lba_t start, uint64_t blocks,
                std::string& why) {
    std::ifstream in(iso, std::ios::binary);
    std::ofstream out(img, std::ios::binary | std::ios::app);
    std::array<uint8_t, VERIFY_RAW_BYTES> raw{};
    for (uint64_t b = 0; b < blocks; ++b) {
        if (!in.read(reinterpret_cast<char*>(raw.data() + 16), 2048))
            break;
        Verify_MakeMode1Sector(raw, start + static_cast<lba_t>(b));
        out.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
    }
    if (!in || !out) {
        why = "cannot write " + img;
        return false;
    }
    return true;
}

bool write_ccd(const std::string& ccd, const DiscImage& disc, std::string& why) {
    auto toc = make_full_toc(disc.sessions, false);
    std::string tmp = ccd + ".tmp";
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << "[CloneCD]\r\nVersion=3\r\n[Disc]\r\nTocEntries=" << toc.size()
        << "\r\nSessions=" << disc.sessions.size() << "\r\nDataTracksScrambled=0\r\nCDTextLength=0\r\n";
    for (const auto& s : disc.sessions)
        out << "[Session " << int(s.number) << "]\r\nPreGapMode=1\r\nPreGapSubC=0\r\n";
    for (size_t i = 0; i < toc.size(); ++i) {
        const auto& e = toc[i];
        out << "[Entry " << i << "]\r\nSession=" << int(e.session) << "\r\nPoint=0x" << std::hex
            << int(e.point) << std::dec << "\r\nADR=0x0" << (e.adr_control >> 4) << "\r\nControl=0x0"
            << (e.adr_control & 15) << "\r\nTrackNo=" << int(e.tno) << "\r\nAMin=" << int(e.min)
            << "\r\nASec=" << int(e.sec) << "\r\nAFrame=" << int(e.frame)
            << "\r\nALBA=" << msf_to_lba(e.min, e.sec, e.frame) << "\r\nZero=" << int(e.zero)
            << "\r\nPMin=" << int(e.pmin) << "\r\nPSec=" << int(e.psec) << "\r\nPFrame=" << int(e.pframe)
            << "\r\nPLBA=" << msf_to_lba(e.pmin, e.psec, e.pframe) << "\r\n";
    }
    for (const auto& s : disc.sessions)
        for (const auto& t : s.tracks)
            out << "[TRACK " << int(t.number) << "]\r\nMODE=" << (t.mode == TrackMode::Audio ? 0 : 1)
                << "\r\nINDEX 1=0\r\n";
    out.close();
    std::error_code ec;
    fs::rename(tmp, ccd, ec);
    if (!out || ec) {
        why = "cannot write " + ccd;
        return false;
    }
    return true;
}

Track data_track(uint8_t number, lba_t start, uint64_t blocks, const std::string& file, bool raw) {
    Track t;
    t.number = number;
    t.control = 0x04;
    t.mode = TrackMode::Mode1;
    t.start = start;
    t.length = static_cast<uint32_t>(blocks);
    t.file = file;
    t.sector_size = raw ? 2352 : 2048;
    t.user_offset = raw ? 16 : 0;
    return t;
}

int add_session(const std::string& discPath, const std::string& iso, bool create) {
    DiscImage disc;
    if (!create) {
        LoadResult lr = load_image(discPath);
        if (!lr)
            return fail(lr.error);
        disc = *lr.disc;
        if (disc.closed)
            return fail(discPath + ": the disc is closed");
        if (disc.sessions.size() >= 99 || disc.sessions.back().tracks.back().number >= 99)
            return fail(discPath + ": no room for another session");
    }
    const lba_t start = create ? 0 : next_session_start(disc.sessions);
    uint64_t blocks = 0;
    std::string why;
    if (!check_session_image(iso, start, blocks, why))
        return fail(why);
    if (static_cast<uint64_t>(start) + blocks > 449850)
        return fail(iso + ": the session does not fit on the disc");
    const uint8_t trackNo = create ? 1 : static_cast<uint8_t>(disc.sessions.back().tracks.back().number + 1);
    Session s;
    s.number = static_cast<uint8_t>(disc.sessions.size() + 1);
    s.leadout = start + static_cast<lba_t>(blocks);
    if (is_ccd(discPath)) {
        std::string img = fs::path(discPath).replace_extension(".img").string();
        if (create)
            std::ofstream(img, std::ios::binary | std::ios::trunc);
        if (!append_raw(iso, img, start, blocks, why))
            return fail(why);
        s.tracks.push_back(data_track(trackNo, start, blocks, img, true));
        disc.sessions.push_back(s);
        return write_ccd(discPath, disc, why) ? 0 : fail(why);
    }
    fs::path bin = fs::path(discPath).replace_extension("");
    bin += s.number == 1 ? ".bin" : "-s" + std::to_string(s.number) + ".bin";
    if (!copy_file(iso, bin.string(), why))
        return fail(why);
    s.tracks.push_back(data_track(trackNo, start, blocks, bin.string(), false));
    disc.sessions.push_back(s);
    return write_cue(discPath, disc, true, why) ? 0 : fail(why);
}

int msinfo(const std::string& discPath) {
    LoadResult lr = load_image(discPath);
    if (!lr)
        return fail(lr.error);
    if (lr.disc->closed)
        return fail(discPath + ": the disc is closed");
    const Session& last = lr.disc->sessions.back();
    std::printf("%d,%d\n", last.tracks.front().start, next_session_start(lr.disc->sessions));
    return 0;
}

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The PCM bytes of a 44.1 kHz 16-bit stereo WAV file, found by walking its RIFF chunks.
bool read_wav(const std::string& path, std::vector<uint8_t>& pcm, std::string& why) {
    std::ifstream in(path, std::ios::binary);
    uint8_t hdr[12];
    if (!in.read(reinterpret_cast<char*>(hdr), 12) || std::memcmp(hdr, "RIFF", 4) ||
        std::memcmp(hdr + 8, "WAVE", 4)) {
        why = path + ": not a RIFF WAVE file";
        return false;
    }
    bool fmtOk = false;
    for (int chunks = 0; chunks < 1000; ++chunks) {
        uint8_t ch[8];
        if (!in.read(reinterpret_cast<char*>(ch), 8))
            break;
        uint32_t len = Le32(ch + 4);
        if (!std::memcmp(ch, "fmt ", 4)) {
            uint8_t f[16];
            if (len < 16 || !in.read(reinterpret_cast<char*>(f), 16)) {
                why = path + ": short fmt chunk";
                return false;
            }
            fmtOk = (le16(f) == 1 || le16(f) == 0xFFFE) && le16(f + 2) == 2 && Le32(f + 4) == 44100 &&
                    le16(f + 14) == 16;
            if (!fmtOk) {
                why = path + ": not 44.1 kHz 16-bit stereo PCM";
                return false;
            }
            in.seekg(len - 16 + (len & 1), std::ios::cur);
        } else if (!std::memcmp(ch, "data", 4)) {
            if (!fmtOk) {
                why = path + ": data before fmt";
                return false;
            }
            if (len > 900u * 1024 * 1024) {
                why = path + ": too long for a CD";
                return false;
            }
            pcm.resize(len);
            in.read(reinterpret_cast<char*>(pcm.data()), len);
            pcm.resize(static_cast<size_t>(in.gcount()) & ~size_t{3});
            return !pcm.empty() || (why = path + ": no samples", false);
        } else {
            in.seekg(len + (len & 1), std::ios::cur);
        }
    }
    why = path + ": no data chunk";
    return false;
}

int audio(const std::string& discPath, const std::vector<std::string>& wavs) {
    if (is_ccd(discPath))
        return fail("audio discs are written as .cue/.bin");
    if (wavs.size() > 99)
        return fail("a CD holds at most 99 tracks");
    fs::path bin = fs::path(discPath).replace_extension(".bin");
    std::ofstream out(bin, std::ios::binary | std::ios::trunc);
    DiscImage disc;
    Session s;
    s.number = 1;
    lba_t pos = 0;
    std::string why;
    for (size_t i = 0; i < wavs.size(); ++i) {
        std::vector<uint8_t> pcm;
        if (!read_wav(wavs[i], pcm, why))
            return fail(why);
        pcm.resize((pcm.size() + 2351) / 2352 * 2352, 0); // whole sectors
        out.write(reinterpret_cast<const char*>(pcm.data()), static_cast<std::streamsize>(pcm.size()));
        Track t;
        t.number = static_cast<uint8_t>(i + 1);
        t.control = 0;
        t.mode = TrackMode::Audio;
        t.start = pos;
        t.length = static_cast<uint32_t>(pcm.size() / 2352);
        t.file = bin.string();
        t.sector_size = 2352;
        t.file_offset = static_cast<uint64_t>(pos) * 2352;
        pos += static_cast<lba_t>(t.length);
        if (pos > 449850)
            return fail("the tracks do not fit on a CD");
        s.tracks.push_back(t);
    }
    s.leadout = pos;
    out.close();
    if (!out)
        return fail("cannot write " + bin.string());
    disc.sessions.push_back(s);
    return write_cue(discPath, disc, false, why) ? 0 : fail(why);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h"))
            std::fputs(kUsageText, stdout);
        else if (!std::strcmp(argv[i], "--version"))
            std::printf("ckvd-mkdisc (CKVD Explorer) %s\n", CKVD_VERSION);
        else
            continue;
        return std::fflush(stdout) == 0 ? 0 : kFail;
    }
    if (argc < 2)
        return usage();
    const std::string cmd = argv[1];
    // A word it does not know is named, not lost in the whole usage.
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] == '-' && argv[i][1]) {
            std::fprintf(stderr, "ckvd-mkdisc: unknown option '%s' (ckvd-mkdisc --help shows the usage)\n",
                         argv[i]);
            return kUsage;
        }
    if (cmd != "create" && cmd != "append" && cmd != "msinfo" && cmd != "audio") {
        std::fprintf(stderr, "ckvd-mkdisc: unknown command '%s' (ckvd-mkdisc --help shows the usage)\n",
                     cmd.c_str());
        return kUsage;
    }
    if (cmd == "create" && argc == 4)
        return add_session(argv[2], argv[3], true);
    if (cmd == "append" && argc == 4)
        return add_session(argv[2], argv[3], false);
    if (cmd == "msinfo" && argc == 3)
        return msinfo(argv[2]);
    if (cmd == "audio" && argc >= 4)
        return audio(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    return usage();
}
