// COpenCataloguedDlgModel: File > Open Catalogued Disc and the Discs tab of Find in Catalogue: the
// catalogue's discs, one of which is shown from the catalogue without the disc.
#pragma once

#include <string>
#include <vector>

#include "catalogue/catalogue.h"

constexpr const char* IDS_OPEN_CATALOGUED_CAPTION = "Open Catalogued Disc";

class COpenCataloguedDlgModel {
  public:
    // Reads the disc list of the catalogue (App_CataloguePath, never made here); false with the reason in
    // Status().
    bool Open();
    const std::vector<CatalogueDisc>& Discs() const { return m_discs; }
    // "3 discs", or why there are none.
    const std::string& Status() const { return m_status; }
    // A row's cells: number ("000012"), volume, entries, added, source, comment.
    static std::vector<std::string> Columns();
    static std::vector<std::string> Row(const CatalogueDisc& disc);

  private:
    std::vector<CatalogueDisc> m_discs;
    std::string m_status;
};
