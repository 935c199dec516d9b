// Writing the SQLite catalogue: the add transaction (blocks made on a second thread while the disc is
// walked), a disc's removal and the next free number.
#include "catalogue/catalogue_block.h"
#include "catalogue/sqlite_internal.h"

using namespace cat_internal;

int SqliteCatalogue::NextNumber() {
    Statement s;
    if (!s.Prepare(m_db, "SELECT coalesce(max(number), 0) + 1 FROM discs") || sqlite3_step(s.s) != SQLITE_ROW)
        return 1;
    return int(s.ColumnInt(0));
}

bool SqliteCatalogue::WriteBlock(int64_t disc, size_t n, const CatalogueBlock& block, std::string& error) {
    // Prepared once: parsing the statements anew for each block took a tenth of a large disc's add.
    const char* sql[] = {"INSERT INTO blocks(disc, n, entries, data) VALUES(?, ?, ?, ?)",
                         "INSERT INTO block_masks(id, masks) VALUES(?, ?)",
                         "INSERT INTO block_text(rowid, text) VALUES(?, ?)"};
    for (size_t i = 0; i < std::size(sql); ++i)
        if (!m_putBlock[i] && sqlite3_prepare_v2(m_db, sql[i], -1, &m_putBlock[i], nullptr) != SQLITE_OK) {
            error = Message(m_db, m_path);
            FinishStatements();
            return false;
        }
    Statement put{m_putBlock[0]}, masks{m_putBlock[1]}, text{m_putBlock[2]};
    put.Int(1, disc);
    put.Int(2, int64_t(n));
    put.Int(3, int64_t(block.entries));
    put.Blob(4, block.bytes);
    bool ok = sqlite3_step(put.s) == SQLITE_DONE;
    const int64_t id = sqlite3_last_insert_rowid(m_db);
    if (ok) {
        masks.Int(1, id);
        masks.Blob(2, block.masks);
        ok = sqlite3_step(masks.s) == SQLITE_DONE;
    }
    if (ok) {
        text.Int(1, id);
        text.Text(2, block.text);
        ok = sqlite3_step(text.s) == SQLITE_DONE;
    }
    if (!ok)
        error = Message(m_db, m_path);
    for (Statement* s : {&put, &masks, &text}) { // the statements stay prepared for the next block
        sqlite3_reset(s->s);
        s->s = nullptr;
    }
    return ok;
}

void SqliteCatalogue::FinishStatements() {
    for (sqlite3_stmt*& s : m_putBlock) {
        sqlite3_finalize(s);
        s = nullptr;
    }
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
    // Writers queue here: the transaction takes the write lock at once.
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
             Settle(id, disc, hash.Of(disc), entries, newNumber, use, old, error) && Exec("COMMIT", error)) {
        if (number)
            *number = use;
        if (updated)
            *updated = old;
        if (count)
            *count = entries;
        return true;
    }
    Rollback();
    return false;
}

bool SqliteCatalogue::WriteWalk(int64_t id, const CatalogueWalk& walk, DiscKey& hash, uint64_t& entries,
                                std::string& error) {
    // Each batch of full blocks is made into their bytes, masks and index documents on a second thread
    // while the next is read into the other buffer. The buffers' entries are assigned over, so their
    // texts' memory serves again.
    constexpr size_t kBatch = 8 * kCatBlockEntries;
    std::vector<CatalogueEntry> buffers[2] = {std::vector<CatalogueEntry>(kBatch),
                                              std::vector<CatalogueEntry>(kBatch)};
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
    // The index keeps no text: it is given each block's text again to take its trigrams out. A block that
    // cannot be read leaves its trigrams behind, which only name a block that is no longer there.
    Statement blocks, forget, gone;
    if (!blocks.Prepare(m_db, "SELECT id, entries, data FROM blocks WHERE disc = ?") ||
        !forget.Prepare(m_db, "INSERT INTO block_text(block_text, rowid, text) VALUES('delete', ?, ?)") ||
        !gone.Prepare(m_db, "DELETE FROM discs WHERE id = ?")) {
        error = Message(m_db, m_path);
        return false;
    }
    blocks.Int(1, id);
    std::vector<std::pair<int64_t, std::string>> texts;
    if (!EachRow(
            m_db, m_path, blocks,
            [&] {
                std::vector<CatalogueEntry> entries;
                const int64_t count = blocks.ColumnInt(1);
                if (count >= 0 && Cat_DecodeBlock(blocks.ColumnBytes(2), size_t(count), entries))
                    texts.emplace_back(blocks.ColumnInt(0), Cat_IndexText(entries));
            },
            error))
        return false;
    for (const auto& [block, text] : texts) {
        sqlite3_reset(forget.s);
        forget.Int(1, block);
        forget.Text(2, text);
        if (sqlite3_step(forget.s) != SQLITE_DONE) {
            error = Message(m_db, m_path);
            return false;
        }
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
