#include "navigation/menu_model.h"

#include "navigation/lmx_layout.h"

using namespace lmx::menu;

namespace {

// A type 1 item with an empty name (its length and the zero character): the fewest bytes an item can take,
// so no file holds more items than its size over this.
constexpr size_t kSmallestItem = kItemMenuName + 2 + 2;

} // namespace

CMenuDlgModel::CMenuDlgModel()
    : m_header(Nav_Fields({"Identifier", "Version", "Size of MENU.LMX", "LCID", "Offset of first menu",
                           "Menu Title Length", "Menu Title"})) {
    m_menuHeaders.title = "Menu Header";
    m_menuHeaders.columns = {"Size of Menu Header",       "Offset to Parent Menu", "Background Image ID(4:3)",
                             "Background Image ID(16:9)", "Background Color",      "Text Color",
                             "Number of Items",           "Menu Subtitle Length",  "Menu Subtitle"};
    m_menuItems.title = "Menu Item";
    m_menuItems.columns = {
        "Type of entry",  "Menu Summary Type", "Thumbnail ID", "Selected State Thumbnail ID",
        "Offset to Menu", "Menu Name Length",  "Menu Name"};
    m_playlistItems.title = "Playlist Item";
    m_playlistItems.columns = {
        "Type of entry", "Playlist Summary Type", "Thumbnail ID",        "Selected State Thumbnail ID",
        "Playlist ID",   "Starting Group Index",  "Starting File Index", "Playlist Name in Menu Length",
        "Playlist Name"};
}

void CMenuDlgModel::Fill(const NavImage& image) {
    m_image = &image;
    ShowHeader();
    FillMenuTree();
}

void CMenuDlgModel::ShowHeader() {
    NavReader r(*m_image);
    m_header[0].value = r.Identifier(lmx::kIdentifier);
    m_header[1].value = r.Word(lmx::kVersion);
    m_header[2].value = r.Dword(kFileSize);
    m_header[3].value = r.Dword(kLcid);
    m_header[4].value = r.Word(kFirstMenu);
    m_header[5].value = r.Word(kTitle);
    m_header[6].value = r.ByteCountText(kTitle);
}

void CMenuDlgModel::FillMenuTree() {
    m_tree.clear();
    m_menuHeaders.rows.clear();
    m_menuItems.rows.clear();
    m_playlistItems.rows.clear();
    m_walked.clear();
    m_itemBudget = m_image->size() / kSmallestItem;

    const size_t first = m_image->U16(kFirstMenu).value_or(0);
    NavReader r(*m_image);
    m_tree.push_back({r.ByteCountText(first + kSubtitle), 0, false, {}});
    WalkMenu(first, m_tree.front(), 1);
}

size_t CMenuDlgModel::AddMenuHeaderRow(size_t menu) {
    NavReader r(*m_image);
    size_t items = 0;
    m_menuHeaders.rows.push_back(
        {r.Dword(menu + kHeaderSize), r.Dword(menu + kParent), r.Dword(menu + kBackground43),
         r.Dword(menu + kBackground169), r.Dword(menu + kBackgroundColor), r.Dword(menu + kTextColor),
         r.Word(menu + kItemCount), r.Word(menu + kSubtitle), r.ByteCountText(menu + kSubtitle, &items)});
    return r.Cut() ? 0 : items;
}

void CMenuDlgModel::WalkMenu(size_t menu, NavTreeItem& parent, int depth) {
    m_walked.insert(menu);
    size_t item = AddMenuHeaderRow(menu);
    if (item == 0)
        return;
    const uint16_t count = m_image->U16(menu + kItemCount).value_or(0);
    for (uint16_t n = 0; n < count; ++n) {
        const std::optional<uint8_t> type = m_image->U8(item + kItemType);
        if (!type) {
            parent.children.push_back({NAV_OUT_OF_FILE, 0, false, {}});
            return;
        }
        if (*type != 1 && *type != 2)
            return;
        if (m_itemBudget == 0)
            return;
        --m_itemBudget;

        NavReader r(*m_image);
        size_t next = 0;
        if (*type == 1) {
            m_menuItems.rows.push_back(
                {r.Byte(item + kItemType), r.Byte(item + kItemSummaryType), r.Dword(item + kItemThumbnail),
                 r.Dword(item + kItemSelectedThumbnail), r.Dword(item + kItemMenu),
                 r.Word(item + kItemMenuName), r.ByteCountText(item + kItemMenuName, &next)});
            parent.children.push_back({m_menuItems.rows.back().back(), 0, false, {}});
            NavTreeItem& node = parent.children.back();
            if (r.Cut())
                return;
            const size_t sub = m_image->U32(item + kItemMenu).value_or(0);
            if (m_walked.count(sub))
                node.children.push_back({NAV_MENU_LOOP, 0, false, {}});
            else if (depth >= kNavMenuDepth)
                node.children.push_back({NAV_MENU_TOO_DEEP, 0, false, {}});
            else
                WalkMenu(sub, node, depth + 1);
            parent.expanded = true;
        } else {
            m_playlistItems.rows.push_back(
                {r.Byte(item + kItemType), r.Byte(item + kItemSummaryType), r.Dword(item + kItemThumbnail),
                 r.Dword(item + kItemSelectedThumbnail), r.Dword(item + kItemPlaylist),
                 r.Dword(item + kItemStartingGroup), r.Dword(item + kItemStartingFile),
                 r.Word(item + kItemPlaylistName), r.ByteCountText(item + kItemPlaylistName, &next)});
            parent.children.push_back({m_playlistItems.rows.back().back(), 0, false, {}});
            parent.expanded = true;
            if (r.Cut())
                return;
        }
        item = next;
    }
}
