// Content of the disc tree: one item per session and, below it, the session's directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "iso9660/iso_model.h"

struct TreeItem {
    std::string text; // Shift-JIS
    int image = 0;
    int selectedImage = 0;
    uint32_t number = 0;              // TreeItemNumber: pre-order over all sessions' roots and directories
    const FileEntry* entry = nullptr; // the session's root or the directory the item stands for
    int parent = -1;                  // index of the parent item, -1 at the top level
    std::vector<int> children;
    bool expanded = false;
};

class CLeftViewModel {
  public:
    // Deletes all items and the selection.
    void Clear();
    // Refills from the model's SessionTree chain: "(Session%d) %s" items with their directories below,
    // numbered in pre-order. Walks with an explicit stack, so any nesting depth is safe.
    void Fill(const DiscModel* model);

    // Selects `item` (-1 for none). True, with the item's number in `hint`, when the selection changed to an
    // item; reselecting the selected item or clearing the selection sends nothing.
    bool Select(int item, uint32_t* hint);

    const std::vector<TreeItem>& Items() const { return m_items; }
    const std::vector<int>& TopLevel() const { return m_topLevel; }
    int Selected() const { return m_selected; }

  private:
    int Insert(int parent, std::string text, int image, int selectedImage, uint32_t number,
               const FileEntry* entry);

    std::vector<TreeItem> m_items;
    std::vector<int> m_topLevel;
    int m_selected = -1;
};
