#include "listing/disc_text.h"

#include "iso9660/disc.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "names/name_match.h"

namespace {

template <typename... Args> std::string format(const char* fmt, Args... args) {
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    if (n < 0)
        return {};
    return std::string(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

char* put_text(char* p, const char* text, size_t length) {
    std::memcpy(p, text, length);
    return p + length;
}

// "00" to "99", so that numbers are written two digits at a time.
constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[2 * i] = static_cast<char>('0' + i / 10);
        pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

char* put_pair(char* p, unsigned v) {
    std::memcpy(p, &kDigitPairs[2 * v], 2);
    return p + 2;
}

// `v` in decimal (%u) at `p`; returns the end.
char* put_decimal(char* p, uint32_t v) {
    char digits[10];
    char* const end = digits + sizeof digits;
    char* q = end;
    for (; v >= 100; v /= 100) {
        q -= 2;
        std::memcpy(q, &kDigitPairs[2 * (v % 100)], 2);
    }
    if (v >= 10) {
        q -= 2;
        std::memcpy(q, &kDigitPairs[2 * v], 2);
    } else {
        *--q = static_cast<char>('0' + v);
    }
    return put_text(p, q, static_cast<size_t>(end - q));
}

// A date field as %02d writes it: two digits, three from 100 on.
char* put_date_field(char* p, unsigned v) {
    if (v >= 100)
        *p++ = static_cast<char>('0' + v / 100);
    return put_pair(p, v % 100);
}

} // namespace

char* Report_PutDate(char* p, const uint8_t* date) {
    const unsigned year = 1900u + date[0]; // 1900 to 2155: %04d
    p = put_pair(p, year / 100);
    p = put_pair(p, year % 100);
    *p++ = '-';
    p = put_date_field(p, date[1]);
    *p++ = '-';
    p = put_date_field(p, date[2]);
    *p++ = ' ';
    p = put_date_field(p, date[3]);
    *p++ = ':';
    p = put_date_field(p, date[4]);
    *p++ = ':';
    return put_date_field(p, date[5]);
}

namespace {

// "D|F  LBN  SIZE  YYYY-MM-DD HH:MM:SS  " of an entry at `p`, at most kLineHead bytes; returns the end.
constexpr size_t kLineHead = 64; // 1 + 2 + 10 + 2 + 10 + 2 + 24 (three-digit date fields) + 2
char* put_line_head(char* p, const FileEntry& e) {
    *p++ = e.type != 'F' ? 'D' : (e.flags & ISO_SYMLINK) ? 'L' : 'F';
    p = put_text(p, "  ", 2);
    p = put_decimal(p, e.lbn);
    p = put_text(p, "  ", 2);
    p = put_decimal(p, e.size);
    p = put_text(p, "  ", 2);
    const uint8_t* date = Iso_EntryDate(&e);
    p = date ? Report_PutDate(p, date) : put_text(p, "0000-00-00 00:00:00", 19);
    return put_text(p, "  ", 2);
}

// Text is gathered in `out` and handed to `flush` whenever it reaches about this many bytes.
constexpr size_t kPieceBytes = 64 * 1024;

// " (unreadable: why)" after an entry that could not be read.
void append_unreadable(std::string& out, const FileEntry& e) {
    if (const char* why = Iso_UnreadableReason(&e)) {
        out += " (unreadable: ";
        out += why;
        out += ')';
    }
}

template <class Flush>
void append_tree(std::string& out, FileEntry* root, std::string_view prefix, Flush& flush) {
    char head[kLineHead];
    Report_WalkTree(Iso_CurrentDisc(), root, prefix,
                    [&](const FileEntry& e, const std::string& path, size_t) {
                        out.append(head, static_cast<size_t>(put_line_head(head, e) - head));
                        out += path;
                        if (const char* target = Iso_SymlinkTarget(&e)) {
                            out += " -> ";
                            out += target;
                        }
                        append_unreadable(out, e);
                        out += '\n';
                        if (out.size() >= kPieceBytes)
                            flush(out);
                    });
}

// Whether `folder` names the root: "/", or nothing.
bool is_root(const std::string& folder) {
    return folder.find_first_not_of('/') == std::string::npos;
}

template <class Flush>
void tree_text(const std::string& folder, int sessionIndex, std::string& out, Flush& flush) {
    if (!g_DiscModel)
        return;
    int i = 0;
    for (const SessionTree* t = g_DiscModel->firstTree; t; t = t->next, ++i) {
        if (sessionIndex >= 0 && i != sessionIndex)
            continue;
        DiscPath below{t->root, t->root, i, {}};
        if (!is_root(folder) &&
            ((below = Report_FindPath(folder, i)).entry == nullptr || below.entry->type == 'F'))
            continue;
        out += format("(Session%d) ", i + 1);
        if (t->root) {
            out += Iso_EntryName(t->root);
            append_unreadable(out, *t->root);
        }
        out += '\n';
        append_tree(out, below.entry, below.path, flush);
    }
}

} // namespace

void Report_WalkTree(FileEntry* root,
                     const std::function<void(FileEntry&, const std::string&, size_t)>& visit) {
    Report_WalkTree(Iso_CurrentDisc(), root, visit);
}

void Report_WalkTree(const Disc& disc, FileEntry* root,
                     const std::function<void(FileEntry&, const std::string&, size_t)>& visit) {
    Report_WalkTree(disc, root, {}, visit);
}

void Report_WalkTree(const Disc& disc, FileEntry* root, std::string_view prefix,
                     const std::function<void(FileEntry&, const std::string&, size_t)>& visit) {
    if (!root)
        return;
    // Without recursion, one path buffer for every entry: a level keeps where its parent's path ends and
    // the sibling that comes next.
    struct Level {
        FileEntry* next;
        size_t pathLength;
    };
    std::vector<Level> levels{{root->firstChild, prefix.size()}};
    std::string path(prefix);
    while (!levels.empty()) {
        Level& level = levels.back();
        FileEntry* e = level.next;
        if (!e) {
            levels.pop_back();
            continue;
        }
        level.next = e->nextSibling;
        const size_t directoryLength = level.pathLength;
        path.resize(directoryLength);
        path += '/';
        path += Iso_EntryName(disc, e);
        visit(*e, path, directoryLength);
        if (e->type != 'F')
            levels.push_back({e->firstChild, path.size()});
    }
}

std::string Report_SjisToUtf8(const char* sjis) {
    std::string out;
    Iso_AppendSjisAsUtf8(out, sjis, SIZE_MAX);
    return out;
}

std::string Report_ValueText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Report_SjisValueText(std::string_view sjis) {
    std::string utf8;
    Iso_AppendSjisAsUtf8(utf8, sjis.data(), sjis.size());
    return Report_ValueText(utf8);
}

std::string Report_DiscTypeName(uint8_t sessionType, uint8_t firstSessionType) {
    switch (sessionType >> 4) {
    case 0x0:
        return Iso_IsDataType(firstSessionType) ? "CD-ROM" : "Audio";
    case 0x2:
        return "CD-XA";
    default:
        return format("0x%02X", sessionType);
    }
}

std::string Report_Utf8ToSjis(std::string_view utf8, std::vector<SjisReplacement>* replaced) {
    std::string out;
    auto note = [replaced](std::string original, const char* written) {
        if (!replaced)
            return;
        for (const SjisReplacement& r : *replaced)
            if (r.original == original)
                return;
        replaced->push_back({std::move(original), written});
    };
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        size_t len = 0;
        const uint32_t cp = Iso_DecodeUtf8(p + i, n - i, &len);
        if (len == 0) {
            char shown[8];
            std::snprintf(shown, sizeof shown, "\\x%02X", p[i]);
            note(shown, "?");
            out += '?';
            ++i;
            continue;
        }
        const std::string_view original = utf8.substr(i, len);
        i += len;
        if (cp < 0x80) {
            out += char(cp);
            continue;
        }
        if (cp >= 0xFF61 && cp <= 0xFF9F) {
            out += char(0xA1 + (cp - 0xFF61)); // half-width katakana are single bytes
            continue;
        }
        // As Joliet names are converted: Latin-1 folded to an ASCII look-alike, the rest through JIS X 0208,
        // "?" for a character without a code.
        char written[3] = "?";
        if (cp <= 0xFFFF) {
            const uint8_t ucs2[2] = {uint8_t(cp & 0xFF), uint8_t(cp >> 8)};
            Iso_UcsToSjis(written, sizeof written, ucs2, 1, 1, 0);
        }
        out += written;
        if (written[1] == 0)
            note(std::string(original), written);
    }
    return out;
}

std::string Report_TrackTypeName(const SessionEntry* session, const TrackEntry* track,
                                 uint8_t firstSessionType) {
    if (Iso_IsAudioTrack(track))
        return "Audio";
    const std::string name = Report_DiscTypeName(session->type, firstSessionType);
    return name == "Audio" ? "CD-ROM" : name;
}

const char* Report_TrackKind(const TrackEntry* track) {
    return Iso_IsAudioTrack(track) ? "Audio" : "Data";
}

bool Report_MixedTracks(const DiscModel* model) {
    bool audio = false, data = false;
    for (const SessionEntry* s = model ? model->firstSession : nullptr; s; s = s->next)
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            (Iso_IsAudioTrack(t) ? audio : data) = true;
    return audio && data;
}

std::string Report_TocText() {
    std::string out;
    if (!g_DiscModel)
        return out;
    const SessionEntry* first = g_DiscModel->firstSession;
    for (const SessionEntry* s = first; s; s = s->next) {
        std::string type = Report_DiscTypeName(s->type, first->type);
        // TOC addresses are signed: before 00:02:00 and in the lead-in (90:00:00 and later) they are
        // negative.
        out += format("session %u %s %u %u %d %d %d\n", s->sessionNumber, type.c_str(), s->lastBlock,
                      s->blockLength, int32_t(s->leadIn), int32_t(s->leadOut), int32_t(s->nextProgramArea));
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            out += format("%u %u %s %d %u %u\n", s->sessionNumber, t->trackNumber,
                          Report_TrackTypeName(s, t, first->type).c_str(), int32_t(t->address), t->size,
                          s->pvdLbn);
    }
    return out;
}

std::string Report_TreeText(int sessionIndex) {
    std::string out;
    auto keep = [](std::string&) {};
    tree_text("/", sessionIndex, out, keep);
    return out;
}

void Report_WriteTreeText(int sessionIndex, const std::function<void(std::string_view)>& write) {
    Report_WriteFolderText("/", sessionIndex, write);
}

bool Report_HoldsFolder(const std::string& folder, int sessionIndex) {
    int count = 0;
    for (const SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        ++count;
    for (int i = 0; i < count; ++i)
        if (sessionIndex < 0 || i == sessionIndex) {
            if (is_root(folder))
                return true;
            const DiscPath found = Report_FindPath(folder, i);
            if (found.entry && found.entry->type != 'F')
                return true;
        }
    return false;
}

void Report_WriteFolderText(const std::string& folder, int sessionIndex,
                            const std::function<void(std::string_view)>& write) {
    std::string out;
    out.reserve(kPieceBytes + 4096);
    auto flush = [&write](std::string& text) {
        write(text);
        text.clear();
    };
    tree_text(folder, sessionIndex, out, flush);
    if (!out.empty())
        write(out);
}

DiscPath Report_FindPath(const std::string& utf8Path, int sessionIndex) {
    std::vector<std::string> parts;
    for (size_t start = 0; start <= utf8Path.size();) {
        size_t slash = utf8Path.find('/', start);
        if (slash == std::string::npos)
            slash = utf8Path.size();
        if (slash > start)
            parts.push_back(Report_NfcText(std::string_view(utf8Path).substr(start, slash - start)));
        start = slash + 1;
    }
    std::vector<SessionTree*> trees;
    for (SessionTree* t = g_DiscModel ? g_DiscModel->firstTree : nullptr; t; t = t->next)
        trees.push_back(t);
    for (int i = int(trees.size()) - 1; i >= 0; --i) {
        if (sessionIndex >= 0 && i != sessionIndex)
            continue;
        FileEntry* dir = trees[size_t(i)]->root;
        FileEntry* entry = dir;
        std::string path;
        for (size_t k = 0; entry && k < parts.size(); ++k) {
            if (k > 0)
                dir = entry;
            if (dir->type == 'F') {
                entry = nullptr;
                break;
            }
            entry = Report_FindChild(dir, parts[k], trees[size_t(i)]);
            if (entry)
                path += std::string("/") + Iso_EntryName(entry);
        }
        if (entry)
            return {entry, entry->type == 'F' ? dir : entry, i, std::move(path)};
    }
    return {};
}
