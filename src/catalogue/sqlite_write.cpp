// Writing the SQLite catalogue: the add transaction (blocks made on a second thread while the disc is
// walked), a disc's removal and the next free number.
#include "catalogue/catalogue_block.h"
#include "catalogue/sqlite_index.h"
#include "catalogue/sqlite_internal.h"

using namespace cat_internal;

int SqliteCatalogue::NextNumber() {
    Statement s;
    if (!s.Prepare(m_db, "SELECT coalesce(max(number), 0) + 1 FROM discs") || sqlite3_step(s.s) != SQLITE_ROW)
        return 1;
    return int(s.ColumnInt(0));
}

bool SqliteCatalogue::WriteBlock(int64_t disc, size_t n, const CatalogueBlock& block, std::string& error) {
    // Prepared once: parsing the statement anew for each block took a tenth of a large disc's add.
    if (!m_putBlock &&
        sqlite3_prepare_v2(m_db, "INSERT INTO blocks(disc, n, entries, masks, data) VALUES(?, ?, ?, ?, ?)",
                           -1, &m_putBlock, nullptr) != SQLITE_OK) {
        error = Message(m_db, m_path);
        FinishStatements();
        return false;
    }
    Statement put{m_putBlock};
    put.Int(1, disc);
    put.Int(2, int64_t(n));
    put.Int(3, int64_t(block.entries));
    put.Blob(4, block.masks);
    put.Blob(5, block.bytes);
    const bool ok = sqlite3_step(put.s) == SQLITE_DONE;
    sqlite3_reset(put.s);
    put.s = nullptr; // the statement stays prepared for the next block
    if (!ok) {
        error = Message(m_db, m_path);
        return false;
    }
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    for (size_t g = 0; g < block.grams.size(); ++g)
        m_lists.Add(id * int64_t(kCatGroups) + int64_t(g), block.grams[g]);
    return true;
}

void SqliteCatalogue::FinishStatements() {
    sqlite3_finalize(m_putBlock);
    m_putBlock = nullptr;
}

bool SqliteCatalogue::WriteBlocks(int64_t disc, const std::vector<CatalogueEntry>& entries,
                                  std::string& error) {
    size_t n = 0;
    for (const CatalogueBlock& b : Cat_MakeBlocks(entries))
        if (!WriteBlock(disc, n++, b, error))
            return false;
    return true;
}

bool SqliteCatalogue::Add(const CatalogueDisc& disc, const CatalogueWalk& walk,
                          const std::function<int()>& newNumber, int* number, bool* updated, uint64_t* count,
                          std::string& error) {
    // The file unmapped while the add runs and mapped again after it (kMapTheFile). Writers queue here: the
    // transaction takes the write lock at once.
    if (!Exec("PRAGMA mmap_size = 0", error))
        return false;
    struct MapAgain {
        sqlite3* db;
        ~MapAgain() { sqlite3_exec(db, kMapTheFile, nullptr, nullptr, nullptr); }
    } mapAgain{m_db};
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    // The disc goes in under a number no disc has (below all others) while its entries are written a block
    // at a time; what it is (its key) is known only after the last one, and with it whether it was here.
    Statement d;
    if (!d.Prepare(
            m_db, "INSERT INTO discs(number, volume, sessions, toc, disc_key, comment, source, added) "
                  "VALUES((SELECT min(0, coalesce(min(number), 0)) - 1 FROM discs), ?, ?, ?, '', ?, ?, ?)")) {
        error = Message(m_db, m_path);
        Rollback();
        return false;
    }
    d.Text(1, disc.volume);
    d.Int(2, disc.sessions);
    d.Text(3, disc.toc);
    d.Text(4, disc.comment);
    d.Text(5, disc.source);
    d.Text(6, disc.added);
    DiscKey hash;
    uint64_t entries = 0;
    bool old = false;
    int use = -1;
    if (sqlite3_step(d.s) != SQLITE_DONE)
        error = Message(m_db, m_path);
    else if (const int64_t id = sqlite3_last_insert_rowid(m_db);
             WriteWalk(id, walk, hash, entries, error) &&
             Settle(id, disc, hash.Of(disc), entries, newNumber, use, old, error) &&
             m_lists.Write(m_db, m_path, error) && Exec("COMMIT", error)) {
        if (number)
            *number = use;
        if (updated)
            *updated = old;
        if (count)
            *count = entries;
        return true;
    }
    m_lists = {};
    Rollback();
    return false;
}

