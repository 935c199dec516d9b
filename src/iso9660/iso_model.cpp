// The disc model's lifetime and its two small helpers.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

DiscModel* g_DiscModel = nullptr;
uint16_t g_CurrentSession = 0;

namespace iso_internal {

std::vector<uint8_t> g_TocBuffer;
uint16_t g_TocDataLength = 0;

void ReleaseSessions(DiscModel* model) {
    if (!model)
        return;
    for (SessionEntry* s = model->firstSession; s;) {
        for (TrackEntry* t = s->firstTrack; t;) {
            TrackEntry* nt = t->next;
            delete t;
            t = nt;
        }
        SessionEntry* ns = s->next;
        delete s;
        s = ns;
    }
    model->firstSession = nullptr;
    model->currentSessionEntry = nullptr;
}

// Iterative, so a tree of any depth is released without recursion.
void ReleaseEntries(FileEntry* root) {
    std::vector<FileEntry*> pending;
    if (root)
        pending.push_back(root);
    while (!pending.empty()) {
        FileEntry* e = pending.back();
        pending.pop_back();
        if (e->nextSibling)
            pending.push_back(e->nextSibling);
        if (e->firstChild)
            pending.push_back(e->firstChild);
        delete e;
    }
}

void ReleaseTrees(DiscModel* model) {
    if (!model)
        return;
    for (SessionTree* t = model->firstTree; t;) {
        ReleaseEntries(t->root);
        SessionTree* nt = t->next;
        delete t;
        t = nt;
    }
    model->firstTree = nullptr;
    model->currentTree = nullptr;
}

} // namespace iso_internal

int Iso_Initialize() {
    return ISO_OK;
}

void iso_internal::ReleaseModel() {
    using namespace iso_internal;
    if (g_DiscModel) {
        ReleaseSessions(g_DiscModel);
        ReleaseTrees(g_DiscModel);
        delete g_DiscModel;
        g_DiscModel = nullptr;
    }
    g_TocBuffer.clear();
    g_TocBuffer.shrink_to_fit();
    g_TocDataLength = 0;
}

void Iso_Terminate() {
    iso_internal::ReleaseModel();
    Iso_FreeFile();
}

namespace {

bool MatchesAt(const char* name, size_t len, size_t pos, const char* ext) {
    if (pos + 3 > len)
        return false;
    for (int i = 0; i < 3; ++i) {
        char c = name[pos + i];
        // The digit of MP3 must be the digit itself; letters match in any case.
        if (std::isdigit(static_cast<unsigned char>(ext[i]))) {
            if (c != ext[i])
                return false;
        } else if (std::toupper(static_cast<unsigned char>(c)) != ext[i]) {
            return false;
        }
    }
    return true;
}

// The three characters at `pos` end the name, alone or followed by ";1".
bool TerminatedAfter(const char* name, size_t len, size_t pos) {
    size_t end = pos + 3;
    if (end == len)
        return true;
    return end + 2 == len && name[end] == ';' && name[end + 1] == '1';
}

} // namespace

void Iso_SetFileKind(FileEntry* entry) {
    if (!entry || entry->kind >= KIND_ACCEPTED)
        return;
    const char* name = entry->name;
    size_t len = strnlen(name, sizeof entry->name);
    struct Rule {
        const char* ext;
        uint16_t kind;
    };
    static constexpr Rule kTerminated[] = {{"LMX", KIND_LMX}, {"CDA", KIND_CDA}, {"MP3", KIND_MP3},
                                           {"WMA", KIND_WMF}, {"WMV", KIND_WMF}, {"WAV", KIND_WAV},
                                           {"JPG", KIND_JPG}};
    for (size_t i = 0; i < len; ++i) {
        if (name[i] != '.')
            continue;
        size_t pos = i + 1;
        bool recognised = false;
        bool stop = false;
        for (const Rule& r : kTerminated) {
            if (MatchesAt(name, len, pos, r.ext)) {
                recognised = true;
                if (TerminatedAfter(name, len, pos)) {
                    entry->kind = r.kind;
                    stop = true;
                }
                break;
            }
        }
        if (stop)
            return;
        if (!recognised && MatchesAt(name, len, pos, "ASF")) {
            entry->kind = KIND_WMF; // ASF counts wherever it stands
            recognised = true;
        }
        // Any other group (fewer than three characters included) marks an unknown extension.
        if (!recognised)
            entry->kind = KIND_OTHER;
    }
}

void Iso_FramesToMsf(uint32_t frames, char* text, size_t capacity) {
    if (!text || capacity == 0)
        return;
    unsigned seconds = frames / 75;
    snprintf(text, capacity, "%02u:%02u:%02u", seconds / 60, seconds % 60, frames % 75);
}
