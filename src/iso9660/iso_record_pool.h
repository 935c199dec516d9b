// The pool file entries are cut from: zero-filled memory in large slabs, one pool per disc analysis.
#pragma once

#include <cstddef>

struct RecordSlab;

// Entries are cut one after the other from slabs aligned to their size, so an entry finds its slab (and the
// slab its pool) by masking its address; a slab goes back to the system when its last entry is deleted. One
// pool serves one thread: a disc's entries are made and deleted where its analysis runs.
class RecordPool {
  public:
    RecordPool() = default;
    RecordPool(const RecordPool&) = delete;
    RecordPool& operator=(const RecordPool&) = delete;
    // Entries still alive keep their slab; it goes when the last of them is deleted.
    ~RecordPool();

    // `size` zero-filled bytes; nullptr when the system gives no more memory.
    void* Allocate(size_t size) noexcept;
    // Gives back an entry of whichever pool made it.
    static void Delete(void* entry, size_t size) noexcept;
    // The pool of entries made by a plain `new FileEntry` (tests and hand-built models).
    static RecordPool& Shared();

  private:
    void Unmap(RecordSlab* slab);

    RecordSlab* m_current = nullptr; // the slab entries are cut from
    size_t m_used = 0;               // its bytes handed out, header included
};
