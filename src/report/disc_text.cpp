#include "report/disc_text.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "iso9660/iso9660.h"

namespace {

void append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

template <typename... Args> std::string format(const char* fmt, Args... args) {
    char buf[512];
    int n = std::snprintf(buf, sizeof buf, fmt, args...);
    if (n < 0)
        return {};
    return std::string(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

std::string date_text(const FileEntry& e) {
    if (e.type != 'F')
        return "0000-00-00 00:00:00";
    return format("%04d-%02d-%02d %02d:%02d:%02d", 1900 + e.date[0], e.date[1], e.date[2], e.date[3],
                  e.date[4], e.date[5]);
}

// Depth first over one session's tree without recursion: a directory's line comes before its children.
void append_tree(std::string& out, const FileEntry* root) {
    struct Frame {
        const FileEntry* entry;
        std::string parentPath;
    };
    std::vector<Frame> stack;
    // Siblings are pushed in reverse so that they pop in model order.
    auto push_children = [&stack](const FileEntry* first, const std::string& path) {
        std::vector<const FileEntry*> kids;
        for (const FileEntry* c = first; c; c = c->nextSibling)
            kids.push_back(c);
        for (auto it = kids.rbegin(); it != kids.rend(); ++it)
            stack.push_back({*it, path});
    };
    if (!root)
        return;
    push_children(root->firstChild, "");
    while (!stack.empty()) {
        Frame f = std::move(stack.back());
        stack.pop_back();
        std::string path = f.parentPath + "/" + Report_SjisToUtf8(f.entry->name);
        out += format("%c  %u  %u  ", f.entry->type == 'F' ? 'F' : 'D', f.entry->lbn, f.entry->size);
        out += date_text(*f.entry);
        out += "  " + path + "\n";
        if (f.entry->type != 'F')
            push_children(f.entry->firstChild, path);
    }
}

} // namespace

std::string Report_SjisToUtf8(const char* sjis) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(sjis);
    for (size_t i = 0; p[i] != 0;) {
        unsigned b = p[i];
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
        } else if (b >= 0xA1 && b <= 0xDF) {
            append_utf8(out, 0xFF61 + (b - 0xA1)); // half-width katakana
            ++i;
        } else if (p[i + 1] != 0) {
            uint16_t jis = Sjis_ToJis(static_cast<uint16_t>((b << 8) | p[i + 1]));
            uint16_t cp = jis ? Jis_ToUnicode(jis) : 0;
            append_utf8(out, cp ? cp : 0xFFFD);
            i += 2;
        } else {
            append_utf8(out, 0xFFFD);
            ++i;
        }
    }
    return out;
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

std::string Report_TocText() {
    std::string out;
    if (!g_DiscModel)
        return out;
    const SessionEntry* first = g_DiscModel->firstSession;
    for (const SessionEntry* s = first; s; s = s->next) {
        std::string type = Report_DiscTypeName(s->type, first->type);
        // TOC addresses are signed: before 00:02:00 and in the lead-in (90:00:00 and later) they are negative.
        out += format("session %u %s %u %u %d %d %d\n", s->sessionNumber, type.c_str(), s->lastBlock,
                      s->blockLength, int32_t(s->leadIn), int32_t(s->leadOut), int32_t(s->nextProgramArea));
        for (const TrackEntry* t = s->firstTrack; t; t = t->next)
            out += format("%u %u %s %d %u %u\n", s->sessionNumber, t->trackNumber, type.c_str(),
                          int32_t(t->address), t->size, s->pvdLbn);
    }
    return out;
}

std::string Report_TreeText(int sessionIndex) {
    std::string out;
    if (!g_DiscModel)
        return out;
    int i = 0;
    for (const SessionTree* t = g_DiscModel->firstTree; t; t = t->next, ++i) {
        if (sessionIndex >= 0 && i != sessionIndex)
            continue;
        out += format("(Session%d) ", i + 1) + (t->root ? Report_SjisToUtf8(t->root->name) : std::string()) +
               "\n";
        append_tree(out, t->root);
    }
    return out;
}
