// cdrdao .toc sheets: one session of tracks, each composed of SILENCE/ZERO lengths and pieces of files
// (FILE/AUDIOFILE for audio, DATAFILE for any track), with START or PREGAP marking where index 1 begins.
// Tracks follow each other without gaps; a track's pregap is the part before its START. File names are
// relative to the sheet's folder. Raw audio files hold their samples most significant byte first, WAVE files
// and DATAFILEs as the CD does.
//
// The sheet is read as tokens (words, quoted strings, braces), then statements into a description of each
// track's pieces, then that description onto disc addresses. A track's sectors from INDEX 01 on may join
// pieces of several files and zeros in any order, as cdrdao writes them; each piece was held to its file's
// length as it was read.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

#include "images/disc_image.h"
#include "images/sheet_cdtext.h"
#include "platform/bytes/byte_order.h"

namespace ckvd::images {

namespace {

constexpr uint64_t kMaxSheetBytes = 1 << 20; // a sheet of 99 tracks is a few KiB
constexpr size_t kMaxFiles = 200;            // distinct files a sheet may name

struct SheetError {
    int line = 0;
    std::string what;
};
using Refusal = std::optional<SheetError>;

using Token = SheetWord;

// A piece of a track: bytes of a file from `offset` on, or zeros when `file` is empty.
struct Piece {
    std::string file;
    uint64_t offset = 0, bytes = 0;
    bool swap = false;
    int line = 0;
};

struct PendingTrack {
    Track track;
    int line = 0;
    uint32_t block = 2352;       // bytes a sector takes in the files (with sub-channel data)
    std::vector<Piece> pieces;   // in order
    uint64_t bytes = 0;          // all pieces together
    std::optional<uint64_t> gap; // bytes before INDEX 01, from START or PREGAP
    std::vector<Token> indexes;  // INDEX positions, from INDEX 01 on
    bool audio() const { return track.mode == TrackMode::Audio; }
};

// A file as the pieces read it: where its samples or data begin and how many bytes they are.
struct DataFile {
    std::string path;
    uint64_t offset = 0, size = 0;
};

struct TocSheet {
    std::filesystem::path dir;
    std::optional<uint8_t> discType;
    std::vector<PendingTrack> tracks;
    std::map<std::string, DataFile> files; // by name as written, "W:" before a WAVE file's
    DiscImage* disc = nullptr;             // where CD_TEXT, ISRC and CATALOG go
    int textLanguage = -1;                 // the CD_TEXT language read, once the disc's block chose it
};

bool is_octal(const std::string& text, size_t at) {
    return text[at] >= '0' && text[at] <= '3' && text[at + 1] >= '0' && text[at + 1] <= '7' &&
           text[at + 2] >= '0' && text[at + 2] <= '7';
}

// Words, quoted strings (with \" and \\), '{' and '}'; "//" comments dropped.
Refusal tokenize(const std::string& text, std::vector<Token>& out) {
    int line = 1;
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') {
            while (i < text.size() && text[i] != '\n')
                ++i;
        } else if (c == '"') {
            Token t{{}, line, true};
            for (++i;; ++i) {
                if (i >= text.size() || text[i] == '\n')
                    return SheetError{t.line, "a string without its closing quote"};
                if (text[i] == '"')
                    break;
                if (text[i] == '\\' && i + 3 < text.size() && is_octal(text, i + 1)) { // \ooo: one byte
                    t.text += static_cast<char>((text[i + 1] - '0') << 6 | (text[i + 2] - '0') << 3 |
                                                (text[i + 3] - '0'));
                    i += 3;
                    continue;
                }
                if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n')
                    ++i;
                t.text += text[i];
            }
            ++i;
            out.push_back(std::move(t));
        } else if (c == '{' || c == '}') {
            out.push_back({std::string(1, c), line, false});
            ++i;
        } else {
            Token t{{}, line, false};
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) && text[i] != '"' &&
                   text[i] != '{' && text[i] != '}' && text.compare(i, 2, "//") != 0)
                t.text += text[i++];
            out.push_back(std::move(t));
        }
    }
    return std::nullopt;
}

