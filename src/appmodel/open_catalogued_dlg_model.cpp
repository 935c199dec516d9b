#include "appmodel/open_catalogued_dlg_model.h"

#include <cstdio>

#include "appmodel/catalogue_add.h"
#include "appmodel/catalogue_browse.h"

bool COpenCataloguedDlgModel::Open() {
    m_discs.clear();
    Catalogue catalogue;
    std::string error;
    if (!catalogue.Open(App_CataloguePath(), false, error) || !catalogue.List(m_discs, error)) {
        m_status = App_CatalogueProblem(error);
        return false;
    }
    m_status = m_discs.empty() ? "The catalogue holds no disc"
                               : std::to_string(m_discs.size()) + (m_discs.size() == 1 ? " disc" : " discs") +
                                     ": double-click one to browse it without the disc";
    return true;
}

std::vector<std::string> COpenCataloguedDlgModel::Columns() {
    return {"Disc", "Volume", "Entries", "Added", "Read from", "Comment"};
}

std::vector<std::string> COpenCataloguedDlgModel::Row(const CatalogueDisc& disc) {
    char number[16];
    std::snprintf(number, sizeof number, "%06d", disc.number);
    return {number, disc.volume, std::to_string(disc.entries), disc.added, disc.source, disc.comment};
}
