// Content of the file list: the entries of one directory with name, LBN, size, date and the CD-TEXT title of
// an audio track file, in the current number style. Rows are produced on demand, so a directory of any size
// fills at once.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "appmodel/kvd_app_doc_model.h"
#include "appmodel/list_sort.h"
#include "iso9660/iso_model.h"

constexpr int LIST_COLUMNS = 5;

struct ListColumn {
    const char* heading;
    bool rightAligned;
    int widthDivisor; // the column is w / widthDivisor wide (0: as wide as its texts)
};
extern const ListColumn kListColumns[LIST_COLUMNS];

class CKVDAppViewModel {
  public:
    explicit CKVDAppViewModel(CKVDAppDocModel* doc = nullptr) : m_doc(doc) {}

    // Update from the tree: finds session and directory of `number`, sets g_CurrentSession and the title and
    // fills the list; without a sender nothing happens. A number outside the model empties the list.
    void OnUpdate(bool fromView, uint32_t number);
    // Deletes all rows and forgets the chain (before the disc model is discarded).
    void Clear();

    // Row count and texts of the current chain (Shift-JIS), in g_LbnSizeStyle.
    int RowCount() const { return static_cast<int>(m_rows.size()); }
    std::string Text(int row, int column) const;
    int Image(int row) const;
    const FileEntry* Entry(int row) const;
    // The row's tool tip: why an entry marked unreadable could not be read, or how a file stored compressed
    // (zisofs) is kept; empty for the others.
    std::string ToolTip(int row) const;

    // Item-changed notification: a non-zero new state makes the row current, zero clears it.
    void OnItemChanged(int row, unsigned newState);
    int CurrentItem() const { return m_nCurItem; }

    // The context menu to show: 175 without a current row, 152 for a file row, 0 (none) for a directory.
    int ContextMenu() const;
    // Whether a command of the context menus is enabled ("&Play" has no handler).
    static bool CommandEnabled(int command);

    // LBN/Size (&10), (&16), (&MSF): sets g_LbnSizeStyle and refills.
    void SetStyle(uint16_t style);

    // Fills from the chain that starts with `first`, in the order of the sort.
    void FillList(const FileEntry* first);
    // The rows' order (a click on a column's heading); it stays for every folder shown after.
    void SetSort(const ListSort& sort);
    const ListSort& Sort() const { return m_sort; }
    // The place of `row` in the disc's order of its directory (what the chain walks of Save to Disc count).
    int DiscRow(int row) const {
        return row >= 0 && static_cast<size_t>(row) < m_discRows.size()
                   ? static_cast<int>(m_discRows[size_t(row)])
                   : row;
    }

    const FileEntry* Entries() const { return m_pEntries; }

  private:
    void FindDirectory(const FileEntry* chain, uint32_t number);

    CKVDAppDocModel* m_doc;
    uint32_t m_nWalkCount = 0;
    const FileEntry* m_pEntries = nullptr;
    int m_nCurItem = -1;
    std::vector<const FileEntry*> m_rows;
    std::vector<uint32_t> m_discRows; // empty in the disc's order
    ListSort m_sort;
};

// Widths of the report columns in a list `width` pixels wide: LBN w/6, Size w/6 and Date w/3 to start with,
// each grown to its widest value (`needed`), Title as wide as its texts and heading; FileName takes the rest
// and never less than its longest name, so no name is cut: where the columns are wider than the list, the
// list scrolls sideways.
std::array<int, LIST_COLUMNS> List_FitColumns(int width, const std::array<int, LIST_COLUMNS>& needed);
