#include "navigation/menu_model.h"

namespace {

// A type 1 item with an empty name: the fewest bytes an item can take, so no file holds more items than
// its size over this.
constexpr size_t kSmallestItem = 0x10 + 2;

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
    m_header[0].value = r.Identifier(0x00);
    m_header[1].value = r.Word(0x08);
    m_header[2].value = r.Dword(0x0A);
    m_header[3].value = r.Dword(0x0E);
    m_header[4].value = r.Word(0x12);
    m_header[5].value = r.Word(0x14);
    m_header[6].value = r.ByteCountText(0x14);
}

void CMenuDlgModel::FillMenuTree() {
    m_tree.clear();
    m_menuHeaders.rows.clear();
    m_menuItems.rows.clear();
    m_playlistItems.rows.clear();
    m_walked.clear();
    m_itemBudget = m_image->size() / kSmallestItem;

    const size_t first = m_image->U16(0x12).value_or(0);
    NavReader r(*m_image);
    m_tree.push_back({r.ByteCountText(first + 0x1A), 0, false, {}});
    WalkMenu(first, m_tree.front(), 1);
}

size_t CMenuDlgModel::AddMenuHeaderRow(size_t menu) {
    NavReader r(*m_image);
    size_t items = 0;
    m_menuHeaders.rows.push_back({r.Dword(menu), r.Dword(menu + 0x04), r.Dword(menu + 0x08),
                                  r.Dword(menu + 0x0C), r.Dword(menu + 0x10), r.Dword(menu + 0x14),
                                  r.Word(menu + 0x18), r.Word(menu + 0x1A),
                                  r.ByteCountText(menu + 0x1A, &items)});
    return r.Cut() ? 0 : items;
}

void CMenuDlgModel::WalkMenu(size_t menu, NavTreeItem& parent, int depth) {
    m_walked.insert(menu);
    size_t item = AddMenuHeaderRow(menu);
    if (item == 0)
        return;
    const uint16_t count = m_image->U16(menu + 0x18).value_or(0);
    for (uint16_t n = 0; n < count; ++n) {
        const std::optional<uint8_t> type = m_image->U8(item);
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
            m_menuItems.rows.push_back({r.Byte(item), r.Byte(item + 0x01), r.Dword(item + 0x02),
                                        r.Dword(item + 0x06), r.Dword(item + 0x0A), r.Word(item + 0x0E),
                                        r.ByteCountText(item + 0x0E, &next)});
            parent.children.push_back({m_menuItems.rows.back().back(), 0, false, {}});
            NavTreeItem& node = parent.children.back();
            if (r.Cut())
                return;
            const size_t sub = m_image->U32(item + 0x0A).value_or(0);
            if (m_walked.count(sub))
                node.children.push_back({NAV_MENU_LOOP, 0, false, {}});
            else if (depth >= kNavMenuDepth)
                node.children.push_back({NAV_MENU_TOO_DEEP, 0, false, {}});
            else
                WalkMenu(sub, node, depth + 1);
            parent.expanded = true;
        } else {
            m_playlistItems.rows.push_back({r.Byte(item), r.Byte(item + 0x01), r.Dword(item + 0x02),
                                            r.Dword(item + 0x06), r.Dword(item + 0x0A), r.Dword(item + 0x0E),
                                            r.Dword(item + 0x12), r.Word(item + 0x16),
                                            r.ByteCountText(item + 0x16, &next)});
            parent.children.push_back({m_playlistItems.rows.back().back(), 0, false, {}});
            parent.expanded = true;
            if (r.Cut())
                return;
        }
        item = next;
    }
}
