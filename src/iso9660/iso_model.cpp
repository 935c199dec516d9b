// The disc model's lifetime, the pool its file entries come from, and two small helpers.
#include <sys/mman.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "cdtext/cd_text.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_internal.h"

#if defined(__SANITIZE_ADDRESS__)
#define ISO_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ISO_POOL_ASAN 1
#endif
#endif
#ifdef ISO_POOL_ASAN
#include <sanitizer/asan_interface.h>
#endif

DiscModel* g_DiscModel = nullptr;
uint16_t g_CurrentSession = 0;

namespace {

// The record pool of file entries. Entries are cut one after the other from slabs of kSlabBytes aligned to
// their size, so an entry finds its slab by masking its address; a slab goes back to the system when its
// last entry is deleted, and entries start as the zero pages the system maps. The slab being cut is kept
// instead and zeroed where it was used, so that a small disc read again and again maps nothing new (in an
// ASan build it goes back too, so that a stale entry is never handed out again unnoticed). A slab is one
// huge page where the kernel has one, one fault instead of 512.
constexpr size_t kSlabBytes = size_t{2} << 20;
constexpr size_t kSlabHeader = 64; // the count of live entries, then the entries
#ifdef ISO_POOL_ASAN
constexpr size_t kRedzone = 16; // poisoned gap after every entry, so that an overrun is reported
#else
constexpr size_t kRedzone = 0;
#endif

struct Slab {
    size_t live;
};

Slab* s_CurrentSlab = nullptr; // the slab entries are cut from
size_t s_SlabUsed = 0;         // its bytes handed out, header included

void Poison(void* p, size_t n) {
#ifdef ISO_POOL_ASAN
    ASAN_POISON_MEMORY_REGION(p, n);
#else
    (void)p, (void)n;
#endif
}

void Unpoison(void* p, size_t n) {
#ifdef ISO_POOL_ASAN
    ASAN_UNPOISON_MEMORY_REGION(p, n);
#else
    (void)p, (void)n;
#endif
}

// `following`: the slab before it was filled, so this disc is a large one.
Slab* MapSlab(bool following) {
    // Twice the size, so that an aligned slab lies inside; the rest goes back at once.
    void* map = mmap(nullptr, 2 * kSlabBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        return nullptr;
    const uintptr_t base = reinterpret_cast<uintptr_t>(map);
    const uintptr_t slab = (base + kSlabBytes - 1) & ~(kSlabBytes - 1);
    if (slab > base)
        munmap(map, slab - base);
    if (base + 2 * kSlabBytes > slab + kSlabBytes)
        munmap(reinterpret_cast<void*>(slab + kSlabBytes), base + 2 * kSlabBytes - (slab + kSlabBytes));
    void* p = reinterpret_cast<void*>(slab);
    // Hints only: without them the memory is the same, reached by more faults. A slab after a full one is
    // faulted in at once, which saves hundreds of faults where there are no huge pages. An ASan build maps
    // a slab for every disc and lists only small ones (the fuzzers), so it keeps to small pages.
#ifndef ISO_POOL_ASAN
#ifdef MADV_HUGEPAGE
    madvise(p, kSlabBytes, MADV_HUGEPAGE);
#endif
#ifdef MADV_POPULATE_WRITE
    if (following)
        madvise(p, kSlabBytes, MADV_POPULATE_WRITE);
#endif
#endif
    (void)following;
    Poison(static_cast<char*>(p) + kSlabHeader, kSlabBytes - kSlabHeader);
    return static_cast<Slab*>(p);
}

void UnmapSlab(Slab* slab) {
    if (slab == s_CurrentSlab) {
        s_CurrentSlab = nullptr;
        s_SlabUsed = 0;
    }
    Unpoison(slab, kSlabBytes); // whatever is mapped here next starts clean
    munmap(slab, kSlabBytes);
}

void* AllocateEntry(size_t size) noexcept {
    const size_t step = (size + alignof(FileEntry) - 1) / alignof(FileEntry) * alignof(FileEntry) + kRedzone;
    if (size == 0 || step > kSlabBytes - kSlabHeader)
        return nullptr;
    if (!s_CurrentSlab || s_SlabUsed + step > kSlabBytes) {
        Slab* slab = MapSlab(s_CurrentSlab != nullptr);
        if (!slab)
            return nullptr;
        // A full slab stays mapped while any of its entries lives; it has at least one, or it is gone.
        s_CurrentSlab = slab;
        s_SlabUsed = kSlabHeader;
    }
    char* entry = reinterpret_cast<char*>(s_CurrentSlab) + s_SlabUsed;
    s_SlabUsed += step;
    ++s_CurrentSlab->live;
    Unpoison(entry, size);
    return entry;
}

void DeleteEntry(void* entry, size_t size) noexcept {
    if (!entry)
        return;
    Poison(entry, size);
    Slab* slab = reinterpret_cast<Slab*>(reinterpret_cast<uintptr_t>(entry) & ~(kSlabBytes - 1));
    if (--slab->live != 0)
        return;
#ifndef ISO_POOL_ASAN
    if (slab == s_CurrentSlab) {
        char* used = reinterpret_cast<char*>(slab) + kSlabHeader;
        std::memset(used, 0, s_SlabUsed - kSlabHeader);
        s_SlabUsed = kSlabHeader;
        return;
    }
#endif
    UnmapSlab(slab);
}

} // namespace

void* FileEntry::operator new(size_t size) {
    void* entry = AllocateEntry(size);
    if (!entry)
        throw std::bad_alloc();
    return entry;
}

void* FileEntry::operator new(size_t size, const std::nothrow_t&) noexcept {
    return AllocateEntry(size);
}

void FileEntry::operator delete(void* entry, size_t size) noexcept {
    DeleteEntry(entry, size);
}

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

int Iso_Initialize() {
    return ISO_OK;
}

void iso_internal::ReleaseModel() {
    using namespace iso_internal;
    ReleaseDiscModel(g_DiscModel);
    g_DiscModel = nullptr;
    g_TocBuffer.clear();
    g_TocBuffer.shrink_to_fit();
    g_TocDataLength = 0;
    g_SymlinkTargets.clear();
    g_DirectoryDates.clear();
    g_UnreadableReasons.clear();
    g_ZisofsFiles.clear();
    g_TextBlocks.clear();
    g_TextBlocks.shrink_to_fit();
    g_TextUsed = 0;
    g_EntryExtras.clear();
}

std::unordered_map<const FileEntry*, std::string> iso_internal::g_SymlinkTargets;
std::unordered_map<const FileEntry*, std::array<uint8_t, 7>> iso_internal::g_DirectoryDates;
std::unordered_map<const FileEntry*, std::string> iso_internal::g_UnreadableReasons;

void iso_internal::MarkUnreadable(FileEntry* e, std::string reason) {
    e->flags |= ISO_UNREADABLE;
    try {
        g_UnreadableReasons.emplace(e, std::move(reason));
    } catch (const std::bad_alloc&) {
        // The flag stands; only the words are lost.
    }
}

const char* Iso_UnreadableReason(const FileEntry* entry) {
    if (!entry || !(entry->flags & ISO_UNREADABLE))
        return nullptr;
    const auto it = iso_internal::g_UnreadableReasons.find(entry);
    return it == iso_internal::g_UnreadableReasons.end() ? "could not be read" : it->second.c_str();
}
const uint8_t* Iso_DirectoryDate(const FileEntry* entry) {
    const auto it = iso_internal::g_DirectoryDates.find(entry);
    return it == iso_internal::g_DirectoryDates.end() ? nullptr : it->second.data();
}

const char* Iso_SymlinkTarget(const FileEntry* entry) {
    if (!entry || !(entry->flags & ISO_SYMLINK))
        return nullptr;
    const auto it = iso_internal::g_SymlinkTargets.find(entry);
    return it == iso_internal::g_SymlinkTargets.end() ? nullptr : it->second.c_str();
}

void Iso_Terminate() {
    iso_internal::ReleaseModel();
    Iso_FreeFile();
}

struct IsoModelStash::State {
    DiscModel* model = nullptr;
    uint16_t currentSession = 0;
    std::vector<uint8_t> tocBuffer;
    uint16_t tocDataLength = 0;
    std::unordered_map<const FileEntry*, std::string> symlinkTargets;
    std::unordered_map<const FileEntry*, std::array<uint8_t, 7>> directoryDates;
    std::unordered_map<const FileEntry*, std::string> unreadableReasons;
    std::unordered_map<const FileEntry*, IsoZisofs> zisofsFiles;
    std::vector<std::unique_ptr<char[]>> textBlocks;
    size_t textUsed = 0;
    std::unordered_map<const FileEntry*, iso_internal::EntryExtras> entryExtras;