class Cursor {
  public:
    explicit Cursor(const std::vector<Token>& t) : tokens_(t) {}
    bool done() const { return at_ >= tokens_.size(); }
    const Token* peek() const { return done() ? nullptr : &tokens_[at_]; }
    const Token& next() { return tokens_[at_++]; }
    // The line of the last token taken, for a statement cut short by the end of the sheet.
    int line() const { return tokens_.empty() ? 0 : tokens_[at_ == 0 ? 0 : at_ - 1].line; }
    bool next_is_value() const {
        const Token* t = peek();
        return t && !t->quoted && std::isdigit(static_cast<unsigned char>(t->text[0]));
    }
    bool next_is(const char* word) const {
        const Token* t = peek();
        return t && !t->quoted && t->text == word;
    }

  private:
    const std::vector<Token>& tokens_;
    size_t at_ = 0;
};

std::optional<uint64_t> digits(const std::string& s) {
    if (s.empty() || s.size() > 15 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoull(s);
}

// MM:SS:FF as a count of blocks.
std::optional<uint64_t> msf_blocks(const std::string& s) {
    const auto a = s.find(':'), b = s.find(':', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos)
        return std::nullopt;
    const auto m = digits(s.substr(0, a)), sec = digits(s.substr(a + 1, b - a - 1)),
               f = digits(s.substr(b + 1));
    if (!m || !sec || !f || *m > 99 || *sec > 59 || *f > 74)
        return std::nullopt;
    return static_cast<uint64_t>(msf_frames(uint8_t(*m), uint8_t(*sec), uint8_t(*f)));
}

// A length or position: MM:SS:FF blocks of `block` bytes, or a count of `unit` bytes (samples of 4 bytes
// in an audio track, bytes in a data track).
std::optional<uint64_t> value_bytes(const Token& t, uint64_t unit, uint32_t block) {
    if (t.quoted)
        return std::nullopt;
    if (t.text.find(':') != std::string::npos) {
        auto b = msf_blocks(t.text);
        return b ? std::optional(*b * block) : std::nullopt;
    }
    auto n = digits(t.text);
    return n ? std::optional(*n * unit) : std::nullopt;
}

// Mode, sector size and user data offset of a TRACK's mode word (cdrdao(1): the input block lengths).
bool set_track_mode(const std::string& mode, Track& t) {
    struct ModeInfo {
        const char* name;
        TrackMode mode;
        uint32_t size, user;
    };
    static constexpr ModeInfo kModes[] = {
        {"AUDIO", TrackMode::Audio, 2352, 0},          {"MODE1", TrackMode::Mode1, 2048, 0},
        {"MODE1_RAW", TrackMode::Mode1, 2352, 16},     {"MODE2", TrackMode::Mode2, 2336, 8},
        {"MODE2_FORM1", TrackMode::Mode2, 2048, 0},    {"MODE2_FORM2", TrackMode::Mode2, 2324, 0},
        {"MODE2_FORM_MIX", TrackMode::Mode2, 2336, 8}, {"MODE2_RAW", TrackMode::Mode2, 2352, 24},
    };
    for (const auto& m : kModes)
        if (mode == m.name) {
            t.mode = m.mode;
            t.sector_size = m.size;
            t.user_offset = m.user;
            t.form2 = mode == "MODE2_FORM2";
            return true;
        }
    return false;
}

// A CD_TEXT block, its braces nesting, its strings already tokens, into the text of the disc (`track` 0) or a
// track.
Refusal text_block(TocSheet& sheet, Cursor& c, const Token& keyword, uint8_t track) {
    if (!c.next_is("{"))
        return SheetError{keyword.line, keyword.text + " without '{'"};
    int depth = 0;
    std::vector<Token> words;
    while (!c.done()) {
        const Token& t = c.next();
        words.push_back(t);
        if (!t.quoted && t.text == "{") {
            ++depth;
        } else if (!t.quoted && t.text == "}" && --depth == 0) {
            toc_text_block(*sheet.disc, track, words, sheet.textLanguage);
            return std::nullopt;
        }
    }
    return SheetError{keyword.line, keyword.text + " block without its closing '}'"};
}

// RIFF chunks up to "data", which must follow a "fmt " of 16-bit stereo 44.1 kHz PCM.
Refusal read_wave(const std::string& path, uint64_t size, int line, DataFile& f) {
    std::ifstream in(path, std::ios::binary);
    auto u32 = [](const unsigned char* p) { return bytes::Le32(p); };
    unsigned char h[16];
    if (!in.read(reinterpret_cast<char*>(h), 12) || std::string(reinterpret_cast<char*>(h), 4) != "RIFF" ||
        std::string(reinterpret_cast<char*>(h) + 8, 4) != "WAVE")
        return SheetError{line, "'" + path + "' is not a WAVE file"};
    bool pcm = false;
    uint64_t at = 12;
    for (int chunks = 0; at + 8 <= size && chunks < 1000; ++chunks) {
        if (!in.seekg(std::streamoff(at)) || !in.read(reinterpret_cast<char*>(h), 8))
            break;
        const std::string id(reinterpret_cast<char*>(h), 4);
        const uint64_t len = u32(h + 4);
        if (at + 8 + len > size)
            return SheetError{line, "WAVE file '" + path + "': chunk '" + id + "' at byte " + grouped(at) +
                                        " runs past the end of the file"};
        if (id == "fmt ") {
            if (len < 16 || !in.read(reinterpret_cast<char*>(h), 16))
                break;
            pcm = h[0] == 1 && h[1] == 0 && h[2] == 2 && h[3] == 0 && u32(h + 4) == 44100 && h[14] == 16 &&
                  h[15] == 0;
            if (!pcm)
                return SheetError{line, "WAVE file '" + path + "' is not 16-bit stereo 44.1 kHz PCM"};
        } else if (id == "data") {
            if (!pcm)
                break;
            f.offset = at + 8;
            f.size = len;
            return std::nullopt;
        }
        at += 8 + len + (len & 1);
    }
    return SheetError{line, "WAVE file '" + path + "' has no PCM format and data chunks"};
}

// The file a FILE/AUDIOFILE (`wave` for a .wav name) or DATAFILE statement names, looked up in the sheet's
// folder in any case.
Refusal find_file(TocSheet& sheet, const Token& name, bool wave, const DataFile*& out) {
    const std::string key = (wave ? "W:" : "R:") + name.text;
    if (auto it = sheet.files.find(key); it != sheet.files.end()) {
        out = &it->second;
        return std::nullopt;
    }
    if (name.text.empty() || name.text == "-")
        return SheetError{name.line, "a file name is needed (standard input cannot be read from an image)"};
    if (sheet.files.size() >= kMaxFiles)
        return SheetError{name.line, "more than " + std::to_string(kMaxFiles) + " files"};
    namespace fs = std::filesystem;
    const fs::path p = fs::path(name.text).is_absolute() ? fs::path(name.text) : sheet.dir / name.text;
    const auto found = files_any_case(p.string());
    const std::string where = p.has_parent_path() ? p.parent_path().string() : ".";
    if (found.empty())
        return SheetError{name.line, "missing file '" + p.string() +
                                         "' (no file of that name, in any case, in " + where + ")"};
    if (found.size() > 1)
        return SheetError{name.line, "ambiguous file '" + p.string() + "': " + std::to_string(found.size()) +
                                         " files in " + where + " differ only in case"};
    struct stat st {};
    if (::stat(found.front().c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return SheetError{name.line, "cannot read file '" + found.front() + "'"};
    DataFile f{found.front(), 0, static_cast<uint64_t>(st.st_size)};
    if (wave)
        if (Refusal bad = read_wave(f.path, f.size, name.line, f))
            return bad;
    out = &sheet.files.emplace(key, f).first->second;
    return std::nullopt;
}

bool ends_with_wav(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string ext = name.substr(name.size() - 4);
    for (auto& ch : ext)
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return ext == ".wav";
}

// Adds a piece to `t`, its bytes bounded by a CD's length so no sum overflows.
Refusal add_piece(PendingTrack& t, Piece p) {
    const uint64_t cd = kMaxCdBlocks * t.block;
    if (p.bytes > cd || t.bytes + p.bytes > cd)
        return SheetError{p.line, "track " + std::to_string(t.track.number) +
                                      " runs past the end of a CD (99:59:74)"};
    t.bytes += p.bytes;
    t.pieces.push_back(std::move(p));
    return std::nullopt;
}

// FILE/AUDIOFILE "name" start [length] and DATAFILE "name" [#offset] [length]: a piece of a file.
Refusal parse_file_piece(TocSheet& sheet, Cursor& c, const Token& kw, PendingTrack& t) {
    const bool data = kw.text == "DATAFILE";
    if (!c.peek() || !c.peek()->quoted)
        return SheetError{kw.line, kw.text + " without a quoted file name"};
    const Token& name = c.next();
    const bool wave = !data && ends_with_wav(name.text);
    const DataFile* f = nullptr;
    if (Refusal bad = find_file(sheet, name, wave, f))
        return bad;
    // Samples of FILE/AUDIOFILE in an audio track, bytes otherwise (as cdrdao counts DATAFILE lengths).
    const uint64_t unit = t.audio() && !data ? 4 : 1;
    uint64_t start = 0;
    if (data && c.peek() && !c.peek()->quoted && c.peek()->text[0] == '#') {
        const Token& off = c.next();
        auto n = digits(off.text.substr(1));
        if (!n)
            return SheetError{off.line, "bad byte offset '" + off.text + "'"};
        start = *n;
    } else if (!data) {
        if (!c.next_is_value())
            return SheetError{kw.line, kw.text + " without a start position"};
        const Token& s = c.next();
        auto v = value_bytes(s, unit, t.block);
        if (!v)
            return SheetError{s.line, "bad start position '" + s.text + "'"};
        start = *v;
    }
    std::optional<uint64_t> length;
    if (c.next_is_value()) {
        const Token& l = c.next();
        length = value_bytes(l, unit, t.block);
        if (!length)
            return SheetError{l.line, "bad length '" + l.text + "'"};
    }
    if (start > f->size)
        return SheetError{name.line, "start at byte " + grouped(start) + " past the end of '" + f->path +
                                         "' (" + grouped(f->size) + " bytes of data)"};
    if (!length || *length == 0)
        length = f->size - start;
    if (*length > f->size - start)
        return SheetError{name.line, "track " + std::to_string(t.track.number) + " runs past the end of '" +
                                         f->path + "': bytes " + grouped(start) + " to " +
                                         grouped(start + *length) + " of " + grouped(f->size)};
    return add_piece(t, {f->path, f->offset + start, *length, t.audio() && !data && !wave, name.line});
}

// One statement of a track, its keyword `kw` taken.
Refusal parse_track_statement(TocSheet& sheet, Cursor& c, const Token& kw, PendingTrack& t) {
    const std::string& w = kw.text;
    if (w == "NO") {
        if (c.next_is("COPY"))
            t.track.control &= static_cast<uint8_t>(~0x02);
        else if (c.next_is("PRE_EMPHASIS"))
            t.track.control &= static_cast<uint8_t>(~0x01);
        else
            return SheetError{kw.line, "NO without COPY or PRE_EMPHASIS"};
        c.next();
    } else if (w == "COPY") {
        t.track.control |= 0x02;
    } else if (w == "PRE_EMPHASIS" || w == "TWO_CHANNEL_AUDIO" || w == "FOUR_CHANNEL_AUDIO") {
        if (t.audio() && w != "TWO_CHANNEL_AUDIO")
            t.track.control |= w == "PRE_EMPHASIS" ? 0x01 : 0x08;
        else if (t.audio())
            t.track.control &= static_cast<uint8_t>(~0x08);
    } else if (w == "ISRC") {
        if (!c.peek() || !c.peek()->quoted)
            return SheetError{kw.line, "ISRC without a quoted code"};
        toc_code(*sheet.disc, t.track.number, c.next());
    } else if (w == "CD_TEXT") {
        return text_block(sheet, c, kw, t.track.number);
    } else if (w == "SILENCE" || w == "ZERO" || w == "PREGAP") {
        if (!c.next_is_value())
            return SheetError{kw.line, w + " without a length"};
        const Token& l = c.next();
        // cdrdao counts SILENCE in samples, ZERO in bytes (its DATAFILE family) whatever the track.
        auto v = value_bytes(l, w == "PREGAP" ? 0 : (w == "SILENCE" ? 4 : 1), t.block);
        if (!v || (w == "PREGAP" && *v == 0))
            return SheetError{l.line, "bad length '" + l.text + "'"};
        if (w == "PREGAP") {
            if (t.gap || !t.pieces.empty())
                return SheetError{kw.line, "PREGAP after the track's data or its START"};
            t.gap = *v;
        }
        return add_piece(t, {{}, 0, *v, false, l.line});
    } else if (w == "FILE" || w == "AUDIOFILE" || w == "DATAFILE") {
        return parse_file_piece(sheet, c, kw, t);
    } else if (w == "START") {
        if (t.gap)
            return SheetError{kw.line, "a second START or PREGAP in one track"};
        if (c.next_is_value()) {
            const Token& p = c.next();
            auto b = msf_blocks(p.text);
            if (!b)
                return SheetError{p.line, "bad START position '" + p.text + "'"};
            t.gap = *b * t.block;
        } else {
            t.gap = (t.bytes + t.block - 1) / t.block * t.block; // rounded up to a whole block
        }
    } else if (w == "INDEX") {
        if (!c.next_is_value())
            return SheetError{kw.line, "INDEX without a position"};
        if (t.indexes.size() >= 98)
            return SheetError{kw.line, "more than 99 indexes in a track"};
        t.indexes.push_back(c.next());
    } else if (w == "FIFO") {
        return SheetError{kw.line, "FIFO data cannot be read from an image"};
    } else {
        return SheetError{kw.line, "unknown statement '" + w + "'"};
    }
    return std::nullopt;
}

Refusal parse_toc(Cursor& c, TocSheet& sheet) {
    while (!c.done()) {
        const Token& kw = c.next();
        if (kw.quoted)
            return SheetError{kw.line, "a string where a statement was expected"};
        const std::string& w = kw.text;
        if (w == "TRACK") {
            if (sheet.tracks.size() >= 99)
                return SheetError{kw.line, "more than 99 tracks"};
            PendingTrack t;
            t.line = kw.line;
            t.track.number = static_cast<uint8_t>(sheet.tracks.size() + 1);
            const Token* mode = c.peek();
            if (!mode || mode->quoted)
                return SheetError{kw.line, "TRACK without a mode"};
            if (!set_track_mode(mode->text, t.track))
                return SheetError{kw.line, "unsupported track mode '" + mode->text + "'"};
            c.next();
            t.track.control = t.audio() ? 0x00 : 0x04;
            t.block = t.track.sector_size;
            if (c.next_is("RW") || c.next_is("RW_RAW")) {
                c.next();
                t.track.sector_size += 96;
                t.block += 96;
            }
            sheet.tracks.push_back(std::move(t));
        } else if (sheet.tracks.empty()) {
            if (w == "CD_DA" || w == "CD_ROM")
                sheet.discType = 0x00;
            else if (w == "CD_ROM_XA")
                sheet.discType = 0x20;
            else if (w == "CD_I")
                sheet.discType = 0x10;
            else if (w == "CATALOG") {
                if (!c.peek() || !c.peek()->quoted)
                    return SheetError{kw.line, "CATALOG without a quoted number"};
                toc_code(*sheet.disc, 0, c.next());
            } else if (w == "CD_TEXT") {
                if (Refusal bad = text_block(sheet, c, kw, 0))
                    return bad;
            } else {
                return SheetError{kw.line, "unknown statement '" + w + "' before the first TRACK"};
            }
        } else if (Refusal bad = parse_track_statement(sheet, c, kw, sheet.tracks.back())) {
            return bad;
        }
    }
    if (sheet.tracks.empty())
        return SheetError{c.line(), "no tracks"};
    return std::nullopt;
}

// Where track `t`'s sectors from INDEX 01 on live: one piece of a file then zeros as a plain track, else
// its pieces of files and zeros one after another (a sector may span two).
void map_track(const PendingTrack& t, uint64_t gapBytes, Track& tr) {
    tr.file.clear();
    tr.file_bytes = 0;
    uint64_t skip = gapBytes, at = 0;
    for (const Piece& p : t.pieces) {
        const uint64_t cut = std::min(skip, p.bytes);
        skip -= cut;
        if (p.bytes == cut)
            continue;
        TrackPiece piece{p.file, p.file.empty() ? 0 : p.offset + cut, p.bytes - cut, at, p.swap};
        TrackPiece* last = tr.pieces.empty() ? nullptr : &tr.pieces.back();
        // The file's next bytes, or more zeros: one piece still.
        if (last && last->file == piece.file && last->swap == piece.swap &&
            (piece.file.empty() || last->offset + last->bytes == piece.offset))
            last->bytes += piece.bytes;
        else
            tr.pieces.push_back(std::move(piece));
        at += p.bytes - cut;
    }
    if (!tr.pieces.empty() && tr.pieces.back().file.empty())
        tr.pieces.pop_back(); // zeros at the end are what a track reads past its pieces
    if (tr.pieces.empty())
        return;
    if (tr.pieces.size() == 1) {
        tr.file = tr.pieces[0].file;
        tr.file_offset = tr.pieces[0].offset;
        tr.file_bytes = tr.pieces[0].bytes;
        tr.swap_samples = tr.pieces[0].swap;
        tr.pieces.clear();
    }
}

// The tracks one after another from LBA 0: each's pregap, then its sectors from INDEX 01 on.
Refusal lay_out_toc(const TocSheet& sheet, DiscImage& disc) {
    Session s;
    s.number = 1;
    uint64_t abs = 0;
    bool mode2 = false;
    for (const PendingTrack& t : sheet.tracks) {
        const std::string name = "track " + std::to_string(t.track.number);
        const uint64_t sectors = (t.bytes + t.block - 1) / t.block;
        const uint64_t gap = t.gap.value_or(0) / t.block;
        if (sectors > kMaxCdBlocks || abs + sectors > kMaxCdBlocks)
            return SheetError{t.line, name + " runs past the end of a CD (99:59:74)"};
        if (sectors == 0)
            return SheetError{t.line, name + " holds no data (no FILE, DATAFILE, ZERO or SILENCE)"};
        if (gap >= sectors)
            return SheetError{t.line, name + " has no sectors after its START or PREGAP"};
        uint64_t last = 0;
        for (const Token& i : t.indexes) {
            auto b = msf_blocks(i.text);
            if (!b || *b <= last || *b >= sectors - gap)
                return SheetError{i.line,
                                  "INDEX " + i.text + " not inside " + name + " after the previous index"};
            last = *b;
        }
        Track tr = t.track;
        map_track(t, gap * t.block, tr);
        tr.start = static_cast<lba_t>(abs + gap);
        tr.length = static_cast<uint32_t>(sectors - gap);
        abs += sectors;
        mode2 = mode2 || tr.mode == TrackMode::Mode2;
        s.tracks.push_back(std::move(tr));
    }
    s.leadout = static_cast<lba_t>(abs);
    // The sheet's disc type as given (the last one); without one, CD-ROM XA when a track is in mode 2.
    s.disc_type = sheet.discType.value_or(mode2 ? 0x20 : 0x00);
    disc.sessions.push_back(std::move(s));
    return std::nullopt;
}

} // namespace

LoadResult load_toc(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return load_failure(path, 0, "cannot open the toc sheet");
    std::string text;
    text.resize(kMaxSheetBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxSheetBytes)
        return load_failure(path, 0, "a toc sheet larger than " + grouped(kMaxSheetBytes) + " bytes");
    std::vector<Token> tokens;
    TocSheet sheet;
    sheet.dir = std::filesystem::path(path).parent_path();
    auto disc = std::make_unique<DiscImage>();
    disc->path = path;
    sheet.disc = disc.get();
    Refusal bad = tokenize(text, tokens);
    Cursor cursor(tokens);
    if (!bad)
        bad = parse_toc(cursor, sheet);
    if (!bad)
        bad = lay_out_toc(sheet, *disc);
    if (bad)
        return load_failure(path, bad->line, bad->what);
    return closed_disc(std::move(disc));
}

} // namespace ckvd::images
