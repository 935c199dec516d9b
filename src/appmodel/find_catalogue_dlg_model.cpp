#include "appmodel/find_catalogue_dlg_model.h"

#include <cstdio>
#include <set>

#include "appmodel/catalogue_add.h"
#include "appmodel/catalogue_browse.h"
#include "platform/text/grouped_number.h"

namespace {

constexpr const char* kPrompt = "Type a part of a name, path, title, artist or album";

} // namespace

CFindCatalogueDlgModel::CFindCatalogueDlgModel() = default;

bool CFindCatalogueDlgModel::Open() {
    m_catalogue = std::make_unique<Catalogue>();
    std::string error;
    if (!m_catalogue->Open(App_CataloguePath(), false, error)) {
        const std::string path = m_catalogue->Path(); // a server's URI without its password
        m_catalogue.reset();
        // Looking makes no catalogue: the first disc added does.
        m_status = App_CatalogueProblem(error);
        return false;
    }
    m_status = kPrompt;
    return true;
}

void CFindCatalogueDlgModel::Search(const std::string& text) {
    m_rows.clear();
    if (!m_catalogue)
        return;
    if (text.empty()) {
        m_status = kPrompt;
        return;
    }
    std::string error;
    if (!m_catalogue->Search(text, kMaxRows, m_rows, error)) {
        m_status = error;
        return;
    }
    std::set<int> discs;
    for (const CatalogueHit& h : m_rows)
        discs.insert(h.number);
    m_status = m_rows.empty()
                   ? "No entry holds \"" + text + "\""
                   : std::to_string(m_rows.size()) + (m_rows.size() == kMaxRows ? " or more" : "") +
                         (m_rows.size() == 1 ? " entry on " : " entries on ") + std::to_string(discs.size()) +
                         " disc" + (discs.size() == 1 ? "" : "s");
}

CFindCatalogueDlgModel::Action CFindCatalogueDlgModel::Activate(size_t row) const {
    Action a;
    if (row >= m_rows.size())
        return a;
    const CatalogueHit& h = m_rows[row];
    if (!App_CataloguedImage(h.source).empty()) {
        a.image = h.source;
        a.session = h.entry.session;
        a.path = h.entry.path;
        return a;
    }
    char number[16];
    std::snprintf(number, sizeof number, "%06d", h.number);
    a.message = "Insert disc " + std::string(number) + " (" + h.volume + ")" +
                (h.source.empty() ? std::string() : ", read from " + h.source + ",") + " to open " +
                h.entry.path + ".";
    return a;
}

bool CFindCatalogueDlgModel::ReadDuplicates() {
    m_duplicates.clear();
    std::string error;
    if (!m_catalogue) {
        m_duplicatesStatus = m_status;
        return false;
    }
    if (!m_catalogue->Duplicates(m_duplicates, error)) {
        m_duplicatesStatus = "The duplicates cannot be read: " + error;
        return false;
    }
    uint64_t wasted = 0;
    for (const CatalogueDuplicate& d : m_duplicates)
        wasted += d.Wasted();
    const size_t n = m_duplicates.size();
    m_duplicatesStatus = n == 0 ? "No file is held more than once"
                                : ckvd::text::grouped(n) + (n == 1 ? " file" : " files") +
                                      " held more than once, " + ckvd::text::grouped(wasted) +
                                      " bytes wasted: double-click a copy to browse its disc";
    return true;
}
