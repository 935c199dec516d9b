// The record pool of file entries. A slab goes back to the system when its last entry is deleted, and
// entries start as the zero pages the system maps. The slab being cut is kept instead and zeroed where it
// was used, so that a small disc read again and again maps nothing new (in an ASan build it goes back too,
// so that a stale entry is never handed out again unnoticed). A slab is one huge page where the kernel has
// one, one fault instead of 512.
#include "iso9660/iso_record_pool.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "iso9660/iso_model.h"

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

// The count of live entries and the pool cutting the slab (null once that pool is gone), then the entries.
struct RecordSlab {
    size_t live;
    RecordPool* pool;
};

namespace {

constexpr size_t kSlabBytes = size_t{2} << 20;
constexpr size_t kSlabHeader = 64;
static_assert(sizeof(RecordSlab) <= kSlabHeader);
#ifdef ISO_POOL_ASAN
constexpr size_t kRedzone = 16; // poisoned gap after every entry, so that an overrun is reported
#else
constexpr size_t kRedzone = 0;
#endif

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
RecordSlab* MapSlab(bool following) {
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
    return static_cast<RecordSlab*>(p);
}

void UnmapSlab(RecordSlab* slab) {
    Unpoison(slab, kSlabBytes); // whatever is mapped here next starts clean
    munmap(slab, kSlabBytes);
}

} // namespace

RecordPool::~RecordPool() {
    if (!m_current)
        return;
    if (m_current->live == 0)
        UnmapSlab(m_current);
    else
        m_current->pool = nullptr; // its last entry's delete unmaps it
}

RecordPool& RecordPool::Shared() {
    static RecordPool* shared = new RecordPool; // lives as long as entries anywhere may
    return *shared;
}

void RecordPool::Unmap(RecordSlab* slab) {
    if (slab == m_current) {
        m_current = nullptr;
        m_used = 0;
    }
    UnmapSlab(slab);
}

void* RecordPool::Allocate(size_t size) noexcept {
    const size_t step = (size + alignof(FileEntry) - 1) / alignof(FileEntry) * alignof(FileEntry) + kRedzone;
    if (size == 0 || step > kSlabBytes - kSlabHeader)
        return nullptr;
    if (!m_current || m_used + step > kSlabBytes) {
        RecordSlab* slab = MapSlab(m_current != nullptr);
        if (!slab)
            return nullptr;
        // A full slab stays mapped while any of its entries lives; it has at least one, or it is gone.
        if (m_current)
            m_current->pool = nullptr;
        slab->pool = this;
        m_current = slab;
        m_used = kSlabHeader;
    }
    char* entry = reinterpret_cast<char*>(m_current) + m_used;
    m_used += step;
    ++m_current->live;
    Unpoison(entry, size);
    return entry;
}

void RecordPool::Delete(void* entry, size_t size) noexcept {
    if (!entry)
        return;
    Poison(entry, size);
    auto* slab = reinterpret_cast<RecordSlab*>(reinterpret_cast<uintptr_t>(entry) & ~(kSlabBytes - 1));
    if (--slab->live != 0)
        return;
    RecordPool* pool = slab->pool;
#ifndef ISO_POOL_ASAN
    if (pool && slab == pool->m_current) {
        char* used = reinterpret_cast<char*>(slab) + kSlabHeader;
        std::memset(used, 0, pool->m_used - kSlabHeader);
        pool->m_used = kSlabHeader;
        return;
    }
#endif
    if (pool)
        pool->Unmap(slab);
    else
        UnmapSlab(slab);
}

void* FileEntry::operator new(size_t size) {
    void* entry = RecordPool::Shared().Allocate(size);
    if (!entry)
        throw std::bad_alloc();
    return entry;
}

void* FileEntry::operator new(size_t size, const std::nothrow_t&) noexcept {
    return RecordPool::Shared().Allocate(size);
}

void* FileEntry::operator new(size_t size, RecordPool& pool, const std::nothrow_t&) noexcept {
    return pool.Allocate(size);
}

void FileEntry::operator delete(void* entry, size_t size) noexcept {
    RecordPool::Delete(entry, size);
}

void FileEntry::operator delete(void* entry, RecordPool&, const std::nothrow_t&) noexcept {
    RecordPool::Delete(entry, sizeof(FileEntry));
}