    // Swaps this state with the module's.
    void Exchange() {
        using namespace iso_internal;
        std::swap(model, g_DiscModel);
        std::swap(currentSession, g_CurrentSession);
        std::swap(tocBuffer, g_TocBuffer);
        std::swap(tocDataLength, g_TocDataLength);
        std::swap(symlinkTargets, g_SymlinkTargets);
        std::swap(directoryDates, g_DirectoryDates);
        std::swap(unreadableReasons, g_UnreadableReasons);
        std::swap(zisofsFiles, g_ZisofsFiles);
        std::swap(textBlocks, g_TextBlocks);
        std::swap(textUsed, g_TextUsed);
        std::swap(entryExtras, g_EntryExtras);
    }
};

IsoModelStash::IsoModelStash() = default;
IsoModelStash::IsoModelStash(IsoModelStash&&) noexcept = default;
IsoModelStash& IsoModelStash::operator=(IsoModelStash&&) noexcept = default;

IsoModelStash::~IsoModelStash() {
    if (m_state)
        iso_internal::ReleaseDiscModel(m_state->model);
}

IsoModelStash Iso_SetModelAside() {
    IsoModelStash stash;
    stash.m_state = std::make_unique<IsoModelStash::State>();
    stash.m_state->Exchange();
    Iso_FreeFile();
    return stash;
}

void Iso_RestoreModel(IsoModelStash&& stash) {
    Iso_Terminate();
    if (!stash.m_state)
        return;
    stash.m_state->Exchange(); // the stash now holds the emptied state, which frees nothing
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
