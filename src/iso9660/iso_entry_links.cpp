// Which entry of one tree of a session records the same file or directory as an entry of another: the trees
// share their files' extents, not their directories' or their order.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <vector>

#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

using namespace iso_internal;

// The entries of a tree of other names by the shown tree's entries that record the same files.
struct IsoEntryLinks {
    std::unordered_map<const FileEntry*, const FileEntry*> same;
};

void iso_internal::ReleaseLinks(IsoEntryLinks* links) {
    delete links;
}

namespace {

constexpr uint32_t kNoFiles = std::numeric_limits<uint32_t>::max();

// Each directory's first block of file data anywhere below it (kNoFiles for a subtree without data): the
// trees of one session share their files' extents, never their directories', so this names a directory in
// either tree whatever order its names sort in.
std::unordered_map<const FileEntry*, uint32_t> FirstDataBlocks(const FileEntry* root) {
    std::unordered_map<const FileEntry*, uint32_t> first;
    std::vector<std::pair<const FileEntry*, bool>> stack{{root, false}};
    while (!stack.empty()) {
        auto [dir, visited] = stack.back();
        stack.pop_back();
        if (!visited) {
            stack.push_back({dir, true});
            for (const FileEntry* c = dir->firstChild; c; c = c->nextSibling)
                if (c->type != 'F')
                    stack.push_back({c, false});
            continue;
        }
        uint32_t lowest = kNoFiles;
        for (const FileEntry* c = dir->firstChild; c; c = c->nextSibling) {
            if (c->type == 'F' && c->size > 0 && !(c->flags & ISO_SYMLINK))
                lowest = std::min(lowest, c->lbn);
            else if (c->type != 'F')
                lowest = std::min(lowest, first[c]);
        }
        first[dir] = lowest;
    }
    return first;
}

// How many leading characters two names share, letters in any case (a Joliet name is often the Rock Ridge
// name cut, a primary one the same name in capitals).
size_t SharedPrefix(const char* a, const char* b) {
    size_t n = 0;
    while (a[n] && b[n] &&
           std::tolower(static_cast<unsigned char>(a[n])) == std::tolower(static_cast<unsigned char>(b[n])))
        ++n;
    return n;
}

// Of `candidates` not yet taken, the one whose name is `name` or shares the longest start with it.
const FileEntry* Closest(const Disc& d, const FileEntry* entry, std::vector<const FileEntry*>& candidates) {
    const char* name = Iso_EntryName(d, entry);
    auto best = candidates.end();
    size_t bestShared = 0;
    for (auto it = candidates.begin(); it != candidates.end(); ++it) {
        if (!*it)
            continue;
        const char* other = Iso_EntryName(d, *it);
        const size_t shared = std::strcmp(name, other) == 0 ? SIZE_MAX : SharedPrefix(name, other);
        if (best == candidates.end() || shared > bestShared) {
            best = it;
            bestShared = shared;
        }
    }
    if (best == candidates.end())
        return nullptr;
    const FileEntry* found = *best;
    *best = nullptr;
    return found;
}

struct TreeLinks {
    const Disc& disc;
    std::unordered_map<const FileEntry*, uint32_t> shownFirst, otherFirst;
    IsoEntryLinks& links;

    // The children of two directories that record the same entries, paired; the directories among them are
    // given back to be paired in turn.
    void Pair(const FileEntry* shown, const FileEntry* other,
              std::vector<std::pair<const FileEntry*, const FileEntry*>>& next) {
        // Files by their extent and length, directories by the first data block below them.
        std::unordered_map<uint64_t, std::vector<const FileEntry*>> files, directories;
        for (const FileEntry* c = other->firstChild; c; c = c->nextSibling) {
            if (c->type == 'F')
                files[(uint64_t{c->lbn} << 32) | c->size].push_back(c);
            else
                directories[otherFirst[c]].push_back(c);
        }
        std::vector<const FileEntry*> leftOver;
        for (const FileEntry* c = shown->firstChild; c; c = c->nextSibling) {
            const bool file = c->type == 'F';
            auto& byKey = file ? files : directories;
            const uint64_t key = file ? (uint64_t{c->lbn} << 32) | c->size : shownFirst[c];
            const auto it = byKey.find(key);
            const FileEntry* found =
                it != byKey.end() && (file || key != kNoFiles) ? Closest(disc, c, it->second) : nullptr;
            if (!found) {
                leftOver.push_back(c);
                continue;
            }
            links.same[c] = found;
            if (!file)
                next.push_back({c, found});
        }
        // Directories without data and links (whose extents a tree may record otherwise) by their names.
        std::vector<const FileEntry*> rest;
        for (auto& [key, list] : directories)
            rest.insert(rest.end(), list.begin(), list.end());
        for (auto& [key, list] : files)
            for (const FileEntry* f : list)
                if (f && (f->size == 0 || (f->flags & ISO_SYMLINK)))
                    rest.push_back(f);
        for (const FileEntry* c : leftOver) {
            std::vector<const FileEntry*> kind;
            for (const FileEntry*& r : rest)
                if (r && (r->type == 'F') == (c->type == 'F'))
                    kind.push_back(r);
            const FileEntry* found = Closest(disc, c, kind);
            if (!found)
                continue;
            std::replace(rest.begin(), rest.end(), found, static_cast<const FileEntry*>(nullptr));
            links.same[c] = found;
            if (c->type != 'F')
                next.push_back({c, found});
        }
    }
};

} // namespace

const FileEntry* Iso_SameEntry(const Disc& d, SessionTree* tree, SessionTree* other, const FileEntry* entry) {
    if (!tree || !other || !entry)
        return nullptr;
    if (tree == other)
        return entry;
    if (!other->links) {
        other->links = new (std::nothrow) IsoEntryLinks;
        if (!other->links)
            return nullptr;
        try {
            TreeLinks pairing{d, FirstDataBlocks(tree->root), FirstDataBlocks(other->root), *other->links};
            std::vector<std::pair<const FileEntry*, const FileEntry*>> pending{{tree->root, other->root}};
            other->links->same[tree->root] = other->root;
            while (!pending.empty()) {
                const auto [shown, theirs] = pending.back();
                pending.pop_back();
                pairing.Pair(shown, theirs, pending);
            }
        } catch (const std::bad_alloc&) {
            other->links->same.clear();
        }
    }
    const auto it = other->links->same.find(entry);
    return it == other->links->same.end() ? nullptr : it->second;
}
