// Writing the PostgreSQL catalogue: the add transaction (behind the writers' lock, its blocks sent by one
// binary COPY while the disc is walked), a disc's removal and the next free number.

#include "catalogue/catalogue_block.h"
#include "catalogue/catalogue_key.h"
#include "catalogue/postgres_catalogue.h"

using cat_internal::DiscKey;
using cat_pg::Params;
using cat_pg::Result;

namespace {

// A block's entries on the server: its document of their texts is what the trigram index reads.
constexpr size_t kBlockEntries = 256;

// COPY's binary form: big-endian fields, each after its length.
void PutInt(std::string& out, uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out += char(v >> (8 * i));
}

void PutField(std::string& out, std::string_view bytes) {
    PutInt(out, bytes.size(), 4);
    out += bytes;
}

// One row of blocks(disc, n, entries, data, doc).
void PutBlock(std::string& out, int64_t disc, size_t n, std::span<const CatalogueEntry> entries) {
    PutInt(out, 5, 2);
    PutInt(out, 8, 4);
    PutInt(out, uint64_t(disc), 8);
    PutInt(out, 4, 4);
    PutInt(out, n, 4);
    PutInt(out, 4, 4);
    PutInt(out, entries.size(), 4);
    PutField(out, Cat_EncodeBlock(entries));
    PutField(out, cat_pg::BlockDocument(entries));
}

} // namespace

int PostgresCatalogue::NextNumber() {
    Result r;
    std::string error;
    if (!m_db.Run("SELECT coalesce(max(number), 0) + 1 FROM discs", r, error) || r.Rows() != 1)
        return 1;
    return int(r.Int(0, 0));
}

bool PostgresCatalogue::Add(const CatalogueDisc& disc, const CatalogueWalk& walk,
                            const std::function<int()>& newNumber, int* number, bool* updated,
                            uint64_t* count, std::string& error) {
    // Writers queue here, on every computer: the numbers they choose are then never the same.
    if (!m_db.Run("BEGIN", error))
        return false;
    // The disc goes in under a number no disc has (below all others) while its blocks are sent; what it is
    // (its key) is known only after the last one, and with it whether it was here.
    Result id;
    std::string key;
    uint64_t entries = 0;
    bool old = false;
    int use = -1;
    if (m_db.Run("SELECT pg_advisory_xact_lock(" + std::to_string(cat_pg::kWriterLock) + ")", error) &&
        m_db.Run(
            "INSERT INTO discs(number, volume, sessions, toc, disc_key, comment, source, added) "
            "VALUES((SELECT least(0, coalesce(min(number), 0)) - 1 FROM discs), $1, $2, $3, '', $4, $5, $6) "
            "RETURNING id",
            Params()
                .Text(disc.volume)
                .Int(disc.sessions)
                .Text(disc.toc)
                .Text(disc.comment)
                .Text(disc.source)
                .Text(disc.added),
            &id, error) &&
        SendBlocks(id.Int(0, 0), walk, key, disc, entries, error) &&
        Settle(id.Int(0, 0), disc, key, entries, newNumber, use, old, error) && m_db.Run("COMMIT", error)) {
        if (number)
            *number = use;
        if (updated)
            *updated = old;
        if (count)
            *count = entries;
        return true;
    }
    m_db.Rollback();
    return false;
}

bool PostgresCatalogue::SendBlocks(int64_t id, const CatalogueWalk& walk, std::string& key,
                                   const CatalogueDisc& disc, uint64_t& entries, std::string& error) {
    if (!m_db.StartCopy("COPY blocks(disc, n, entries, data, doc) FROM STDIN (FORMAT binary)", error))
        return false;
    std::string out("PGCOPY\n\377\r\n\0", 11);
    PutInt(out, 0, 8); // no flags, no header extension
    // The walk's entries a block at a time; the slots' texts serve again for the next block's.
    std::vector<CatalogueEntry> block(kBlockEntries);
    size_t inBlock = 0, blocks = 0;
    DiscKey hash;
    bool sent = true;
    const auto flush = [&](size_t atLeast) {
        if (out.size() >= atLeast && sent) {
            sent = m_db.PutCopy(out, error);
            out.clear();
        }
    };
    walk([&](CatalogueEntry& e) {
        if (!sent)
            return;
        hash.Mix(e);
        ++entries;
        std::swap(block[inBlock++], e);
        if (inBlock == kBlockEntries) {
            PutBlock(out, id, blocks++, block);
            inBlock = 0;
            flush(1 << 20);
        }
    });
    if (sent && m_stop && m_stop->load(std::memory_order_relaxed)) {
        std::string ignored;
        m_db.EndCopy("the add was cancelled", ignored); // the server throws the rows away
        error = "the add was cancelled";
        return false;
    }
    if (inBlock > 0)
        PutBlock(out, id, blocks, std::span<const CatalogueEntry>(block.data(), inBlock));
    PutInt(out, 0xFFFF, 2); // the end of the rows
    flush(0);
    if (!sent) {
        std::string ignored;
        m_db.EndCopy("the blocks could not be sent", ignored);
        return false;
    }
    key = hash.Of(disc);
    return m_db.EndCopy("", error);
}

bool PostgresCatalogue::Settle(int64_t id, const CatalogueDisc& disc, const std::string& key,
                               uint64_t entries, const std::function<int()>& newNumber, int& use,
                               bool& updated, std::string& error) {
    Result same, taken;
    if (!m_db.Run("SELECT id, number, comment FROM discs WHERE disc_key = $1 AND id <> $2 LIMIT 1",
                  Params().Text(key).Int(id), &same, error))
        return false;
    const bool old = same.Rows() > 0;
    std::string comment = disc.comment;
    if (old && comment.empty()) // an update without a comment keeps the one the disc had
        comment = same.Text(0, 2);
    use = disc.number >= 0 ? disc.number : old ? int(same.Int(0, 1)) : newNumber ? newNumber() : NextNumber();
    if (use < 0) {
        error = "no disc number could be had for the disc";
        return false;
    }
    // The same disc again: replaced whole.
    if (old && !m_db.Run("DELETE FROM discs WHERE id = $1", Params().Int(same.Int(0, 0)), nullptr, error))
        return false;
    updated = old;
    if (!m_db.Run("SELECT 1 FROM discs WHERE number = $1", Params().Int(use), &taken, error))
        return false;
    if (taken.Rows() > 0) {
        // A number given (a report's) is the disc's or nothing; one handed out for it gives way to a free
        // one.
        if (disc.number >= 0) {
            error = "disc number " + std::to_string(use) + " is another disc's in the catalogue";
            return false;
        }
        use = NextNumber();
    }
    return m_db.Run("UPDATE discs SET number = $1, disc_key = $2, comment = $3, entries = $4 WHERE id = $5",
                    Params().Int(use).Text(key).Text(comment).Int(int64_t(entries)).Int(id), nullptr, error);
}

bool PostgresCatalogue::Remove(int number, std::string& error) {
    Result gone;
    if (!m_db.Run("DELETE FROM discs WHERE number = $1 RETURNING id", Params().Int(number), &gone, error))
        return false;
    if (gone.Rows() == 0) {
        error = "no disc " + std::to_string(number) + " in the catalogue";
        return false;
    }
    return true;
}