bool SqliteCatalogue::WriteWalk(int64_t id, const CatalogueWalk& walk, DiscKey& hash, uint64_t& entries,
                                std::string& error) {
    // Each batch of full blocks is made into their bytes, masks and index documents on a second thread
    // while the next is read into the other buffer. The buffers' entries are assigned over, so their
    // texts' memory serves again.
    // A batch's last block is cut short: batches of many blocks leave few half-filled pages.
    constexpr size_t kBatch = 16 * kCatBlockEntries;
    // The buffers grow as the walk fills them: most discs are far smaller than a batch.
    std::vector<CatalogueEntry> buffers[2];
    for (std::vector<CatalogueEntry>& b : buffers)
        b.reserve(kBatch); // room only: an entry is made when the walk first fills its slot
    int filling = 0;
    size_t inBatch = 0, blocks = 0;
    CatalogueBlockMaker maker;
    bool written = true;
    const auto writeAll = [&](const std::vector<CatalogueBlock>& made) {
        for (const CatalogueBlock& b : made)
            if (!WriteBlock(id, blocks++, b, error))
                return false;
        return true;
    };
    const auto writeMade = [&] { return !maker.Busy() || writeAll(maker.Take()); };
    walk([&](CatalogueEntry& e) {
        if (!written)
            return;
        hash.Mix(e);
        ++entries;
        if (inBatch == buffers[filling].size())
            buffers[filling].emplace_back();
        std::swap(buffers[filling][inBatch++], e); // the walk's next entry reuses the slot's old texts
        if (inBatch == kBatch) {
            written = writeMade();
            maker.Put(buffers[filling]);
            filling ^= 1;
            inBatch = 0;
        }
    });
    if (written && m_stop && m_stop->load(std::memory_order_relaxed)) {
        writeMade(); // the block maker's work is taken before the transaction goes
        error = "the add was cancelled";
        return false;
    }
    return written && writeMade() &&
           writeAll(Cat_MakeBlocks(std::span<const CatalogueEntry>(buffers[filling].data(), inBatch)));
}

bool SqliteCatalogue::Settle(int64_t id, const CatalogueDisc& disc, const std::string& key, uint64_t entries,
                             const std::function<int()>& newNumber, int& use, bool& updated,
                             std::string& error) {
    const auto fail = [&](const std::string& what) {
        error = what;
        return false;
    };
    Statement same;
    if (!same.Prepare(m_db, "SELECT id, number, comment FROM discs WHERE disc_key = ? AND id <> ?"))
        return fail(Message(m_db, m_path));
    same.Text(1, key);
    same.Int(2, id);
    int64_t old = 0;
    int oldNumber = -1;
    std::string comment = disc.comment;
    if (sqlite3_step(same.s) == SQLITE_ROW) {
        old = same.ColumnInt(0);
        oldNumber = int(same.ColumnInt(1));
        if (comment.empty()) // an update without a comment keeps the one the disc had
            comment = same.ColumnText(2);
    }
    sqlite3_reset(same.s);
    use = disc.number >= 0 ? disc.number : old ? oldNumber : newNumber ? newNumber() : NextNumber();
    if (use < 0)
        return fail("no disc number could be had for the disc");
    if (old && !DropDisc(old, error)) // the same disc again: replaced whole
        return false;
    updated = old != 0;
    Statement taken;
    if (!taken.Prepare(m_db, "SELECT 1 FROM discs WHERE number = ?"))
        return fail(Message(m_db, m_path));
    taken.Int(1, use);
    if (sqlite3_step(taken.s) == SQLITE_ROW) {
        // A number given (a report's) is the disc's or nothing; one handed out for it gives way to a free
        // one.
        if (disc.number >= 0)
            return fail("disc number " + std::to_string(use) + " is another disc's in the catalogue");
        use = NextNumber();
    }
    Statement done;
    if (!done.Prepare(m_db,
                      "UPDATE discs SET number = ?, disc_key = ?, comment = ?, entries = ? WHERE id = ?"))
        return fail(Message(m_db, m_path));
    done.Int(1, use);
    done.Text(2, key);
    done.Text(3, comment);
    done.Int(4, int64_t(entries));
    done.Int(5, id);
    return sqlite3_step(done.s) == SQLITE_DONE || fail(Message(m_db, m_path));
}

bool SqliteCatalogue::DropDisc(int64_t id, std::string& error) {
    // Its blocks go with it; the index's lists keep their groups until a merge finds no block for them.
    Statement gone;
    if (!gone.Prepare(m_db, "DELETE FROM discs WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    gone.Int(1, id);
    if (sqlite3_step(gone.s) != SQLITE_DONE) {
        error = Message(m_db, m_path);
        return false;
    }
    return true;
}

bool SqliteCatalogue::Remove(int number, std::string& error) {
    if (!Exec("BEGIN IMMEDIATE", error))
        return false;
    Statement which;
    if (!which.Prepare(m_db, "SELECT id FROM discs WHERE number = ?")) {
        error = Message(m_db, m_path);
        Rollback();
        return false;
    }
    which.Int(1, number);
    if (sqlite3_step(which.s) != SQLITE_ROW) {
        error = "no disc " + std::to_string(number) + " in the catalogue";
        Rollback();
        return false;
    }
    if (!DropDisc(which.ColumnInt(0), error)) {
        Rollback();
        return false;
    }
    return Exec("COMMIT", error);
}
