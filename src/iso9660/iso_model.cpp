// The disc model's release, what is kept beside its entries, and two small helpers.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cdtext/cd_text.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

namespace iso_internal {

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

// Iterative, so a tree of any depth is released without recursion; a sibling list is walked in place and
// only the child lists met on the way wait.
void ReleaseEntries(FileEntry* root) {
    std::vector<FileEntry*> lists;
    if (root)
        lists.push_back(root);
    while (!lists.empty()) {
        FileEntry* e = lists.back();
        lists.pop_back();
        while (e) {
            FileEntry* next = e->nextSibling;
            if (e->firstChild)
                lists.push_back(e->firstChild);
            delete e;
            e = next;
        }
    }
}

void ReleaseDiscModel(DiscModel* model) {
    if (!model)
        return;
    ReleaseSessions(model);
    ReleaseTrees(model);
    delete model->text;
    delete model;
}

void ReleaseTrees(DiscModel* model) {
    if (!model)
        return;
    for (SessionTree* t = model->firstTree; t;) {
        for (SessionTree* o = t->otherNames; o;) {
            ReleaseEntries(o->root);
            ReleaseLinks(o->links);
            SessionTree* no = o->next;
            delete o;
            o = no;
        }
        ReleaseEntries(t->root);
        SessionTree* nt = t->next;
        delete t;
        t = nt;
    }
    model->firstTree = nullptr;
    model->currentTree = nullptr;
}

} // namespace iso_internal

void iso_internal::MarkUnreadable(Disc& d, FileEntry* e, std::string reason) {
    e->flags |= ISO_UNREADABLE;
    try {
        d.unreadableReasons.emplace(e, std::move(reason));
    } catch (const std::bad_alloc&) {
        // The flag stands; only the words are lost.
    }
}

void iso_internal::SetSymlinkTarget(Disc& d, const FileEntry* e, std::string target) {
    d.symlinkTargets[e] = std::move(target);
}

const char* Iso_UnreadableReason(const Disc& d, const FileEntry* entry) {
    if (!entry || !(entry->flags & ISO_UNREADABLE))
        return nullptr;
    const auto it = d.unreadableReasons.find(entry);
    return it == d.unreadableReasons.end() ? "could not be read" : it->second.c_str();
}

const uint8_t* Iso_DirectoryDate(const Disc& d, const FileEntry* entry) {
    const auto it = d.directoryDates.find(entry);
    return it == d.directoryDates.end() ? nullptr : it->second.data();
}

const char* Iso_SymlinkTarget(const Disc& d, const FileEntry* entry) {
    if (!entry || !(entry->flags & ISO_SYMLINK))
        return nullptr;
    const auto it = d.symlinkTargets.find(entry);
    return it == d.symlinkTargets.end() ? nullptr : it->second.c_str();
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
    using namespace ckvd::cd;
    snprintf(text, capacity, "%02u:%02u:%02u", frames / kFramesPerMinute, frames / kFramesPerSecond % 60,
             frames % kFramesPerSecond);
}
