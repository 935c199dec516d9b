// Reading the PostgreSQL catalogue: blocks through a cursor a batch at a time (a catalogue of thousands of
// discs is never held whole), search, the disc list.
#include "catalogue/catalogue_block.h"
#include "catalogue/catalogue_text.h"
#include "catalogue/postgres_catalogue.h"

using cat_pg::Params;
using cat_pg::Result;

namespace {

constexpr const char* kBlockRows = "SELECT d.number, d.volume, d.source, b.entries, b.data FROM blocks b "
                                   "JOIN discs d ON d.id = b.disc ";
constexpr const char* kBlockOrder = " ORDER BY d.number, b.n";
constexpr int kBatch = 64; // blocks a fetch: a megabyte or two

} // namespace

bool PostgresCatalogue::WalkBlocks(const std::string& select, const Params& params,
                                   const CatalogueBlockVisit& each, std::string& error, bool byIndex) {
    // One read-only transaction: the cursor's rows are those of one moment of the catalogue.
    if (!m_db.Run("BEGIN READ ONLY", error))
        return false;
    // The planner does not count the reading of each document it would scan (kept compressed, out of line)
    // and would walk every block: a search through the trigram index is told to use it.
    if (byIndex && (!m_db.Run("SET LOCAL enable_seqscan = off", error) ||
                    !m_db.Run("SET LOCAL enable_indexscan = off", error))) {
        m_db.Rollback();
        return false;
    }
    if (!m_db.Run("DECLARE walk BINARY NO SCROLL CURSOR FOR " + select, params, nullptr, error)) {
        m_db.Rollback();
        return false;
    }
    CatalogueHit disc;
    std::vector<CatalogueEntry> entries;
    Result rows;
    for (;;) {
        if (!m_db.Run("FETCH " + std::to_string(kBatch) + " FROM walk", rows, error)) {
            m_db.Rollback();
            return false;
        }
        for (int i = 0; i < rows.Rows(); ++i) {
            disc.number = int(rows.Int(i, 0));
            disc.volume = rows.Text(i, 1);
            disc.source = rows.Text(i, 2);
            const int64_t count = rows.Int(i, 3);
            if (count < 0 || !Cat_DecodeBlock(rows.Bytes(i, 4), size_t(count), entries)) {
                error = m_db.Uri() + ": the catalogue is damaged (a block of disc " +
                        std::to_string(disc.number) + " cannot be read)";
                m_db.Rollback();
                return false;
            }
            if (!each(disc, entries)) {
                m_db.Rollback();
                return true;
            }
        }
        if (rows.Rows() < kBatch)
            break;
    }
    m_db.Rollback(); // read only: nothing to keep, and the cursor goes with it
    return true;
}

bool PostgresCatalogue::Search(const std::string& text, size_t limit, std::vector<CatalogueHit>& hits,
                               std::string& error) {
    hits.clear();
    const std::vector<uint32_t> folded = Cat_Folded(text);
    const auto check = [&](const CatalogueHit& disc, std::vector<CatalogueEntry>& entries) {
        return Cat_TakeHits(disc, entries, folded, limit, hits);
    };
    if (limit == 0)
        return true;
    // Three characters and more: the blocks whose documents hold the text, found by the trigram index;
    // fewer have no trigram, and every block is looked at.
    if (folded.size() < 3)
        return WalkBlocks(std::string(kBlockRows) + kBlockOrder, Params(), check, error);
    return WalkBlocks(std::string(kBlockRows) + "WHERE b.doc LIKE $1" + kBlockOrder,
                      Params().Text(cat_pg::LikePattern(text)), check, error, true);
}

bool PostgresCatalogue::Blocks(int number, const CatalogueBlockVisit& each, std::string& error) {
    if (number < 0)
        return WalkBlocks(std::string(kBlockRows) + kBlockOrder, Params(), each, error);
    return WalkBlocks(std::string(kBlockRows) + "WHERE d.number = $1" + kBlockOrder, Params().Int(number),
                      each, error);
}

bool PostgresCatalogue::Discs(int number, std::vector<CatalogueDisc>& discs, std::string& error) {
    discs.clear();
    Result r;
    if (!m_db.Run("SELECT number, volume, sessions, toc, comment, source, added, entries FROM discs "
                  "WHERE $1 < 0 OR number = $1 ORDER BY number",
                  Params().Int(number), &r, error))
        return false;
    for (int i = 0; i < r.Rows(); ++i)
        discs.push_back({int(r.Int(i, 0)), r.Text(i, 1), int(r.Int(i, 2)), r.Text(i, 3), r.Text(i, 4),
                         r.Text(i, 5), r.Text(i, 6), uint64_t(r.Int(i, 7))});
    return true;
}
