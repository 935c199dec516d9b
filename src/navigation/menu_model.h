// Content of CMenuDlg, "MENU.LMX": the header, the menu tree ("Menu Structure": menus as nodes, playlists as
// leaves) and the rows of every menu header, menu item and playlist item met on the depth-first walk.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "navigation/nav_content.h"
#include "navigation/nav_image.h"

// Shown under a menu item whose menu was already walked: the walk does not enter a menu twice.
constexpr const char* NAV_MENU_LOOP = "(loop)";
// Shown under a menu item whose menu lies deeper than the walk goes.
constexpr const char* NAV_MENU_TOO_DEEP = "(too deep)";
constexpr int kNavMenuDepth = 64;

class CMenuDlgModel {
  public:
    CMenuDlgModel();
    // ShowHeader and FillMenuTree. The walk enters every menu once, goes at most kNavMenuDepth menus deep
    // and reads no more items than the image can hold, so it ends on any file.
    void Fill(const NavImage& image);

    const std::vector<NavField>& Header() const { return m_header; }
    // The root item (the first menu's subtitle) and below it the walk; absent when nothing was read.
    const std::vector<NavTreeItem>& Tree() const { return m_tree; }
    const NavList& MenuHeaders() const { return m_menuHeaders; }
    const NavList& MenuItems() const { return m_menuItems; }
    const NavList& PlaylistItems() const { return m_playlistItems; }

  private:
    void ShowHeader();
    void FillMenuTree();
    void WalkMenu(size_t menu, NavTreeItem& parent, int depth);
    // One row of the "Menu Header" list; the offset of the menu's first item, or 0 when the walk cannot go
    // on.
    size_t AddMenuHeaderRow(size_t menu);

    const NavImage* m_image = nullptr;
    std::set<size_t> m_walked;
    size_t m_itemBudget = 0;
    std::vector<NavField> m_header;
    std::vector<NavTreeItem> m_tree;
    NavList m_menuHeaders;
    NavList m_menuItems;
    NavList m_playlistItems;
};
