// CFindCatalogueDlgModel: Edit > Find in Catalogue: the catalogue searched as the user types, and what a
// chosen row leads to: its disc opened when the image it was read from is still there, else the disc's
// number to insert.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

constexpr const char* IDS_FIND_CATALOGUE_CAPTION = "Find in Catalogue";

class CFindCatalogueDlgModel {
  public:
    CFindCatalogueDlgModel();

    // Opens the catalogue (App_CataloguePath) without making one; false with the reason in Status().
    bool Open();
    // Searches for `text` (nothing for an empty one), at most kMaxRows rows.
    void Search(const std::string& text);
    static constexpr size_t kMaxRows = 1000;

    const std::vector<CatalogueHit>& Rows() const { return m_rows; }
    // "12 entries on 3 discs", "1 entry on 1 disc", "No entry holds "x"", or why the catalogue cannot be
    // used (none there yet: nothing makes one but an add).
    const std::string& Status() const { return m_status; }

    // What a double-click on row `row` does: the image to open (empty when the disc must be inserted) or the
    // message naming the disc to insert.
    struct Action {
        std::string image;
        int session = 0;
        std::string path;
        std::string message;
    };
    Action Activate(size_t row) const;

    // The Duplicates tab: every file the catalogue holds more than once, the most wasted bytes first, read
    // when first asked for; false with the reason in DuplicatesStatus().
    bool ReadDuplicates();
    const std::vector<CatalogueDuplicate>& Duplicates() const { return m_duplicates; }
    // "2 files held more than once, 1,234 bytes wasted", or why there are none.
    const std::string& DuplicatesStatus() const { return m_duplicatesStatus; }

  private:
    std::unique_ptr<Catalogue> m_catalogue;
    std::vector<CatalogueHit> m_rows;
    std::string m_status;
    std::vector<CatalogueDuplicate> m_duplicates;
    std::string m_duplicatesStatus;
};
