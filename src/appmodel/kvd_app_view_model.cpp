#include "appmodel/kvd_app_view_model.h"

#include <algorithm>
#include <cstdio>

#include "analyzers/info_dialog_header.h"
#include "iso9660/disc.h"
#include "iso9660/iso9660.h"
#include "iso9660/iso_cdtext.h"
#include "listing/lbn_size_style.h"
#include "res/resource.h"

const ListColumn kListColumns[LIST_COLUMNS] = {
    {"FileName", false, 3}, {"LBN", true, 6}, {"Size", true, 6}, {"Date", true, 3}, {"Title", false, 0},
};

std::array<int, LIST_COLUMNS> List_FitColumns(int width, const std::array<int, LIST_COLUMNS>& needed) {
    std::array<int, LIST_COLUMNS> w{};
    int others = 0;
    for (size_t c = 1; c < LIST_COLUMNS; ++c) {
        const int divisor = kListColumns[c].widthDivisor;
        w[c] = std::max(divisor ? width / divisor : 0, needed[c]);
        others += w[c];
    }
    w[0] = std::max(needed[0], width - others);
    return w;
}

void CKVDAppViewModel::Clear() {
    m_rows.clear();
    m_discRows.clear();
    m_nCurItem = -1;
    m_pEntries = nullptr;
}

void CKVDAppViewModel::OnUpdate(bool fromView, uint32_t n) {
    if (!fromView)
        return;
    m_nWalkCount = 0;
    m_pEntries = nullptr;
    if (!g_DiscModel) {
        FillList(nullptr);
        return;
    }
    SessionTree* tree = g_DiscModel->firstTree;
    g_DiscModel->currentTree = tree;
    g_CurrentSession = 0;
    // A session without a root is one item of the tree's numbering whatever its count says.
    auto count = [](const SessionTree* t) { return t->root ? t->directoryCount : 1u; };
    while (tree && count(tree) <= n) {
        n -= count(tree);
        tree = tree->next;
        g_DiscModel->currentTree = tree;
        ++g_CurrentSession;
    }
    if (!tree) {
        g_DiscModel->currentTree = g_DiscModel->firstTree;
        g_CurrentSession = 0;
        FillList(nullptr);
        return;
    }
    const FileEntry* root = tree->root;
    if (root && root->type == 'V' && m_doc)
        m_doc->SetTitle(std::string(Iso_EntryName(root)) + (Iso_CurrentDisc().listed ? " (catalogue)" : ""));
    FindDirectory(root, n);
    FillList(m_pEntries);
}

void CKVDAppViewModel::FindDirectory(const FileEntry* chain, uint32_t n) {
    // Pre-order over 'V' and 'D' entries with an explicit stack of the chains still to walk.
    std::vector<const FileEntry*> stack;
    if (chain)
        stack.push_back(chain);
    while (!stack.empty()) {
        const FileEntry* e = stack.back();
        while (e && e->type != 'V' && e->type != 'D')
            e = e->nextSibling;
        if (!e) {
            stack.pop_back();
            continue;
        }
        stack.back() = e->nextSibling;
        if (m_nWalkCount == n) {
            m_pEntries = e->firstChild;
            return;
        }
        ++m_nWalkCount;
        if (e->firstChild)
            stack.push_back(e->firstChild);
    }
}

void CKVDAppViewModel::FillList(const FileEntry* first) {
    m_rows.clear();
    m_discRows.clear();
    m_nCurItem = -1;
    for (const FileEntry* e = first; e; e = e->nextSibling)
        m_rows.push_back(e);
    if (m_sort.column < 0)
        return;
    List_Sort(m_rows, m_sort, m_discRows);
    std::vector<const FileEntry*> sorted;
    sorted.reserve(m_rows.size());
    for (uint32_t at : m_discRows)
        sorted.push_back(m_rows[at]);
    m_rows = std::move(sorted);
}

void CKVDAppViewModel::SetSort(const ListSort& sort) {
    m_sort = sort;
    if (m_pEntries)
        FillList(m_pEntries);
}

const FileEntry* CKVDAppViewModel::Entry(int row) const {
    if (row < 0 || row >= RowCount())
        return nullptr;
    return m_rows[static_cast<size_t>(row)];
}

std::string CKVDAppViewModel::Text(int row, int column) const {
    const FileEntry* e = Entry(row);
    if (!e)
        return {};
    switch (column) {
    case 0:
        return Iso_EntryName(e);
    case 1:
        return Report_LbnSizeText(e->lbn, g_LbnSizeStyle);
    case 2:
        return Report_LbnSizeText(e->size, g_LbnSizeStyle);
    case 3:
        return Iso_EntryDate(e) ? Info_DateText(Iso_EntryDate(e)) : std::string();
    case 4: {
        const ckvd::cdtext::TrackText* t = Iso_TrackText(Iso_CdaTrackNumber(e));
        return t ? t->title : std::string();
    }
    default:
        return {};
    }
}

std::string CKVDAppViewModel::ToolTip(int row) const {
    const FileEntry* e = Entry(row);
    if (const char* why = Iso_UnreadableReason(e))
        return std::string("unreadable: ") + why;
    return Iso_ZisofsText(e);
}

int CKVDAppViewModel::Image(int row) const {
    const FileEntry* e = Entry(row);
    if (e && (e->flags & ISO_UNREADABLE))
        return IMG_ERROR;
    return e && e->type == 'D' ? IMG_FOLDER_CLOSED : IMG_DOCUMENT;
}

void CKVDAppViewModel::OnItemChanged(int row, unsigned newState) {
    if (newState != 0)
        m_nCurItem = row;
    else
        m_nCurItem = -1;
}

int CKVDAppViewModel::ContextMenu() const {
    if (m_nCurItem == -1)
        return IDR_MENU_LBNSIZE;
    const FileEntry* e = Entry(m_nCurItem);
    return e && e->type == 'F' ? IDR_MENU_FILE : 0;
}

bool CKVDAppViewModel::CommandEnabled(int command) {
    // A command without a handler shows disabled: "&Play" has none.
    switch (command) {
    case ID_LBNSIZE_BASE10:
    case ID_LBNSIZE_BASE16:
    case ID_LBNSIZE_MSF:
    case ID_SAVE_TO_DISC:
    case ID_TAG_INFORMATION:
    case ID_NAVIGATION_VIEWER:
        return true;
    default:
        return false;
    }
}

void CKVDAppViewModel::SetStyle(uint16_t style) {
    g_LbnSizeStyle = style;
    if (m_pEntries)
        FillList(m_pEntries);
}
